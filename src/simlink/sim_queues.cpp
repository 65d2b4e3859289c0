// The outbound queues and the AI object commands: the work thread queues, the SimConnect thread
// sends everything at the next simulator frame.

#include "simlink/sim_queues.h"

#include "core/clock.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "params/parameters.h"
#include "params/random.h"
#include "simconnect/simconnect.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_internal.h"

#include <array>
#include <fmt/format.h>
#include <new>
#include <stdexcept>
#include <vector>

using namespace qmx;

std::mutex simConnectMutex;
std::atomic<bool> simConnectFailed{false};
std::atomic<bool> batchFrameWrites{true};
std::vector<PendingCreation> pendingCreations;
std::vector<std::uint32_t> addedObjects;
std::uint32_t unansweredCreations = 0;

namespace {

// One queued client event.
struct AcEventRecord {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t value = 0;
    std::uint32_t unused = 0;
};

constexpr std::size_t kReservedEntries = 256;
constexpr std::uint32_t kFailuresBeforeStop = 3;

std::atomic<HANDLE> simConnectHandle{nullptr};
std::atomic<std::uint32_t> failedRequests{0};

// Under simConnectMutex: the two pointers, the event, creation and removal queues. The write
// buffer's contents belong to the work thread between hand-overs.
std::vector<AcPositionRecord> positionBufferA;
std::vector<AcPositionRecord> positionBufferB;
std::vector<AcPositionRecord>* positionWriteBuffer = &positionBufferA;
std::vector<AcPositionRecord>* positionSendBuffer = &positionBufferB;
std::vector<AcEventRecord> eventQueue;
std::vector<AcCreateRecord> creationQueue;
std::vector<std::uint32_t> removalQueue;

constexpr std::array<std::uint32_t, 5> kFlapsValues{0, 3072, 10240, 16383, 0};
constexpr std::array<std::uint32_t, 5> kThrottleValues{0, 4914, 8191, 11468, 16383};
constexpr std::uint32_t kThrottleNone = 5; // a step that sends nothing

void lf_queueEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value)
{
    eventQueue.push_back({objectId, eventId, value, 0});
}

template <typename T>
void lf_reserve(std::vector<T>& queue)
{
    if (queue.capacity() < kReservedEntries)
        queue.reserve(kReservedEntries);
}

// The simulator's creation; the pending record carries the send id of this very packet, so a
// refusal is matched even when another thread sent a packet meanwhile.
void lf_createAiAc(HANDLE handle, const AcCreateRecord& record)
{
    const SIMCONNECT_DATA_INITPOSITION position{record.latitude, record.longitude, record.altitude, record.pitch,
                                                record.bank,     record.heading,   record.onGround, record.airspeed};
    std::uint32_t sendId = 0;
    if (FAILED(SimConnect_AICreateNonATCAircraft(handle, record.liveryTitle.c_str(), record.callsign.c_str(),
                                                 &position, simid::kReqCreate, &sendId))) {
        gf_logWarning(fmt::format("! Simcon call to create ac in sim failed, hexid:{}, liv: \"{}\", callsign: {}",
                                  record.key, record.liveryTitle, record.callsign));
        gf_simConnectRequestError();
        return;
    }
    pendingCreations.push_back({sendId, record.key, record.callsign});
    ++unansweredCreations;
}

void lf_removeAiAc(HANDLE handle, std::uint32_t objectId)
{
    if (objectId <= userObjectId.load()) {
        gf_logWarning(fmt::format("{} Simconnect call to remove ac with objectid {}", gf_utcClockNow(), objectId));
        return;
    }
    if (FAILED(SimConnect_AIRemoveObject(handle, objectId, simid::kReqRemove))) {
        gf_logWarning(fmt::format("{}!Simconnect call to remove AI ac from sim failed, id {}?", gf_utcClockNow(),
                                  objectId));
        gf_simConnectRequestError();
    }
}

