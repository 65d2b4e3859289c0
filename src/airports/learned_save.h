#pragma once
// Saving what was learned at the park airport into its learned file, when the park airport
// closes: the learned options, the stands changed or made by hand and the parking settings; for
// a handmade airport the whole stand table.

// Writes the learned file of the park airport from standTable, drops the options that came from
// the airport file itself from the stands, reports the outcome on the message line and resets
// the update count and the settings-changed flag.
void lf_saveAirportFile();
