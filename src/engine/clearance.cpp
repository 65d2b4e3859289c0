#include "engine/clearance.h"

#include "core/geodesy.h"
#include "engine/angles.h"
#include "engine/live_removal.h"
#include "simlink/sim_state.h"

#include <cmath>
#include <optional>

namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kLiveOverlapFactor = 1.15;
constexpr double kStaticOverlapFactor = 1.1;

// The user position of the last static-aircraft check; static aircraft are checked again only
// once the user aircraft has moved.
std::optional<LatLon> lastStaticCheck;

LatLon lf_userPosition()
{
    return {userAc.latitude, userAc.longitude};
}

// How far the user lies beside a line through a point `distanceNm` away from it at an angle of
// `angle` to the line, in feet.
double lf_offsetFeet(double angle, double distanceNm)
{
    return std::sin(std::abs(gf_foldRadians(angle))) * distanceNm * kFeetPerNm;
}

bool lf_clearLiveOnGround(double userHalfSpan)
{
    const LatLon user = lf_userPosition();
    for (LiveAc& ac : liveAcTable) {
        if (ac.groundMode == 0 || ac.state != AcState::InSim)
            continue;
        const double distance = gf_distanceNm(user, {ac.pose.latitude, ac.pose.longitude});
        if (distance <= (userHalfSpan + ac.desc.halfWingspan) * kLiveOverlapFactor) {
            gf_removeAc(ac);
            return true;
        }
    }
    return false;
}

void lf_clearStatics(double userHalfSpan)
{
    const LatLon user = lf_userPosition();
    if (lastStaticCheck && lastStaticCheck->latitude == user.latitude && lastStaticCheck->longitude == user.longitude)
        return;
    lastStaticCheck = user;
    for (StaticAc& st : staticAcTable) {
        if (st.state != AcState::InSim)
            continue;
        if (gf_distanceNm(user, {st.standLat, st.standLon}) <= (userHalfSpan + st.desc.halfWingspan) * kStaticOverlapFactor) {
            gf_removeAc(st);
            return;
        }
    }
}

bool lf_inWayOnGround(const LiveAc& ac)
{
    const LatLon user = lf_userPosition();
    const LatLon position{ac.pose.latitude, ac.pose.longitude};
    const double distance = gf_distanceNm(user, position);
    if (userAc.altAboveGround >= 500.0 || distance > 1.0)
        return false;
    return lf_offsetFeet(userAc.heading - gf_initialBearing(user, position), distance) <= 50.0;
}

bool lf_inWayAirborne(const LiveAc& ac)
{
    const LatLon user = lf_userPosition();
    const LatLon position{ac.pose.latitude, ac.pose.longitude};
    const double distance = gf_distanceNm(user, position);
    if (distance > 4.0 || std::abs(ac.pose.altitude - userAc.altitude) >= 1000.0)
        return false;
    return lf_offsetFeet(ac.pose.heading - gf_initialBearing(user, position), distance) <= 700.0;
}

} // namespace

void gf_clearUserAcSurroundings()
{
    const double userHalfSpan = userHalfWingspan.load();
    if (!lf_clearLiveOnGround(userHalfSpan))
        lf_clearStatics(userHalfSpan);
}

bool gf_isInUsersWay(LiveAc& ac)
{
    if (ac.state != AcState::InSim)
        return false;
    const bool inWay = ac.groundMode != 0 ? lf_inWayOnGround(ac) : lf_inWayAirborne(ac);
    if (inWay)
        gf_removeAc(ac);
    return inWay;
}

bool lf_onUsersPath(const LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    const LatLon user = lf_userPosition();
    const LatLon position{oldest.lat, oldest.lon};
    const double distance = gf_distanceNm(user, position);
    if (distance > 6.0 || std::abs(oldest.altitude - userAc.altitude) >= 3000.0)
        return false;
    // A buffered aircraft has flown no leg yet: its track is the received one.
    return lf_offsetFeet(oldest.track * geo::kDegToRad - gf_initialBearing(user, position), distance) <= 4000.0;
}