void lf_sendPositions(HANDLE handle)
{
    const std::uint32_t user = userObjectId.load();
    for (const AcPositionRecord& record : *positionSendBuffer) {
        if (record.objectId > user)
            SimConnect_SetDataOnSimObject(handle, simid::kDefAiPosition, record.objectId, 0, 0, kPositionDataSize,
                                          &record);
    }
    positionSendBuffer->clear();
}

// Flaps are set only on an aircraft released from AI control, so FLAPS_SET goes between two
// releases (the second only when the event went out).
void lf_sendEvents(HANDLE handle)
{
    for (const AcEventRecord& event : eventQueue) {
        const bool flaps = event.eventId == simid::kFlapsSet;
        if (flaps)
            SimConnect_AIReleaseControl(handle, event.objectId, simid::kReqReleaseControl);
        if (FAILED(SimConnect_TransmitClientEvent(handle, event.objectId, event.eventId, event.value, simid::kGroup,
                                                  0))) {
            // The lights toggle of a new aircraft has the warning line of its own.
            if (event.eventId == simid::kAllLightsToggle)
                gf_logWarning("SimConnect gf_allLightsToggle fails");
            else
                gf_reportMessage(fmt::format("SimConnect TransmitClientEvent: {} fails", event.eventId), true);
        } else if (flaps) {
            SimConnect_AIReleaseControl(handle, event.objectId, simid::kReqReleaseControl);
        }
    }
    eventQueue.clear();
}

} // namespace

HANDLE gf_simConnectHandle()
{
    return simConnectHandle.load();
}

void lf_setSimConnectHandle(HANDLE handle)
{
    simConnectHandle.store(handle);
}

void gf_resetSimQueues(std::int32_t expectedVersion)
{
    expectedSimVersion = expectedVersion;
    std::lock_guard lock(simConnectMutex);
    lf_reserve(positionBufferA);
    lf_reserve(positionBufferB);
    lf_reserve(creationQueue);
    lf_reserve(removalQueue);
    lf_reserve(pendingCreations);
    lf_reserve(addedObjects);
    simConnectFailed = false;
}

void lf_clearOutboundQueues()
{
    std::lock_guard lock(simConnectMutex);
    positionBufferA.clear();
    positionBufferB.clear();
    positionWriteBuffer = &positionBufferA;
    positionSendBuffer = &positionBufferB;
    eventQueue.clear();
    creationQueue.clear();
    removalQueue.clear();
    failedRequests = 0;
}

void lf_flushSimQueues()
{
    if (simConnectFailed) {
        std::lock_guard lock(simConnectMutex);
        positionSendBuffer->clear();
        eventQueue.clear();
        creationQueue.clear();
        removalQueue.clear();
        return;
    }
    // The work thread holds the lock only briefly; a busy lock leaves everything for the next frame.
    std::unique_lock lock(simConnectMutex, std::try_to_lock);
    if (!lock.owns_lock())
        return;
    const HANDLE handle = simConnectHandle.load();
    if (positionSendBuffer->empty() && eventQueue.empty() && creationQueue.empty() && removalQueue.empty())
        return;
    // Over TCP the frame's packets gather in the send buffer and leave in one write (the pipe
    // connection writes each by itself).
    const bool batch = batchFrameWrites.load(std::memory_order_relaxed);
    if (batch)
        gf_scSetSendAtOnce(handle, false);
    lf_sendPositions(handle);
    lf_sendEvents(handle);
    for (const AcCreateRecord& record : creationQueue)
        lf_createAiAc(handle, record);
    creationQueue.clear();
    for (const std::uint32_t objectId : removalQueue)
        lf_removeAiAc(handle, objectId);
    removalQueue.clear();
    if (batch)
        gf_scSetSendAtOnce(handle, true);
}

void lf_freezeAc(std::uint32_t objectId)
{
    std::lock_guard lock(simConnectMutex);
    SimConnect_AIReleaseControl(simConnectHandle.load(), objectId, simid::kReqReleaseControl);
    lf_queueEvent(objectId, simid::kFreezeLatitudeLongitudeSet, 1);
    lf_queueEvent(objectId, simid::kFreezeAltitudeSet, 1);
    lf_queueEvent(objectId, simid::kFreezeAttitudeSet, 1);
}

