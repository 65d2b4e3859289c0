#include "engine/live_sim_events.h"

#include "airports/airport_services.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "engine/ac_identity.h"
#include "engine/livery_choice.h"
#include "engine/neighbour_services.h"
#include "engine/update_pass.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"
#include "simconnect/simconnect.h"
#include "simlink/flight_plans.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "traffic/traffic_queue.h"

#include <array>
#include <cmath>
#include <fmt/format.h>

namespace {

// Spoiler handle and both throttle levers written directly (not for a Light aircraft).
void lf_setSpoilerAndThrottles(LiveAc& ac, double spoiler, double throttle)
{
    if (ac.desc.category == AcCategory::Light)
        return;
    const std::array<double, 3> data{spoiler, throttle, throttle};
    std::lock_guard lock(simConnectMutex);
    qmx::SimConnect_SetDataOnSimObject(gf_simConnectHandle(), simid::kDefThrottleSpoilers, ac.objectId, 0, 0,
                                  sizeof(data), data.data());
}

std::uint32_t lf_idleThrottleStep(const LiveAc& ac)
{
    return lf_isRotorcraft(ac) ? 4 : 0;
}

} // namespace

void lf_spoilers(LiveAc& ac, std::uint32_t value)
{
    if (!lf_isRotorcraft(ac))
        gf_sendClientEvent(ac.objectId, simid::kSpoilersSet, value);
}

bool lf_onLiveAcCreated(LiveAc& ac, const SimCommand& command)
{
    if (command.objectId < 3)
        return false;
    liveAcTable.setObjectId(ac, command.objectId);
    if (std::isfinite(command.second))
        ac.heightAboveGround = command.second;
    if (gf_streamAt(ac.stream, 0).airborne == 0) {
        ac.groundMode = 1;
        ac.altitudeStep = 0.0;
        if (ac.phase == AcPhase::Parked) {
            ac.parkedStamp = currentDaySlot.load();
            if (LOG.value.load())
                gf_log(fmt::format("{:8}: {:8} parks", gf_standName(ac.standId), ac.desc.callsign));
            gf_dropStaticCandidatesForStand(ac.standId);
        }
        ac.rotationCounter = 1;
    }
    lf_setFlightPlan(ac);
    gf_requestStaticCg(ac.objectId);
    return true;
}

void lf_activateLiveAc(LiveAc& ac)
{
    const std::uint32_t id = ac.objectId;
    if (gf_streamAt(ac.stream, 0).airborne != 0) {
        gf_sendClientEvent(id, simid::kEngineAutoStart, 0);
        lf_spoilers(ac, 0);
        const std::uint32_t low = ac.pose.altitude <= 10000.0 ? 1 : 0;
        gf_setLights(id, AcLights{1, 1, low, 0, 1, low, ac.heightAboveGround >= 2000.0 ? 1u : 0u});
    } else {
        const bool parked = ac.phase == AcPhase::Parked;
        const bool taxi = ac.phase == AcPhase::Taxi;
        lf_spoilers(ac, 0);
        gf_sendClientEvent(id, parked ? simid::kEngineAutoShutdown : simid::kEngineAutoStart, 0);
        const std::uint32_t nav = parked ? (NAV_LIGHTS_WHILE_PARKED.value.load() ? 1 : 0) : 1;
        gf_setLights(id, AcLights{nav, parked ? 0u : 1u, 0, taxi ? 1u : 0u, 0, 1, 1});
        gf_setThrottle(id, ac.throttleStep, lf_idleThrottleStep(ac));
        gf_setFlaps(id, ac.desc.category, ac.flapsStep, taxi ? 1 : 0);
    }
    ac.state = AcState::InSim;
}

void lf_applyGroundData(LiveAc& ac, const SimCommand& command)
{
    if (command.key == 1 && ac.groundMode == 0 && ac.rotationCounter <= 1)
        lf_onGroundData(ac);
    ac.reportedGround = command.first;
    ac.reportedGroundPass = passCounter.load();
    ac.heightAboveGround = command.second;
    if (ac.groundMode != 0 || ac.rotationCounter >= 2)
        ac.pose.altitude = ac.desc.staticCgHeight + command.first;
}

