#include "core/geodesy.h"

#include <algorithm>
#include <cmath>

using namespace geo;

double gf_distanceNm(LatLon a, LatLon b)
{
    const double latA = a.latitude * kDegToRad;
    const double latB = b.latitude * kDegToRad;
    const double sinHalfLat = std::sin((latA - latB) / 2);
    const double sinHalfLon = std::sin((a.longitude - b.longitude) * kDegToRad / 2);
    const double h = sinHalfLat * sinHalfLat + std::cos(latB) * std::cos(latA) * sinHalfLon * sinHalfLon;
    // Rounding can push h a hair past 1 for antipodal points, where asin(sqrt(h)) would be NaN.
    return std::asin(std::sqrt(std::clamp(h, 0.0, 1.0))) * kTwoEarthRadiusNm;
}

double gf_initialBearing(LatLon from, LatLon to)
{
    const double lat1 = from.latitude * kDegToRad;
    const double lat2 = to.latitude * kDegToRad;
    const double dlon = (to.longitude - from.longitude) * kDegToRad;
    double bearing = std::atan2(std::sin(dlon) * std::cos(lat2),
                                std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dlon));
    if (bearing < 0)
        bearing += kTwoPi;
    return bearing;
}

LatLon gf_destinationPoint(LatLon from, double bearing, double distanceFeet)
{
    const double d = distanceFeet * kFootOfArc;
    const double lat1 = from.latitude * kDegToRad;
    const double lon1 = from.longitude * kDegToRad;
    const double lat2 = std::asin(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(bearing));
    const double dlon = std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat1),
                                   std::cos(d) - std::sin(lat1) * std::sin(lat2));
    const double westLon = -lon1;
    double lon2 = kPi - std::fmod(westLon - dlon + kPi, kTwoPi);
    if (lon2 < -kPi)
        lon2 += kTwoPi;
    else if (lon2 > kPi)
        lon2 -= kTwoPi;
    return {lat2 * kRadToDeg, lon2 * kRadToDeg};
}

double gf_angleDifference(double a, double b)
{
    if (b > a) {
        const double d = b - a;
        return d > kPi ? d - kTwoPi : d;
    }
    if (a > b)
        return -gf_angleDifference(b, a);
    return 0.0;
}

bool gf_positionOnCurve(const CurveSegment& s, LatLon& position, double& heading, double t)
{
    if (std::isnan(s.controlEast) || std::isnan(s.controlNorth) || t < s.t0 || t > s.t1)
        return false;
    // A segment of no duration has no point in time on it.
    if (s.t1 == s.t0)
        return false;
    const double u = (t - s.t0) / (s.t1 - s.t0);
    if (!(u >= 0.0 && u <= 1.0))
        return false;
    const double w = 1.0 - u;
    const double east = 2 * w * u * s.controlEast + u * u * s.endEast;
    const double north = 2 * w * u * s.controlNorth + u * u * s.endNorth;
    const double dEast = 2 * w * s.controlEast + 2 * u * (s.endEast - s.controlEast);
    const double dNorth = 2 * w * s.controlNorth + 2 * u * (s.endNorth - s.controlNorth);
    double h = std::atan2(dEast, dNorth);
    if (h < 0)
        h += kTwoPi;
    else if (h > kTwoPi)
        h -= kTwoPi;
    if (std::isnan(east) || std::isnan(north))
        return false;
    position.latitude = s.lat0 + north / kMetresPerDegreeLat;
    position.longitude = s.lon0 + east / (kMetresPerDegreeLat * std::cos(s.lat0 * kDegToRad));
    heading = h;
    return true;
}

bool gf_inNotYetKnownBox(double latitude, double longitude)
{
    return latitude >= 0.0 && latitude <= 0.0009 && longitude >= 0.0 && longitude <= 0.05;
}