void gf_updateAircraft(const AcPositionRecord& record)
{
    try {
        positionWriteBuffer->push_back(record);
    } catch (const std::bad_alloc& e) {
        gf_logWarning(fmt::format("{}: {}", "gf_updateAircraft", e.what()));
        throw;
    }
}

void gf_handOverPositions()
{
    std::unique_lock lock(simConnectMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        if (gf_simFrameRate() <= 50.0f) {
            positionWriteBuffer->clear(); // this pass's poses are dropped
            return;
        }
        lock.lock();
    }
    std::swap(positionWriteBuffer, positionSendBuffer);
    positionWriteBuffer->clear();
}

void gf_clearPositionBuffers()
{
    std::lock_guard lock(simConnectMutex);
    positionBufferA.clear();
    positionBufferB.clear();
}

void gf_queueCreateAiAc(const AcCreateRecord& record)
{
    std::lock_guard lock(simConnectMutex);
    creationQueue.push_back(record);
}

void gf_queueRemoveAiAc(std::uint32_t objectId)
{
    std::lock_guard lock(simConnectMutex);
    removalQueue.push_back(objectId);
}

void gf_queueRemoveAiAcLocked(std::uint32_t objectId)
{
    removalQueue.push_back(objectId);
}

void gf_setLights(std::uint32_t objectId, const AcLights& lights)
{
    std::lock_guard lock(simConnectMutex);
    lf_queueEvent(objectId, simid::kNavLightsSet, lights.nav);
    lf_queueEvent(objectId, simid::kBeaconLightsSet, lights.beacon);
    lf_queueEvent(objectId, simid::kLandingLightsSet, lights.landing);
    lf_queueEvent(objectId, simid::kTaxiLightsSet, lights.taxi);
    lf_queueEvent(objectId, simid::kStrobesSet, lights.strobes);
    lf_queueEvent(objectId, simid::kLogoLightsSet, lights.logo);
    lf_queueEvent(objectId, simid::kCabinLightsSet, lights.cabin);
}

void gf_setNavLights(std::uint32_t objectId, std::uint32_t value)
{
    gf_sendClientEvent(objectId, simid::kNavLightsSet, value);
}

void gf_setCabinLights(std::uint32_t objectId, std::uint32_t value)
{
    gf_sendClientEvent(objectId, simid::kCabinLightsSet, value);
}

void gf_sendClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value)
{
    std::lock_guard lock(simConnectMutex);
    lf_queueEvent(objectId, eventId, value);
}

void gf_setFlaps(std::uint32_t objectId, AcCategory category, std::uint32_t& storedFlapsStep, std::uint32_t step)
{
    if (storedFlapsStep == step || category == AcCategory::Rotorcraft)
        return;
    const std::uint32_t value = kFlapsValues.at(step);
    gf_sendClientEvent(objectId, simid::kFlapsSet, value);
    storedFlapsStep = step;
}

void gf_setGear(std::uint32_t objectId, AcCategory category, bool down)
{
    if (category != AcCategory::Rotorcraft)
        gf_sendClientEvent(objectId, simid::kGearSet, down ? 1 : 0);
}

void gf_setThrottle(std::uint32_t objectId, std::uint32_t& storedThrottleStep, std::uint32_t step)
{
    if (storedThrottleStep == step)
        return;
    if (step != kThrottleNone)
        gf_sendClientEvent(objectId, simid::kThrottleSet, kThrottleValues.at(step));
    storedThrottleStep = step;
}

