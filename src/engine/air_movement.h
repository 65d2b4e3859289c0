#pragma once
// The legs of a live aircraft between its received positions: the choice between air and ground
// legs, the legs in the air (climb, cruise, approach), the landing configuration and flare, and
// the take-off from the ground roll to the climb. Work thread only.

#include "engine/ac_records.h"

#include <cstdint>

// Plans the leg to the next position and drops the oldest one; at the end of the stream it
// invents positions or gives the aircraft up.
void nextPosMain(LiveAc& ac);
// Plans the leg to the next position of a stream that holds two or more.
void nextPos(LiveAc& ac);
// The due pass of the next position of an air leg.
void nextPosAir(LiveAc& ac);
// The vertical, attitude and configuration part of an air leg.
void lf_airLegStep(LiveAc& ac);
// Sets the due pass of the next position to now + n passes, kept within the lead and lag budgets
// around its received due pass.
void lf_setLegDue(LiveAc& ac, std::int64_t passes);
// Knots from the oldest to the next position.
double lf_legSpeed(const LiveAc& ac);
// Radians the aircraft turns at the next position: the bearing on from it minus the heading,
// folded into [-pi, pi]; 0 without a position after it.
double lf_turnAtNext(const LiveAc& ac);
// The lead and lag budgets shrink by 100 each, not below 1000.
void lf_shrinkBudgets(LiveAc& ac);

// ---- Landing ----
// One pass of the flare below 400 ft above ground.
void lf_flareStep(LiveAc& ac);
// Vertical rate (feet per minute) of a glide toward the ground.
double lf_glideRate(const LiveAc& ac);
void lf_climbOutConfig(LiveAc& ac);
void lf_lowAltitudeConfig(LiveAc& ac);
// An airborne aircraft whose next positions are reported on the ground.
void lf_lowLegs(LiveAc& ac);
// Looks for the first airborne position from the k-th on; true when one was found and flown to.
bool findAirborneData(LiveAc& ac);

// ---- Take-off ----
// The aircraft starts to accelerate for take-off.
void lf_startTakeoffRun(LiveAc& ac);
// The throttle step during the take-off run.
std::uint32_t lf_takeoffThrottle(const LiveAc& ac);
// The rotation starts when the stream says the aircraft lifts off.
void lf_liftOffTest(LiveAc& ac);
void lf_startRotation(LiveAc& ac);
// One pass of the take-off rotation and the first climb (phase Takeoff).
void lf_takeoffStep(LiveAc& ac);
