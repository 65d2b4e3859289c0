// Datum values in the client's units and types, written data applied back, and the user
// aircraft's scripted motion.

#include "datums.h"
#include "world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace fakesim {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

SimObject lf_object()
{
    SimObject o;
    o.id = 1;
    o.title = "Default Boeing 737-800";
    o.atcId = "N737FS";
    o.pose.latitudeDeg = 33.9425;
    o.pose.longitudeDeg = -118.408;
    o.pose.altitudeFt = 1125.0;
    o.pose.headingDeg = 90.0;
    o.pose.pitchDeg = -2.0;
    o.pose.groundSpeedKt = 120.0;
    o.pose.trueAirspeedKt = 130.0;
    o.pose.verticalSpeedFpm = 600.0;
    o.groundElevationFt = 125.0;
    o.lightStates = 0x0105;
    return o;
}

double lf_f64(const std::vector<std::uint8_t>& bytes, std::size_t offset = 0)
{
    double v = 0;
    std::memcpy(&v, bytes.data() + offset, 8);
    return v;
}

TEST(FakesimDatums, NumbersInTheClientsUnits)
{
    const SimObject o = lf_object();
    const ZuluTime zulu{1709251200 + 3723};  // 2024-03-01 01:02:03
    struct Case {
        const char* datum;
        const char* units;
        double expected;
    };
    const std::vector<Case> cases{
        {"Plane Latitude", "degree", 33.9425},
        {"PLANE LATITUDE", "radians", 33.9425 * kDeg},
        {"PLANE LATITUDE", "", 33.9425 * kDeg},  // native units
        {"Plane Heading degrees true", "radians", 90.0 * kDeg},
        {"Plane Heading Degrees True", "Degrees", 90.0},
        {"Plane Pitch degrees", "radians", -2.0 * kDeg},
        {"Plane Altitude", "feet", 1125.0},
        {"Plane Altitude", "meters", 1125.0 * 0.3048},
        {"Plane Alt Above Ground", "feet", 1000.0},
        {"Ground Altitude", "feet", 125.0},
        {"Ground Altitude", "", 125.0 * 0.3048},
        {"Ground Velocity", "knots", 120.0},
        {"Ground Velocity", "meters per second", 120.0 * 1852.0 / 3600.0},
        {"Airspeed True", "knots", 130.0},
        {"Vertical Speed", "feet per second", 10.0},
        {"Vertical Speed", "feet per minute", 600.0},
        {"Plane Altitude", "furlongs", 1125.0},  // unknown units: native (feet)
        {"ZULU TIME", "Seconds", 3723.0},
        {"ZULU DAY OF YEAR", "Number", 61.0},
        {"ZULU YEAR", "Number", 2024.0},
        {"LIGHT STATES", "Mask", 0x0105},
        {"SIM ON GROUND", "Bool", 0.0},
        {"Static CG to Ground", "feet", 8.0},
        {"Something Unknown", "number", 0.0},
    };
    for (const auto& c : cases) {
        const DatumDef datum{c.datum, c.units, wire::datatype::kFloat64};
        const auto bytes = encodeDefinition(std::span(&datum, 1), o, zulu);
        ASSERT_EQ(bytes.size(), 8u) << c.datum;
        EXPECT_NEAR(lf_f64(bytes), c.expected, 1e-9) << c.datum << " in " << c.units;
    }
}

