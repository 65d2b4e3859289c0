#pragma once
// The legs of a live aircraft on the ground: taxiing along the received positions with curves
// at turns and extra positions where the speed changes, stops, the arrival at a stand, the
// push-back and the pull-out, the hold of an aircraft with nowhere to go, and the positions
// invented when the stream of received positions runs dry. Work thread only.

#include "engine/ac_records.h"

#include <atomic>
#include <cstdint>

// Plans one ground leg (called by nextPos).
void nextPosGround(LiveAc& ac);
// Throttle, pitch and lift-off part of a moving ground leg.
void lf_groundLegStep(LiveAc& ac);
// The due pass of the next position of a ground leg, and the working turn rate.
void lf_groundLegTiming(LiveAc& ac);

// Leave the stand backwards, or forwards.
void lf_pushBack(LiveAc& ac);
void lf_pullOut(LiveAc& ac);
// Arrival at the stand when the stream ends while heading for it.
void lf_towedAcParks(LiveAc& ac);

// Invents one position at the end of the stream; n positions may still be invented after it.
void lf_extendStream(LiveAc& ac, std::int32_t n);
// When one position is left: holds, invents a position or gives the aircraft up; true when a
// position was appended.
bool lf_streamEndRule(LiveAc& ac);

// ---- Stream edits ----
// A position halfway between the oldest and the next one.
void lf_insertMidpoint(LiveAc& ac);
// A midpoint where the speed changes by more than 5 kn over 100 m or more.
void lf_speedChangeSplit(LiveAc& ac);
// A curve from the pose through the next position to the one after it; the next one is erased.
void lf_makeCurve(LiveAc& ac);
// The approach into the aircraft's stand and the stop there.
void lf_insertStandStop(LiveAc& ac);

// A cargo aircraft marks a stand not yet known as cargo.
void lf_cargoStand(LiveAc& ac);
// Stands of the park airport found to be cargo stands during this run.
extern std::atomic<std::uint32_t> cargoStandCount;