void gf_shutdownAc(std::uint32_t objectId, AcCategory category, bool cargo, std::uint32_t& storedThrottleStep,
                   std::uint32_t& storedFlapsStep)
{
    gf_setThrottle(objectId, storedThrottleStep, 0);
    gf_setFlaps(objectId, category, storedFlapsStep, 0);
    gf_sendClientEvent(objectId, simid::kEngineAutoShutdown, 0);
    AcLights lights;
    lights.nav = NAV_LIGHTS_WHILE_PARKED.value ? 1 : 0;
    lights.logo = 1;
    lights.cabin = cargo ? 0 : 1;
    if (!cargo && RANDOM.value)
        lights.cabin = gf_randomEngine()() % 10 <= 8 ? 1 : 0;
    gf_setLights(objectId, lights);
}

UserAcData gf_getUserAcPosition()
{
    if (!simConnectFailed) {
        std::lock_guard lock(simConnectMutex);
        if (FAILED(SimConnect_RequestDataOnSimObject(simConnectHandle.load(), simid::kReqUserAc, simid::kDefUserAc,
                                                     SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE))) {
            gf_logWarning("SimConnect request user ac position fails");
            gf_simConnectRequestError();
        }
    }
    return gf_liveUserAcData();
}

void gf_requestUserAcTitleAndModel()
{
    std::lock_guard lock(simConnectMutex);
    const HANDLE handle = simConnectHandle.load();
    if (FAILED(SimConnect_RequestDataOnSimObject(handle, simid::kReqUserTitle, simid::kDefUserTitle,
                                                 SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE))) {
        gf_logWarning("SimConnect request user ac title fails");
        gf_simConnectRequestError();
    }
    if (FAILED(SimConnect_RequestDataOnSimObject(handle, simid::kReqUserModel, simid::kDefUserModel,
                                                 SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE))) {
        gf_logWarning("SimConnect reques user ac model fails");
        gf_simConnectRequestError();
    }
}

void gf_requestUserOnGround()
{
    std::lock_guard lock(simConnectMutex);
    if (FAILED(SimConnect_RequestDataOnSimObject(simConnectHandle.load(), simid::kReqUserOnGround,
                                                 simid::kDefUserOnGround, SIMCONNECT_OBJECT_ID_USER,
                                                 SIMCONNECT_PERIOD_SECOND))) {
        gf_logWarning("SimConnect request ac gnd/air fails");
        gf_simConnectRequestError();
    }
}

void gf_requestAircraftInRange(std::uint32_t radiusMetres)
{
    if (simConnectFailed)
        return;
    std::lock_guard lock(simConnectMutex);
    if (FAILED(SimConnect_RequestDataOnSimObjectType(simConnectHandle.load(), simid::kReqAcInRange,
                                                     simid::kDefAcInRange, radiusMetres,
                                                     SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT))) {
        gf_logWarning("SimConnect request ac within range fails");
        gf_simConnectRequestError();
    }
}

namespace {

void lf_requestObjectDataOnce(std::uint32_t requestId, std::uint32_t defineId, std::uint32_t objectId,
                              const char* failureText)
{
    if (simConnectFailed)
        return;
    std::lock_guard lock(simConnectMutex);
    if (FAILED(SimConnect_RequestDataOnSimObject(simConnectHandle.load(), requestId, defineId, objectId,
                                                 SIMCONNECT_PERIOD_ONCE))) {
        gf_logWarning(failureText);
        gf_simConnectRequestError();
    }
}

} // namespace

void gf_requestStaticCg(std::uint32_t objectId)
{
    lf_requestObjectDataOnce(simid::kReqStaticCg, simid::kDefStaticCg, objectId, "SimConnect request StaticCG fails");
}

void lf_requestCreatedObjectData(std::uint32_t objectId)
{
    lf_requestObjectDataOnce(simid::kReqAcInRange, simid::kDefAcInRange, objectId,
                             "SimConnect request created ac data fails");
}

void gf_simConnectRequestError()
{
    const std::uint32_t count = failedRequests.fetch_add(1) + 1;
    if (count < kFailuresBeforeStop)
        return;
    gf_reportMessage(fmt::format("SimConnect request error {}, see Log.txt", count), true);
    simConnectFailed = true;
    gf_askForExit(ExitReason::Restart, 10);
}
