#include "engine/spawn_links.h"

#include "core/geodesy.h"
#include "simlink/sim_state.h"

#include <cmath>

std::vector<Stand>::iterator lf_findNearestFreeStand(LatLon position, LiveAc& /*ac*/, double limitNm,
                                                     bool /*stopFlag*/)
{
    auto best = standTable.end();
    double bestDistance = limitNm;
    for (auto it = standTable.begin(); it != standTable.end(); ++it) {
        if (it->occupied)
            continue;
        const double distance = gf_distanceNm(position, {it->lat, it->lon});
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = it;
        }
    }
    return best;
}

bool lf_standOccupantRule(LiveAc& /*occupant*/, const LiveAc& /*newcomer*/, std::uint32_t /*standId*/)
{
    return false;
}

bool lf_neighbourStandBlocked(const LiveAc& /*newcomer*/, const Stand& /*stand*/, std::uint32_t /*neighbourId*/)
{
    return false;
}

bool lf_ghostOwnerExists(std::string_view callsign)
{
    if (callsign.empty())
        return false;
    const std::string_view owner = callsign.substr(0, callsign.size() - 1);
    for (const LiveAc& ac : liveAcTable) {
        if (ac.state != AcState::Removing && ac.erase == 0 && ac.desc.callsign == owner)
            return true;
    }
    return false;
}

void lf_ghostCheck(const std::string& /*callsign*/) {}

void lf_checkMaxPark(std::uint8_t /*extra*/) {}

bool lf_cancelQueuedStaticCreation(std::string_view /*callsign*/)
{
    return false;
}

void lf_cargoStand(LiveAc& /*ac*/) {}

bool lf_onUsersPath(const LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    const LatLon user{userAc.latitude, userAc.longitude};
    const LatLon at{oldest.lat, oldest.lon};
    const double distance = gf_distanceNm(user, at);
    if (distance > 6.0 || std::abs(oldest.altitude - userAc.altitude) >= 3000.0)
        return false;
    // A buffered aircraft has flown no leg yet: its track is the received one.
    const double track = oldest.track * geo::kDegToRad;
    const double a = std::abs(gf_angleDifference(gf_initialBearing(user, at), track)) * geo::kRadToDeg;
    const double offsetFeet = (a <= 90.0 ? std::cos((90.0 - a) * geo::kDegToRad)
                                         : std::cos((a - 90.0) * geo::kDegToRad)) *
                              distance * 6076.11549;
    return offsetFeet <= 4000.0;
}
