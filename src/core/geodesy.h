#pragma once
// Spherical-earth helpers: positions in degrees, headings and bearings in radians.

struct LatLon {
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive
};

// One quadratic curve in a local plane around its start point; offsets in metres.
// A curve without a control point holds NaN in controlEast or controlNorth.
struct CurveSegment {
    double lat0 = 0.0;
    double lon0 = 0.0;
    double t0 = 0.0;
    double endNorth = 0.0;
    double endEast = 0.0;
    double t1 = 0.0;
    double controlEast = 0.0;
    double controlNorth = 0.0;
};

namespace geo {
inline constexpr double kDegToRad = 0.017453292519943295;
inline constexpr double kRadToDeg = 57.29577951308232;
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kTwoEarthRadiusNm = 6875.493541569878; // 2 x 10800 / pi
inline constexpr double kFootOfArc = 4.787404208238998e-8;     // radians per foot
inline constexpr double kMetresPerDegreeLat = 111132.95;
} // namespace geo

double gf_distanceNm(LatLon a, LatLon b);
// The span of latitude, in degrees, beyond which no point lies within `nm` of another: a degree of
// latitude is 60 NM and no great circle is shorter than its span of latitude. The margin covers
// the rounding of both, so that a test against it never passes over a point within reach.
inline double gf_latitudeReachDeg(double nm)
{
    return nm / 60.0 * (1.0 + 1e-9) + 1e-12;
}
double gf_initialBearing(LatLon from, LatLon to);                         // [0, 2 pi)
LatLon gf_destinationPoint(LatLon from, double bearing, double distanceFeet);
double gf_angleDifference(double a, double b);                            // b - a folded once
bool gf_positionOnCurve(const CurveSegment& segment, LatLon& position, double& heading, double t);

// A position the simulator has not placed yet: latitude in [0, 0.0009] and longitude in
// [0, 0.05] degrees, bounds included.
bool gf_inNotYetKnownBox(double latitude, double longitude);
