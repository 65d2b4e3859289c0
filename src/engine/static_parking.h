#pragma once
// Static aircraft parked on the stands that the parking calculation chose.

// Takes the last waiting static candidate and creates its aircraft on its stand. Work thread.
void lf_parkStatic();