TEST(FakesimDatums, TypesDecideTheLayout)
{
    const SimObject o = lf_object();
    const std::vector<DatumDef> def{
        {"SIM ON GROUND", "Bool", wire::datatype::kInt32},
        {"ZULU YEAR", "Number", wire::datatype::kInt64},
        {"Plane Altitude", "feet", wire::datatype::kFloat32},
        {"ATC ID", "", wire::datatype::kString32},
        {"TITLE", "", wire::datatype::kStringV},
        {"ATC ID", "", wire::datatype::kStringV},
    };
    const auto bytes = encodeDefinition(def, o, ZuluTime{1709294400});
    // 4 + 8 + 4 + 32 + "Default Boeing 737-800" (22) NUL, padded to 24 + "N737FS" NUL, padded to 8
    ASSERT_EQ(bytes.size(), 4u + 8 + 4 + 32 + 24 + 8);
    std::int64_t year = 0;
    std::memcpy(&year, bytes.data() + 4, 8);
    EXPECT_EQ(year, 2024);
    float alt = 0;
    std::memcpy(&alt, bytes.data() + 12, 4);
    EXPECT_FLOAT_EQ(alt, 1125.0f);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 16), "N737FS");
    EXPECT_EQ(bytes[16 + 31], 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 48), "Default Boeing 737-800");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 72), "N737FS");
}

TEST(FakesimDatums, IntegersAreClampedNotOverflowed)
{
    SimObject o = lf_object();
    o.values["BIG NUMBER"] = 1e30;
    o.values["NOT A NUMBER"] = std::nan("");
    const std::vector<DatumDef> def{{"Big Number", "", wire::datatype::kInt32},
                                    {"Not a number", "", wire::datatype::kInt64}};
    const auto bytes = encodeDefinition(def, o, ZuluTime{});
    std::int32_t big = 0;
    std::int64_t nan = 1;
    std::memcpy(&big, bytes.data(), 4);
    std::memcpy(&nan, bytes.data() + 4, 8);
    EXPECT_EQ(big, 2147483647);
    EXPECT_EQ(nan, 0);
}

TEST(FakesimDatums, WrittenPoseIsConvertedBack)
{
    SimObject o = lf_object();
    // The program's position layout: degrees for the position, radians for the attitude.
    const std::vector<DatumDef> def{
        {"Plane Latitude", "degree"},      {"Plane Longitude", "degree"},
        {"Plane Pitch degrees", "radians"}, {"Plane Bank degrees", "radians"},
        {"Plane Heading degrees true", "radians"}, {"Plane Altitude", "feet"},
        {"Vertical Speed", "feet per second"}, {"Airspeed True", "knots"},
        {"GENERAL ENG THROTTLE LEVER POSITION:1", "percent"},
    };
    wire::Writer w;
    w.f64(40.5).f64(-73.25).f64(3 * kDeg).f64(-10 * kDeg).f64(270 * kDeg).f64(5000).f64(25).f64(250).f64(75);
    wire::Reader in(w.bytes());
    for (const auto& datum : def)
        ASSERT_TRUE(applyDatum(in, datum, o));
    EXPECT_DOUBLE_EQ(o.pose.latitudeDeg, 40.5);
    EXPECT_DOUBLE_EQ(o.pose.longitudeDeg, -73.25);
    EXPECT_NEAR(o.pose.pitchDeg, 3.0, 1e-12);
    EXPECT_NEAR(o.pose.bankDeg, -10.0, 1e-12);
    EXPECT_NEAR(o.pose.headingDeg, 270.0, 1e-12);
    EXPECT_DOUBLE_EQ(o.pose.altitudeFt, 5000.0);
    EXPECT_NEAR(o.pose.verticalSpeedFpm, 1500.0, 1e-9);
    EXPECT_DOUBLE_EQ(o.pose.trueAirspeedKt, 250.0);
    EXPECT_DOUBLE_EQ(o.values.at("GENERAL ENG THROTTLE LEVER POSITION:1"), 75.0);
    // Data that ends inside a datum applies nothing.
    wire::Reader empty(std::span<const std::uint8_t>{});
    EXPECT_FALSE(applyDatum(empty, def[0], o));
    EXPECT_DOUBLE_EQ(o.pose.latitudeDeg, 40.5);
}

