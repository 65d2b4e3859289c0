#include "core/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace geo;

namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr double kMetresPerFoot = 0.3048;

double bearingDegrees0to360(double degrees)
{
    return degrees < 0 ? degrees + 360.0 : degrees;
}

void expectRelative(double actual, double expected, double relative, const char* what)
{
    EXPECT_NEAR(actual, expected, std::abs(expected) * relative + 1e-12) << what;
}

} // namespace

// Reference values: GeographicLib's GeodSolve on a sphere (flattening 0).
// Distances: radius 10800/pi NM = 6366707.019493708 m, `GeodSolve -i -e 6366707.019493708 0 -p 12`.
TEST(Geodesy, DistanceAndBearingAgreeWithGeodSolve)
{
    struct Case {
        LatLon a, b;
        double azimuthDeg, distanceM;
    };
    const std::vector<Case> cases{
        {{33.9425, -118.408}, {40.6398, -73.7789}, 65.870520031326848, 3971519.0848130421},
        {{50.7678, 7.1633}, {38.9485, -1.8635}, -148.273733913194405, 1490909.8534518785},
        {{0, 0}, {0, 1}, 90.0, 111120.0},
        {{-33.9461, 151.1772}, {21.3187, -157.9225}, 48.944933201540167, 8164976.7717487393},
        {{10, 20}, {-10, -159.9}, -90.008682411020899, 19990656.8162904121},
        {{33.9425, -118.408}, {33.9430, -118.4075}, 39.678821941130465, 72.1901529791},
        {{89, 0}, {-60, 100}, 81.715646024576017, 16685657.7044732366},
        {{0, 0}, {1, 0}, 0.0, 111120.0},
    };
    for (const Case& c : cases) {
        expectRelative(gf_distanceNm(c.a, c.b), c.distanceM / kMetresPerNm, 1e-9, "distance");
        expectRelative(gf_initialBearing(c.a, c.b) * kRadToDeg, bearingDegrees0to360(c.azimuthDeg), 1e-9, "bearing");
    }
}

// Destination points: radius 20,888,146.4 ft (one foot of arc), `GeodSolve -e 6366707.02272 0 -p 12`.
TEST(Geodesy, DestinationPointAgreesWithGeodSolve)
{
    struct Case {
        LatLon from;
        double azimuthDeg, distanceM;
        LatLon expected;
    };
    const std::vector<Case> cases{
        {{33.9425, -118.408}, 45, 185200, {35.112654452092272, -116.967368492948424}},
        {{0, 179.5}, 90, 100000, {0.0, -179.600071994696492}},
        {{50.7678, 7.1633}, 200, 5000, {50.725514686215135, 7.138989109124680}},
        {{-45, -70}, 300, 2000000, {-34.281441971432280, -88.896271800527131}},
    };
    for (const Case& c : cases) {
        const LatLon to = gf_destinationPoint(c.from, c.azimuthDeg * kDegToRad, c.distanceM / kMetresPerFoot);
        EXPECT_NEAR(to.latitude, c.expected.latitude, 1e-9 * std::max(1.0, std::abs(c.expected.latitude)));
        EXPECT_NEAR(to.longitude, c.expected.longitude, 1e-9 * std::abs(c.expected.longitude));
    }
    const LatLon start{12.5, -45.25};
    const LatLon same = gf_destinationPoint(start, 1.0, 0.0);
    EXPECT_NEAR(same.latitude, start.latitude, 1e-12);
    EXPECT_NEAR(same.longitude, start.longitude, 1e-12);
}

TEST(Geodesy, AntipodalPointsAreHalfTheCircumferenceNeverNaN)
{
    const std::vector<std::pair<LatLon, LatLon>> pairs{
        {{0, 0}, {0, 180}}, {{30, 40}, {-30, -140}}, {{-33.9461, 151.1772}, {33.9461, -28.8228}},
        {{89.9, 10}, {-89.9, -170}}, {{51.4775, -0.4614}, {-51.4775, 179.5386}},
        // pairs whose haversine term rounds to a hair above 1
        {{-11.056008330198168, -90.75379655126689}, {11.056008330198168, 89.24620344873311}},
        {{3.727038335139838, -109.21408290643932}, {-3.727038335139838, 70.78591709356068}}};
    for (const auto& [a, b] : pairs) {
        const double d = gf_distanceNm(a, b);
        EXPECT_FALSE(std::isnan(d));
        EXPECT_NEAR(d, 10800.0, 1e-6);
    }
}

TEST(Geodesy, CardinalBearingsAndAngleDifferences)
{
    EXPECT_NEAR(gf_initialBearing({0, 0}, {0, 1}), kPi / 2, 1e-15);
    EXPECT_NEAR(gf_initialBearing({0, 0}, {1, 0}), 0.0, 1e-15);
    EXPECT_NEAR(gf_initialBearing({0, 1}, {0, 0}), 3 * kPi / 2, 1e-15);
    EXPECT_NEAR(gf_distanceNm({10, 10}, {10, 10}), 0.0, 1e-12);

    struct Case {
        double a, b, expected;
    };
    const Case cases[] = {
        {0.1, 6.2, 6.1 - kTwoPi}, {6.2, 0.1, kTwoPi - 6.1}, {0, kPi, kPi}, {kPi, 0, -kPi},
        {1.0, 1.0, 0.0},          {1.0, 1.5, 0.5},          {1.5, 1.0, -0.5},
        {NAN, 1.0, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(gf_angleDifference(c.a, c.b), c.expected, 1e-12) << c.a << " " << c.b;
}

TEST(Geodesy, PositionOnCurve)
{
    CurveSegment s{33.9, -118.4, 10.0, 100.0, 100.0, 20.0, 0.0, 100.0};
    LatLon p{};
    double heading = -1;
    ASSERT_TRUE(gf_positionOnCurve(s, p, heading, 10.0));
    EXPECT_DOUBLE_EQ(p.latitude, 33.9);
    EXPECT_DOUBLE_EQ(p.longitude, -118.4);
    EXPECT_NEAR(heading, 0.0, 1e-12); // first leg heads north, to the control point

    ASSERT_TRUE(gf_positionOnCurve(s, p, heading, 20.0));
    EXPECT_NEAR(p.latitude, 33.9 + 100.0 / kMetresPerDegreeLat, 1e-12);
    EXPECT_NEAR(p.longitude, -118.4 + 100.0 / (kMetresPerDegreeLat * std::cos(33.9 * kDegToRad)), 1e-12);
    EXPECT_NEAR(heading, kPi / 2, 1e-12); // last leg heads east

    const LatLon untouched = p;
    EXPECT_FALSE(gf_positionOnCurve(s, p, heading, 9.999));
    EXPECT_FALSE(gf_positionOnCurve(s, p, heading, 20.001));
    CurveSegment straight = s;
    straight.controlEast = NAN;
    EXPECT_FALSE(gf_positionOnCurve(straight, p, heading, 15.0));
    CurveSegment instant = s;
    instant.t1 = instant.t0; // no duration: no point, never garbage
    EXPECT_FALSE(gf_positionOnCurve(instant, p, heading, 10.0));
    EXPECT_EQ(p.latitude, untouched.latitude);
}
