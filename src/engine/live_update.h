#pragma once
// One pass of one live aircraft: a buffered one is handed to the spawning; one in the simulator
// gets its next leg when its oldest position falls due, advances by one pass along the leg and
// has its pose written to the simulator. Work thread only.

#include "engine/ac_records.h"

// Returns the record's erase flag.
bool updateLiveAc(LiveAc& ac);
// Advances the pose by one pass along the current leg.
void lf_fitCurve(LiveAc& ac);
// Passes from now to the due pass of the next (second) position; at least 25.
std::int32_t lf_passesToNextPosition(const LiveAc& ac);
// The lead and lag budgets after a real position replaced invented ones.
void lf_resetBudgets(LiveAc& ac);
// A real position takes over: no more positions are invented and the budgets are reset.
void lf_abandonInvented(LiveAc& ac);
