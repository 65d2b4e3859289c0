#include "engine/update_pass.h"

#include "core/geodesy.h"
#include "core/log.h"
#include "engine/ac_records.h"
#include "engine/live_update.h"
#include "engine/neighbour_services.h"
#include "engine/park_options.h"
#include "engine/parked_removal.h"
#include "engine/sim_command_handling.h"
#include "engine/static_parking.h"
#include "engine/taxiing_grid.h"
#include "engine/traffic_intake.h"
#include "traffic/traffic_queue.h"
#include "params/parameters.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "traffic/rt_link.h"

#include <fmt/format.h>

std::deque<std::uint32_t> removalsToHandOver;
std::deque<AcCreateRecord> liveCreationQueue;
std::deque<AcCreateRecord> staticCreationQueue;
std::atomic<bool> fastRangeRequest{false};

namespace {

template <typename T>
T lf_takeFront(std::deque<T>& queue)
{
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}

// One removal every 10 passes; one creation every 50, a live one before a static one, and a new
// static aircraft planned only in a creation slot that no live creation used.
void lf_handOverQueues(std::int32_t pass)
{
    if (pass % 10 != 0)
        return;
    if (!removalsToHandOver.empty())
        gf_queueRemoveAiAc(lf_takeFront(removalsToHandOver));
    if (pass % 50 != 0)
        return;
    if (!liveCreationQueue.empty()) {
        gf_queueCreateAiAc(lf_takeFront(liveCreationQueue));
        return;
    }
    if (!staticCreationQueue.empty())
        gf_queueCreateAiAc(lf_takeFront(staticCreationQueue));
    if (gf_staticCandidatesWaiting())
        lf_parkStatic();
}

// The creation request of the last spawned aircraft; dropped when its record is gone.
void lf_buildCreationRequest()
{
    if (acToCreate.empty())
        return;
    const std::uint32_t key = acToCreate.back();
    acToCreate.pop_back();
    const LiveAc* ac = gf_findLiveAc(key);
    if (ac == nullptr)
        return;
    AcCreateRecord record;
    record.latitude = ac->pose.latitude;
    record.longitude = ac->pose.longitude;
    record.altitude = ac->pose.altitude;
    record.pitch = ac->pose.pitch * geo::kRadToDeg;
    record.bank = ac->pose.bank * geo::kRadToDeg;
    record.heading = ac->pose.heading * geo::kRadToDeg;
    record.onGround = gf_streamAt(ac->stream, 0).airborne != 0 ? 0 : 1;
    record.airspeed = 0;
    record.callsign = ac->desc.callsign;
    record.liveryTitle = ac->desc.liveryTitle;
    record.key = key;
    liveCreationQueue.push_back(std::move(record));
}

void lf_requestAircraftInRange(std::int32_t pass)
{
    const int period = fastRangeRequest.load() ? 20 : 100;
    if (pass % period != 0 || simConnectFailed.load())
        return;
    gf_requestAircraftInRange(static_cast<std::uint32_t>(g_trafficRangeM.load()));
}

// Each record's oldest position lies in its own block of the heap, away from the record, and every
// pass reads when it is due: that part is fetched a few records ahead, so that the update does
// not wait for it.
constexpr std::size_t kPrefetchAhead = 6;

void lf_prefetchStreamFront(const LiveAc& ac)
{
    if (!ac.stream.empty())
        __builtin_prefetch(&ac.stream.front().duePass);
}

} // namespace

void gf_updateAI()
{
    try {
        const std::int32_t pass = passCounter.load();
        gf_SimCommands();
        lf_updateAllLiveAc();
        lf_handOverQueues(pass);
        lf_handleUdpMessages();
        lf_buildCreationRequest();
        lf_requestAircraftInRange(pass);
        if (pass % 100 == 0) {
            gf_sendOwnPosition();
            userAc = gf_getUserAcPosition();
        }
        passCounter.store(pass + 1);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "gf_updateAI", e.what()));
    }
}

void lf_updateAllLiveAc()
{
    try {
        bool anyErased = false;
        {
            const TaxiingGridUpdate update;
            for (std::size_t i = 0; i < liveAcTable.size(); ++i) {
                if (i + kPrefetchAhead < liveAcTable.size())
                    lf_prefetchStreamFront(liveAcTable[i + kPrefetchAhead]);
                anyErased = updateLiveAc(liveAcTable[i]) || anyErased;
                taxiingGrid.updated(i);
            }
        }
        if (anyErased) {
            // A record that goes while it holds its stand (a cancelled creation) frees it.
            for (LiveAc& ac : liveAcTable)
                if (ac.erase != 0)
                    gf_freeStand(ac);
            liveAcTable.eraseIf([](const LiveAc& ac) { return ac.erase != 0; });
        }
        gf_handOverPositions();
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "lf_updateAllLiveAc", e.what()));
    }
}

void gf_handOverAllRemovals()
{
    while (!removalsToHandOver.empty())
        gf_queueRemoveAiAcLocked(lf_takeFront(removalsToHandOver));
}

void gf_handOverQueuedRemovals()
{
    std::lock_guard lock(simConnectMutex);
    gf_handOverAllRemovals();
}

void gf_applyNavLightsWhileParked()
{
    const std::uint32_t on = NAV_LIGHTS_WHILE_PARKED.value.load() ? 1 : 0;
    for (const StaticAc& ac : staticAcTable)
        if (ac.state == AcState::InSim)
            gf_setNavLights(ac.objectId, on);
    for (const LiveAc& ac : liveAcTable)
        if (ac.state == AcState::InSim && ac.phase == AcPhase::Parked)
            gf_setNavLights(ac.objectId, on);
}

void gf_resetEngineQueues()
{
    removalsToHandOver.clear();
    liveCreationQueue.clear();
    staticCreationQueue.clear();
    liveAcTable.clear();
    staticAcTable.clear();
    acToCreate.clear();
    spawnCheckList.clear();
    ghostCallsigns.clear();
    gf_clearActivationList();
    gf_clearMaxParkRemovals();
    NoMatchList.clear();
    gf_clearHalfHourStamps();
    fastRangeRequest = false;
    passCounter = 0;
    std::lock_guard lock(trafficQueueMutex);
    trafficQueue.clear();
}
