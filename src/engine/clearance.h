#pragma once
// Keeping injected aircraft off the user's own aircraft: clearing its surroundings on the ground,
// taking out an aircraft that taxis or flies into its way, and the test that holds back the spawn
// of an airborne aircraft whose track leads across the user. Work thread only; the user
// aircraft is the run's copy userAc with userHalfWingspan.

#include "engine/ac_records.h"

// Removes at most one aircraft per call: the first live aircraft on the ground that overlaps the
// user aircraft; else, once the user aircraft has moved since the last such check, the first
// static aircraft in the simulator that overlaps it.
void gf_clearUserAcSurroundings();
// Removes the aircraft (in the simulator) and returns true when it is in the user's way: on the
// ground within 50 ft of the user's heading line, or in the air within 700 ft of the user.
bool gf_isInUsersWay(LiveAc& ac);
// The user aircraft lies on the track of the aircraft's oldest position.
bool lf_onUsersPath(const LiveAc& ac);
