#include "engine/static_parking.h"

#include "airports/airport_services.h"
#include "core/clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "engine/ac_identity.h"
#include "engine/live_removal.h"
#include "engine/livery_choice.h"
#include "engine/park_options.h"
#include "engine/update_pass.h"
#include "liveries/livery_matching.h"
#include "params/parameters.h"

#include <algorithm>
#include <fmt/format.h>

std::uint32_t staticKey = 0;

namespace {

constexpr std::uint32_t kStaticKeyLimit = 10000;

// The aircraft's stand is the candidate's stand or overlaps it.
bool lf_inTheWay(std::uint32_t acStandId, std::uint32_t standId, const Stand* stand)
{
    if (acStandId == 0)
        return false;
    if (acStandId == standId)
        return true;
    return stand != nullptr &&
           std::find(stand->neighbours.begin(), stand->neighbours.end(), acStandId) != stand->neighbours.end();
}

bool lf_liveAcInTheWay(const StaticCandidate& c, const Stand* stand)
{
    const auto it = std::find_if(liveAcTable.begin(), liveAcTable.end(), [&](const LiveAc& ac) {
        return (ac.phase == AcPhase::ToStand || ac.phase == AcPhase::Parked) && ac.erase == 0 &&
               lf_inTheWay(ac.standId, c.standId, stand);
    });
    if (it == liveAcTable.end())
        return false;
    if (LOG.value.load()) {
        const std::string name = gf_standName(c.standId);
        if (it->standId == c.standId)
            gf_log(fmt::format("{:8}: no static parking for {}, live aircraft {} standing here", name, c.cs,
                               it->desc.callsign));
        else
            gf_log(fmt::format("{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding",
                               name, c.cs, it->desc.callsign, gf_standName(it->standId)));
    }
    return true;
}

bool lf_staticAcInTheWay(const StaticCandidate& c, const Stand* stand)
{
    // A record marked for erasing never reached the simulator and is on its way out.
    const auto it = std::find_if(staticAcTable.begin(), staticAcTable.end(), [&](const StaticAc& ac) {
        return ac.erase == 0 && lf_inTheWay(ac.standId, c.standId, stand);
    });
    if (it == staticAcTable.end())
        return false;
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
                           gf_standName(c.standId), c.cs, it->desc.callsign, gf_standName(it->standId)));
    return true;
}

AcIdentity lf_staticIdentity(const StaticCandidate& c, std::uint32_t key)
{
    AcIdentity identity;
    identity.airline = c.airl;
    identity.type = c.type;
    identity.callsign = c.cs.empty() ? fmt::format("{}{}{}", c.airl, key, '*') : lf_staticCallsign(identity, c);
    identity.coupledCallsign1 = c.cs;
    identity.coupledCallsign2 = c.csSuffix;
    identity.registration = c.reg;
    identity.flag = 0;
    return identity;
}

AcCreateRecord lf_creationRequest(const StaticAc& ac, const Stand& stand)
{
    AcCreateRecord record;
    record.latitude = stand.lat;
    record.longitude = stand.lon;
    record.altitude = 0.0;
    record.pitch = 0.0;
    record.bank = 0.0;
    record.heading = stand.heading * geo::kRadToDeg;
    record.onGround = 1;
    record.airspeed = 0;
    record.callsign = ac.desc.callsign;
    record.liveryTitle = ac.desc.liveryTitle;
    record.key = ac.desc.key;
    return record;
}

void lf_parkCandidate(const StaticCandidate& c)
{
    const Stand* stand = gf_findStandById(c.standId);
    if (lf_liveAcInTheWay(c, stand) || lf_staticAcInTheWay(c, stand))
        return;
    if (stand == nullptr) {
        gf_logWarning(fmt::format("stand with id {} not found", gf_standName(c.standId)));
        return;
    }
    const std::uint32_t key = gf_nextStaticKey();
    AcDescription desc = gf_makeAircraftDescription(lf_staticIdentity(c, key));
    desc.key = key;
    staticAcTable.emplace_back(std::move(desc), c.standId, StandPose{stand->lat, stand->lon, stand->heading},
                               stand->cargo);
    if (!gf_matchStaticLivery(staticAcTable.back(), *stand)) {
        staticAcTable.pop_back();
        return;
    }
    StaticAc& ac = staticAcTable.back();
    ac.parkedStamp = gf_daySlotBefore(currentDaySlot.load(), c.sortKey);
    ac.state = AcState::Creating;
    staticCreationQueue.push_back(lf_creationRequest(ac, *stand));
}

} // namespace

std::uint32_t gf_nextStaticKey()
{
    if (++staticKey >= kStaticKeyLimit)
        staticKey = 1;
    return staticKey;
}

void lf_parkStatic()
{
    try {
        if (staticCandidates.empty() || standTable.empty())
            return;
        const StaticCandidate candidate = std::move(staticCandidates.back());
        staticCandidates.pop_back();
        lf_parkCandidate(candidate);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "lf_parkStatic", e.what()));
        throw;
    }
}

std::string lf_staticCallsign(const AcIdentity& /*identity*/, const StaticCandidate& candidate)
{
    std::string callsign = candidate.searchFlag ? candidate.cs : candidate.csSuffix;
    // A stayer without a second callsign keeps its first rather than showing a bare '*'.
    if (callsign.empty())
        callsign = candidate.searchFlag ? candidate.csSuffix : candidate.cs;
    callsign = gf_withoutGhostMark(callsign);
    if (callsign.empty() || callsign.back() != '*')
        callsign = fmt::format("{}{}", callsign, '*');
    return callsign;
}

bool lf_cancelQueuedStaticCreation(std::string_view callsign)
{
    bool found = false;
    std::erase_if(staticCreationQueue, [&](const AcCreateRecord& request) {
        if (request.callsign != callsign)
            return false;
        const std::uint32_t key = request.key;
        std::erase_if(staticAcTable, [key](const StaticAc& ac) { return ac.desc.key == key; });
        found = true;
        return true;
    });
    return found;
}
