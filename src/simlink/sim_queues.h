#pragma once
// What the work thread (and the window, for the nav lights) hands to the simulator: new AI
// aircraft, removals, client events and the next pose of every moving aircraft. Everything is
// queued under simConnectMutex and sent by the SimConnect thread at the next simulator frame,
// all of a frame's packets in one write. The poses use a double buffer: the work thread fills
// the write buffer without a lock and hands it over once per pass.
//
// simConnectMutex is also the lock for every SimConnect call made outside the SimConnect thread
// (see gf_simConnectHandle). While it is held, only the log and message-line locks and what
// gf_requestExit takes may be taken.

#include "simlink/ac_category.h"
#include "simlink/creation_queues.h"
#include "simconnect/simconnect_protocol.h"
#include "simlink/sim_state.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// One pose of one AI aircraft; the first 64 bytes are the data of definition 402.
struct AcPositionRecord {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double pitch = 0.0;         // radians
    double bank = 0.0;          // radians
    double heading = 0.0;       // radians, true
    double altitude = 0.0;      // feet
    double verticalSpeed = 0.0; // feet per second
    double trueAirspeed = 0.0;  // knots
    std::uint32_t objectId = 0;
};
inline constexpr std::uint32_t kPositionDataSize = 64;

extern std::mutex simConnectMutex;

// The connection for SimConnect calls made under simConnectMutex; null while not connected.
qmx::HANDLE gf_simConnectHandle();

// Set by the third failed request: nothing is sent any more until the restart reset.
extern std::atomic<bool> simConnectFailed;

// Before the SimConnect thread starts: the expected simulator version (5 or 6), room for 256
// entries in every queue (entries already there stay), and simConnectFailed cleared.
void gf_resetSimQueues(std::int32_t expectedVersion);

// ---- Poses (work thread) ----
// Appends to the write buffer without a lock. Out of memory: logged as a warning and rethrown.
void gf_updateAircraft(const AcPositionRecord& record);
// Hands this pass's poses to the SimConnect thread: swaps the buffers when the mutex is free;
// when it is busy, drops them at a frame rate of at most 50 and waits for it above that.
// Either way the new write buffer is empty afterwards.
void gf_handOverPositions();
// Empties both buffers (the flight stopped running).
void gf_clearPositionBuffers();

// ---- Creations and removals ----
void gf_queueCreateAiAc(const AcCreateRecord& record);
void gf_queueRemoveAiAc(std::uint32_t objectId);
// The same for a caller that already holds simConnectMutex (the exit hands all removals at once).
void gf_queueRemoveAiAcLocked(std::uint32_t objectId);

// ---- Client events, sent at the next frame ----
// Values 0 off, 1 on; queued under one lock in the order nav, beacon, landing, taxi, strobes,
// logo, cabin.
struct AcLights {
    std::uint32_t nav = 0;
    std::uint32_t beacon = 0;
    std::uint32_t landing = 0;
    std::uint32_t taxi = 0;
    std::uint32_t strobes = 0;
    std::uint32_t logo = 0;
    std::uint32_t cabin = 0;
};
void gf_setLights(std::uint32_t objectId, const AcLights& lights);
void gf_setNavLights(std::uint32_t objectId, std::uint32_t value);
void gf_setCabinLights(std::uint32_t objectId, std::uint32_t value);
void gf_sendClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value);

// The stepped commands work on the aircraft's stored steps (its record's throttle and flaps
// fields): a step equal to the stored one sends nothing.
// Flaps step 0..4: FLAPS_SET 0, 3072, 10240, 16383, 0; never for a rotorcraft. Another step
// that would be sent throws std::out_of_range before anything is queued or stored.
void gf_setFlaps(std::uint32_t objectId, AcCategory category, std::uint32_t& storedFlapsStep, std::uint32_t step);
// GEAR_SET 1 (down) or 0 (up); never for a rotorcraft.
void gf_setGear(std::uint32_t objectId, AcCategory category, bool down);
// Throttle step 0..5: THROTTLE_SET 0, 4914, 8191, 11468, 16383, and nothing for 5; the step is
// stored either way. Another step throws std::out_of_range before anything is queued or stored.
void gf_setThrottle(std::uint32_t objectId, std::uint32_t& storedThrottleStep, std::uint32_t step);
// Throttle 0, flaps 0, engine shut-down and the parked lights (nav by NAV_LIGHTS_WHILE_PARKED,
// logo on, cabin on for passengers, by a draw when RANDOM is on).
void gf_shutdownAc(std::uint32_t objectId, AcCategory category, bool cargo, std::uint32_t& storedThrottleStep,
                   std::uint32_t& storedFlapsStep);

// ---- Requests the work thread makes directly ----
// Requests the user-aircraft block once (unless simConnectFailed) and returns a copy of the
// block of an earlier request.
UserAcData gf_getUserAcPosition();
void gf_requestUserAcTitleAndModel();
// The user's on-ground flag once a second: each reply is one tick.
void gf_requestUserOnGround();
// All aircraft within the radius: the replies bind created objects and report ground data.
void gf_requestAircraftInRange(std::uint32_t radiusMetres);
// The static CG and pitch of one object, reported as a SimCommand StaticCg.
void gf_requestStaticCg(std::uint32_t objectId);

// Counts a failed request; the third shows "SimConnect request error {}, see Log.txt", sets
// simConnectFailed and asks for a restart in 10 seconds.
void gf_simConnectRequestError();