void lf_onGroundData(LiveAc& ac)
{
    if (ac.state == AcState::Removing || ac.phase == AcPhase::Takeoff)
        return;
    if (ac.flareStage != 0 || ac.landing != 0) {
        ac.pitchSettling = ac.rollingOut = 1;
        fastRangeRequest = false;
        ac.touchdownHeading = ac.pose.heading;
        ac.landing = 0;
        ac.landed = 1;
        lf_spoilers(ac, 16383);
        lf_setSpoilerAndThrottles(ac, 100.0, ac.desc.fsltlFlag != 0 ? -100.0 : 100.0);
        const std::uint32_t passes = ac.desc.touchdownPasses;
        if (passes == 0) {
            gf_log(fmt::format("{} ! onGround slots {:.1F}", ac.desc.callsign, static_cast<double>(passes)));
            ac.pitchStep = ac.desc.staticPitch;
            ac.bankStep = 0.0;
        } else {
            ac.pitchStep = (ac.desc.staticPitch - ac.pose.pitch) / passes;
            ac.bankStep = -ac.pose.bank / passes;
        }
        spawnCheckList.push_back(ac.desc.key);
    }
    ac.groundMode = 1;
    ac.altitudeStep = 0.0;
    ac.rotationCounter = 1;
}

void lf_setFlightPlan(LiveAc& ac)
{
    if (ac.desc.origin.empty() || ac.desc.destination.empty())
        return;
    // Set once the plan is queued: the worker deletes its file, or finds none, when the aircraft goes.
    gf_queueFlightPlan(ac.objectId, {ac.desc.category, ac.desc.origin, ac.desc.destination},
                       gf_aircraftShortLabel(ac));
    ac.flightPlanSet = 1;
}

void lf_rollOut(LiveAc& ac)
{
    const double turned = std::abs(gf_angleDifference(ac.touchdownHeading, ac.pose.heading)) * geo::kRadToDeg;
    if (turned >= 15.0) { // the runway is left
        gf_setFlaps(ac.objectId, ac.desc.category, ac.flapsStep, 0);
        ac.rollingOut = 0;
        ac.touchdownHeading = 0.0;
        gf_setThrottle(ac.objectId, ac.throttleStep, lf_idleThrottleStep(ac));
        lf_spoilers(ac, 0);
        lf_setSpoilerAndThrottles(ac, 0.0, 0.0);
        gf_setLights(ac.objectId, AcLights{1, 1, 0, 1, 0, 1, 1});
        return;
    }
    if (gf_streamAt(ac.stream, 0).groundSpeed > 90.0)
        return;
    lf_spoilers(ac, 0);
    lf_setSpoilerAndThrottles(ac, 0.0, 0.0);
    gf_setFlaps(ac.objectId, ac.desc.category, ac.flapsStep, 1);
}

void liveryRespawn(LiveAc& ac)
{
    try {
        StreamPosition first = gf_streamAt(ac.stream, 0);
        if (ac.phase == AcPhase::Parked) {
            ac.stream.resize(1);
            ac.stream.front().stop = 1;
            ac.stream.front().track = ac.pose.heading * geo::kRadToDeg;
            first = ac.stream.front();
        } else {
            first.lat = ac.pose.latitude;
            first.lon = ac.pose.longitude;
            first.altitude = ac.pose.altitude;
            first.roll = ac.pose.bank;
            StreamPosition& old = ac.stream.front();
            old.stop = old.lat == first.lat && old.lon == first.lon ? 1 : 0;
        }
        first.duePass = passCounter.load() + 1;
        ac.stream.push_front(first);
        ac.respawnHeading = ac.pose.heading;
        ac.state = AcState::Respawning;
        removalsToHandOver.push_back(ac.objectId);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "liveryRespawn", e.what()));
    }
}

bool lf_chooseLivery(LiveAc& ac)
{
    if (!ac.desc.liveryTitle.empty())
        return true;
    const std::uint32_t key = ac.desc.key;
    if (const auto it = liveryByHexId.find(key); it != liveryByHexId.end()) {
        if (gf_isCreateFailure(it->second))
            liveryByHexId.erase(it);
        else
            ac.desc.liveryTitle = it->second;
    }
    if (!ac.desc.liveryTitle.empty())
        return true;
    gf_matchLiveLivery(ac);
    if (ac.desc.liveryTitle.empty())
        return false;
    liveryByHexId[key] = ac.desc.liveryTitle;
    return true;
}
