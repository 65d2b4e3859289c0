#include "world.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <numbers>

namespace fakesim {

namespace {

constexpr double kEarthRadiusNm = 3440.0647948164; // 6371008.8 m
constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kDegToRad = std::numbers::pi / 180.0;

std::tm lf_utc(std::int64_t unixSeconds)
{
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    return parts;
}

double lf_normalizeDegrees(double degrees)
{
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0.0 ? degrees + 360.0 : degrees;
}

} // namespace

double SimObject::altAboveGroundFt() const
{
    return std::max(0.0, pose.altitudeFt - groundElevationFt);
}

std::int64_t ZuluTime::secondsOfDay() const
{
    const std::int64_t s = unixSeconds % 86400;
    return s < 0 ? s + 86400 : s;
}

std::int64_t ZuluTime::dayOfYear() const { return lf_utc(unixSeconds).tm_yday + 1; }
std::int64_t ZuluTime::year() const { return lf_utc(unixSeconds).tm_year + 1900; }
std::int64_t ZuluTime::month() const { return lf_utc(unixSeconds).tm_mon + 1; }
std::int64_t ZuluTime::dayOfMonth() const { return lf_utc(unixSeconds).tm_mday; }
std::int64_t ZuluTime::dayOfWeek() const { return lf_utc(unixSeconds).tm_wday; }

void moveAlong(double& latitudeDeg, double& longitudeDeg, double courseDeg, double distanceNm)
{
    if (distanceNm == 0.0)
        return;
    const double lat1 = latitudeDeg * kDegToRad;
    const double lon1 = longitudeDeg * kDegToRad;
    const double course = courseDeg * kDegToRad;
    const double d = distanceNm / kEarthRadiusNm;
    const double lat2 = std::asin(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(course));
    const double lon2 = lon1 + std::atan2(std::sin(course) * std::sin(d) * std::cos(lat1),
                                          std::cos(d) - std::sin(lat1) * std::sin(lat2));
    latitudeDeg = lat2 / kDegToRad;
    longitudeDeg = std::remainder(lon2 / kDegToRad, 360.0);
}

double distanceMetres(double lat1Deg, double lon1Deg, double lat2Deg, double lon2Deg)
{
    const double dLat = (lat2Deg - lat1Deg) * kDegToRad;
    const double dLon = (lon2Deg - lon1Deg) * kDegToRad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1Deg * kDegToRad) * std::cos(lat2Deg * kDegToRad) * std::sin(dLon / 2) *
                         std::sin(dLon / 2);
    return 2.0 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(a)));
}

World::World(const UserAircraft& script, std::uint32_t userObjectId, std::uint32_t firstAiObjectId,
             std::int64_t zuluStartUnix)
    : script_(script), nextObjectId_(std::max(firstAiObjectId, userObjectId + 1)), zuluUnix_(zuluStartUnix)
{
    user_.id = userObjectId;
    placeUser();
}

void World::placeUser()
{
    user_.type = 2;
    user_.title = script_.title;
    user_.atcId = script_.atcId;
    user_.atcModel = script_.atcModel;
    user_.atcType = script_.atcType;
    user_.lightStates = script_.lightStates;
    user_.pose.latitudeDeg = script_.latitudeDeg;
    user_.pose.longitudeDeg = script_.longitudeDeg;
    user_.pose.altitudeFt = script_.altitudeFt;
    user_.pose.headingDeg = lf_normalizeDegrees(script_.headingDeg);
    user_.pose.pitchDeg = script_.pitchDeg;
    user_.pose.bankDeg = script_.bankDeg;
    user_.pose.groundSpeedKt = script_.groundSpeedKt;
    user_.pose.trueAirspeedKt = script_.groundSpeedKt;
    user_.pose.verticalSpeedFpm = script_.verticalSpeedFpm;
    user_.pose.onGround = script_.onGround;
    groundElevationFt_ = script_.altitudeFt - (script_.onGround ? 0.0 : script_.altAboveGroundFt);
    user_.groundElevationFt = groundElevationFt_;
}

void World::setUserScript(const UserAircraft& script)
{
    script_ = script;
    placeUser();
}

SimObject* World::find(std::uint32_t objectId)
{
    if (isUser(objectId))
        return &user_;
    auto it = objects_.find(objectId);
    return it == objects_.end() ? nullptr : &it->second;
}

const SimObject* World::find(std::uint32_t objectId) const
{
    return const_cast<World*>(this)->find(objectId);
}

SimObject& World::add(SimObject object)
{
    object.id = nextObjectId_++;
    if (nextObjectId_ == 0)  // the id space is spent: never hand out 0 (the user's alias)
        nextObjectId_ = user_.id + 1;
    auto [it, inserted] = objects_.insert_or_assign(object.id, std::move(object));
    return it->second;
}

bool World::remove(std::uint32_t objectId)
{
    return objects_.erase(objectId) > 0;
}

std::vector<const SimObject*> World::objectsInRange(std::uint32_t objectType, double radiusMetres) const
{
    std::vector<const SimObject*> found{&user_};
    if (objectType == 0)
        return found;
    if (objectType != 1 && user_.type != objectType)
        found.clear();
    for (const auto& [id, object] : objects_) {
        if (objectType != 1 && object.type != objectType)
            continue;
        if (distanceMetres(user_.pose.latitudeDeg, user_.pose.longitudeDeg, object.pose.latitudeDeg,
                           object.pose.longitudeDeg) <= radiusMetres)
            found.push_back(&object);
    }
    return found;
}

void World::advanceSecond()
{
    ++zuluUnix_;
    Pose& pose = user_.pose;
    pose.headingDeg = lf_normalizeDegrees(pose.headingDeg + script_.turnRateDegPerSec);
    moveAlong(pose.latitudeDeg, pose.longitudeDeg, pose.headingDeg, pose.groundSpeedKt / 3600.0);
    if (!pose.onGround)
        pose.altitudeFt = std::max(groundElevationFt_, pose.altitudeFt + pose.verticalSpeedFpm / 60.0);
}

} // namespace fakesim
