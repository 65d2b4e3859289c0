#include "engine/stand_conflicts.h"

#include "airports/airport_services.h"
#include "airports/park_airport_list.h"
#include "core/log.h"
#include "engine/ac_identity.h"
#include "engine/ground_movement.h"
#include "engine/live_removal.h"
#include "engine/park_options.h"
#include "engine/spawning.h"
#include "engine/stand_query.h"
#include "params/parameters.h"
#include "simlink/sim_state.h"

#include <algorithm>
#include <fmt/format.h>
#include <string_view>

namespace {

constexpr double kClaimAfterLandingNm = 0.029697624190064796; // 55 m
constexpr double kClaimNm = 0.010799136069114472;             // 20 m

// Parked, pushing back, or pushed back and still holding behind the stand.
bool lf_onStandParked(const LiveAc& ac, std::uint32_t standId)
{
    return ac.state == AcState::InSim && ac.standId == standId &&
           (ac.phase == AcPhase::Parked || ac.phase == AcPhase::PushBack || ac.phase == AcPhase::PushBackDone);
}

bool lf_hasPosition(const Stand& stand)
{
    return lf_isPlausiblePosition({stand.lat, stand.lon});
}

bool lf_standsCollide(const LiveAc& a, const LiveAc& b, const Stand& stand, const Stand& other)
{
    const double span = 1.1 * (a.desc.halfWingspan + b.desc.halfWingspan);
    return gf_distanceNm({stand.lat, stand.lon}, {other.lat, other.lon}) <= span;
}

} // namespace

bool lf_standOccupantRule(const LiveAc& newcomer, std::uint32_t standId, LiveAc& occupant)
{
    if (&newcomer == &occupant || !lf_onStandParked(occupant, standId))
        return false;
    const std::string& mine = newcomer.desc.callsign;
    const std::string& theirs = occupant.desc.callsign;
    const std::string stand = gf_standName(occupant.standId);
    if (mine == theirs) {
        lf_logDetail(fmt::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ", stand, theirs,
                                 mine));
        gf_removeAc(occupant);
        return false;
    }
    if (!mine.empty() && gf_callsignWithoutLast(mine) == theirs)
        return true;
    if ((!theirs.empty() && gf_callsignWithoutLast(theirs) == mine) || (gf_isGhostCallsign(theirs) && !gf_isGhostCallsign(mine))) {
        lf_logDetail(fmt::format("{:8}: {:8} ghost, replace by {}", stand, theirs, mine));
        gf_removeAc(occupant);
        return false;
    }
    if ((gf_isGhostCallsign(mine) && !gf_isGhostCallsign(theirs)) || occupant.arrivedWhileLive != 0)
        return true;
    lf_logDetail(fmt::format("{:8}: {:8} removed because another live {} wants the stand ...", stand, theirs, mine));
    gf_removeAc(occupant);
    return false;
}

bool lf_neighbourStandBlocked(const LiveAc& newcomer, const Stand& stand, const Stand& neighbour)
{
    const auto it = std::find_if(liveAcTable.begin(), liveAcTable.end(), [&](const LiveAc& ac) {
        return &ac != &newcomer && lf_onStandParked(ac, neighbour.id) && ac.desc.callsign != newcomer.desc.callsign;
    });
    if (it == liveAcTable.end())
        return false;
    return !lf_hasPosition(neighbour) || lf_standsCollide(newcomer, *it, stand, neighbour);
}

void lf_adjacentStandRule(const LiveAc& newcomer, const Stand& stand, const Stand& neighbour)
{
    if (!lf_hasPosition(neighbour))
        return;
    for (LiveAc& ac : liveAcTable) {
        if (&ac == &newcomer || !lf_onStandParked(ac, neighbour.id) || !lf_standsCollide(newcomer, ac, stand, neighbour))
            continue;
        lf_logDetail(fmt::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                                 neighbour.name, ac.desc.callsign, newcomer.desc.callsign, stand.name));
        gf_removeAc(ac);
    }
}

void lf_standWanted(LiveAc& ac, bool landed)
{
    const StreamPosition& newest = gf_streamAt(ac.stream, ac.stream.size() - 1);
    if (newest.lat == ac.lastClaimLat && newest.lon == ac.lastClaimLon)
        return;
    ac.lastClaimLat = newest.lat;
    ac.lastClaimLon = newest.lon;
    const auto stand = lf_findNearestFreeStand({newest.lat, newest.lon}, ac,
                                               landed ? kClaimAfterLandingNm : kClaimNm, newest.stop != 0);
    if (stand == standTable.end() || stand->name == reservedStand)
        return;
    if (const std::string userStand = gf_getStandAtPosition({userAc.latitude, userAc.longitude});
        !userStand.empty() && userStand == stand->name)
        return;
    for (LiveAc& other : liveAcTable) {
        if (&other == &ac || other.state != AcState::InSim || other.phase != AcPhase::Parked || other.standId != stand->id)
            continue;
        lf_logDetail(fmt::format("{:8}: {:8} removed, {} wants to park there", stand->name, other.desc.callsign,
                                 ac.desc.callsign));
        gf_removeAc(other);
    }
    for (const std::uint32_t id : stand->neighbours)
        if (const Stand* neighbour = gf_findStandById(id))
            lf_adjacentStandRule(ac, *stand, *neighbour);
    checkStandOrExcludedIsOccupiedByStaticAndRemove(ac, *stand);
    ac.standLat = stand->lat;
    ac.standLon = stand->lon;
    ac.standHeading = stand->heading;
    ac.standId = stand->id;
    ac.cargoStand = stand->cargo ? 1 : 0;
    ac.stream.resize(1);
    // A curve and its turn led through positions that are cut off with the stream.
    ac.curve = gf_noCurve();
    ac.curveTurn = 0;
    ac.setPhase(AcPhase::ToStand);
    lf_insertStandStop(ac);
}

