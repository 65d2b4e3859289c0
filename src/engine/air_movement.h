#pragma once
// The legs of a live aircraft between its received positions, and its take-off and landing.

#include "engine/ac_records.h"

// Plans the leg to the next position and drops the oldest one.
void nextPosMain(LiveAc& ac);
// One pass of the flare below 400 ft above ground.
void lf_flareStep(LiveAc& ac);
// One pass of the take-off rotation (phase Takeoff).
void lf_takeoffStep(LiveAc& ac);
// The aircraft starts to accelerate for take-off.
void lf_startTakeoffRun(LiveAc& ac);
