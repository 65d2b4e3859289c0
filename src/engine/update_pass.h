#pragma once
// One pass of the live-traffic engine, run by the main loop every 10 ms while the flight runs,
// and the queues through which the engine hands creations and removals to the simulator
// connection at fixed rates (one removal every 10 passes, one creation every 50).

#include "simlink/creation_queues.h"
#include "traffic/engine_services.h"

#include <atomic>
#include <cstdint>
#include <deque>

// Work thread only.
extern std::deque<std::uint32_t> removalsToHandOver;
extern std::deque<AcCreateRecord> liveCreationQueue;
extern std::deque<AcCreateRecord> staticCreationQueue;
// Set while an aircraft waits for the ground altitude under it: the in-range request goes out
// five times as often.
extern std::atomic<bool> fastRangeRequest;

// One pass: the simulator's commands, every live aircraft and the hand-over of their poses,
// the removal and creation slots, two traffic messages, one creation request built, the
// aircraft-in-range request, the own position and the user aircraft's data, and the pass counted.
void gf_updateAI();
// Runs every live aircraft's pass, drops the records marked for erasing and hands the pass's
// poses to the simulator connection.
void lf_updateAllLiveAc();
// Applies every command the simulator connection queued since the last pass.
void gf_SimCommands();
// Hands every queued removal to the simulator connection at once (the exit); the caller holds
// simConnectMutex. gf_handOverQueuedRemovals (the same, taking the mutex, before the work thread
// waits for the RealTraffic client): traffic/engine_services.h.
void gf_handOverAllRemovals();
// Sets the nav lights of the parked aircraft as NAV_LIGHTS_WHILE_PARKED says.
void gf_applyNavLightsWhileParked();
// The restart reset of the engine's tables and queues.
void gf_resetEngineQueues();