TEST(FakesimDatums, LightEventsSetTheLightMask)
{
    SimObject o;
    applyClientEvent(o, "NAV_LIGHTS_SET", 1);
    applyClientEvent(o, "LOGO_LIGHTS_SET", 1);
    applyClientEvent(o, "BEACON_LIGHTS_SET", 0);
    EXPECT_EQ(o.lightStates, 0x0101u);
    applyClientEvent(o, "NAV_LIGHTS_SET", 0);
    applyClientEvent(o, "FLAPS_SET", 16383);
    EXPECT_EQ(o.lightStates, 0x0100u);
    EXPECT_EQ(o.events.at("FLAPS_SET"), 16383u);
}

TEST(FakesimWorld, UserAircraftFollowsItsScript)
{
    UserAircraft script;
    script.latitudeDeg = 10.0;
    script.longitudeDeg = 20.0;
    script.headingDeg = 0.0;
    script.groundSpeedKt = 3600.0;  // one nautical mile a second
    script.onGround = false;
    script.altitudeFt = 3000.0;
    script.altAboveGroundFt = 2000.0;
    script.verticalSpeedFpm = -600.0;
    script.turnRateDegPerSec = 90.0;
    World world(script, 1, 100, 1000);
    world.advanceSecond();
    const Pose& p = world.user().pose;
    EXPECT_EQ(world.zulu().unixSeconds, 1001);
    EXPECT_DOUBLE_EQ(p.headingDeg, 90.0);  // turned, then moved east one mile
    EXPECT_NEAR(p.latitudeDeg, 10.0, 1e-6);
    EXPECT_NEAR(distanceMetres(10.0, 20.0, p.latitudeDeg, p.longitudeDeg), 1852.0, 0.5);
    EXPECT_DOUBLE_EQ(p.altitudeFt, 2990.0);
    EXPECT_DOUBLE_EQ(world.user().altAboveGroundFt(), 1990.0);
    // Descending never goes below the ground.
    for (int i = 0; i < 400; ++i)
        world.advanceSecond();
    EXPECT_DOUBLE_EQ(world.user().pose.altitudeFt, 1000.0);
}

TEST(FakesimWorld, ObjectIdsCountUpAndAreNeverReused)
{
    World world(UserAircraft{}, 1, 100, 0);
    EXPECT_EQ(world.add(SimObject{}).id, 100u);
    EXPECT_EQ(world.add(SimObject{}).id, 101u);
    EXPECT_TRUE(world.remove(101));
    EXPECT_FALSE(world.remove(101));
    EXPECT_EQ(world.add(SimObject{}).id, 102u);
    EXPECT_EQ(world.find(0), &world.user());
    EXPECT_EQ(world.find(1), &world.user());
    EXPECT_EQ(world.find(101), nullptr);
}

TEST(FakesimWorld, RangeCountsFromTheUserAircraft)
{
    World world(UserAircraft{}, 1, 100, 0);  // at KLAX
    SimObject near;
    near.pose.latitudeDeg = 33.95;
    near.pose.longitudeDeg = -118.40;
    SimObject far = near;
    far.pose.latitudeDeg = 35.0;
    SimObject boat = near;
    boat.type = 4;
    const auto nearId = world.add(near).id;
    world.add(far);
    const auto boatId = world.add(boat).id;
    auto ids = [](const std::vector<const SimObject*>& list) {
        std::vector<std::uint32_t> out;
        for (const auto* o : list)
            out.push_back(o->id);
        return out;
    };
    EXPECT_EQ(ids(world.objectsInRange(2, 10000)), (std::vector<std::uint32_t>{1, nearId}));
    EXPECT_EQ(ids(world.objectsInRange(2, 0)), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(ids(world.objectsInRange(0, 200000)), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(ids(world.objectsInRange(4, 10000)), (std::vector<std::uint32_t>{boatId}));
    EXPECT_EQ(ids(world.objectsInRange(1, 10000)), (std::vector<std::uint32_t>{1, nearId, boatId}));
}

} // namespace
} // namespace fakesim
