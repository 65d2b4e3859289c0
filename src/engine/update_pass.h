#pragma once
// One pass of the live-traffic engine, run by the main loop every 10 ms while the flight runs,
// and the queues through which the engine hands creations and removals to the simulator
// connection at fixed rates (one removal every 10 passes, one creation every 50).
//
// The aircraft records, spawning and movement are not part of this build yet: the pass drains
// the simulator's commands and the traffic queue without applying them, hands the queues and the
// position buffer over, asks for the aircraft in range, refreshes the user aircraft's data and
// the own position, and counts the pass.

#include "engine/creation_queues.h"

#include <atomic>
#include <cstdint>
#include <deque>

// Work thread only.
extern std::deque<std::uint32_t> removalQueue;
extern std::deque<AcCreateRecord> liveCreationQueue;
extern std::deque<AcCreateRecord> staticCreationQueue;
// Set while an aircraft waits for the ground altitude under it: the in-range request goes out
// five times as often.
extern std::atomic<bool> fastRangeRequest;

void gf_updateAI();
// Applies every command the simulator connection queued since the last pass.
void gf_SimCommands();
// Takes at most two traffic messages off the traffic queue and applies them.
void lf_handleUdpMessages();
// Hands every queued removal to the simulator connection at once (the exit).
void gf_handOverAllRemovals();
// Removes every static aircraft.
void gf_removeAllStatics();
// The live aircraft removed beyond MAX_LIVE, farthest first.
void gf_applyMaxLive();
// Sets the nav lights of the parked aircraft as NAV_LIGHTS_WHILE_PARKED says.
void gf_applyNavLightsWhileParked();
// The restart reset of the engine's queues.
void gf_resetEngineQueues();
