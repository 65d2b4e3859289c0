// The automatic traffic range.

#include "app_fixture.h"

#include "airports/shell_services.h"
#include "airports/traffic_range.h"
#include "core/geodesy.h"

#include <cmath>
#include <vector>

namespace apptest {
namespace {

// A point `nm` nautical miles due north (a hair more, so that rounding of the distance never
// lands below a boundary such as 7.5).
LatLon northOf(LatLon from, double nm)
{
    return LatLon{from.latitude + (nm + 1e-9) / 60.0, from.longitude};
}

TEST_F(MemoryPortTest, AutoRangeByGroundHeightAndParkAirportDistance)
{
    const ParkAirport eddf{"EDDF", "", {50.0, 8.5}, 0.0};
    struct Case {
        bool onGround;
        double altitudeFt;
        std::optional<double> distanceNm; // none: no park airport
        std::int32_t range;
    };
    const std::vector<Case> cases = {
        {true, 30000.0, 50.0, 10},      // on the ground, whatever the height
        {false, 49001.0, 2.0, 100},     // above AUTO_RANGE_ABOVE_HEIGHT (49000)
        {false, 49000.0, 2.0, 40},      // at it is not above it: above AIRPORT_HEIGHT (18000)
        {false, 18000.0, 7.0, 10},      // at AIRPORT_HEIGHT: by distance
        {false, 5000.0, 7.4, 10},       // 7 + 3
        {false, 5000.0, 7.5, 11},
        {false, 5000.0, 36.9, 40},      // 37 + 3
        {false, 5000.0, 37.0, 40},
        {false, 5000.0, std::nullopt, 40},
    };
    for (const Case& c : cases) {
        UserRangeSituation user{c.onGround, c.altitudeFt, northOf(eddf.position, c.distanceNm.value_or(0.0))};
        if (c.distanceNm) {
            ASSERT_NEAR(gf_distanceNm(user.position, eddf.position), *c.distanceNm, 1e-6);
        }
        EXPECT_EQ(gf_autoRangeNm(user, c.distanceNm ? &eddf : nullptr), c.range)
            << c.onGround << " " << c.altitudeFt << " " << c.distanceNm.value_or(-1);
    }
}

TEST_F(MemoryPortTest, ChoosingTheRangeSetsAllThreeAndTheGroundFlag)
{
    layOut();
    gf_updateTextBoxFormatted(LATERAL_RANGE);
    parkAirportList.push_back(ParkAirport{"EDDF", "", {50.0, 8.5}, 0.0});

    gf_chooseTrafficRange(UserRangeSituation{false, 5000.0, northOf({50.0, 8.5}, 20.2)});
    EXPECT_EQ(LATERAL_RANGE.value.load(), 23);
    EXPECT_EQ(g_trafficRangeNm.load(), 23.0);
    EXPECT_EQ(g_trafficRangeM.load(), 23 * 1852);
    EXPECT_EQ(gf_controlText(LATERAL_RANGE), "23");
    EXPECT_FALSE(autoRangeGroundFlag.load());

    gf_chooseTrafficRange(UserRangeSituation{true, 0.0, {}});
    EXPECT_EQ(g_trafficRangeM.load(), 18520);
    EXPECT_EQ(gf_controlText(LATERAL_RANGE), "10");
    EXPECT_TRUE(groundRangeFlag.load()) << "the name the airports use for it";

    // An unchanged value leaves the box alone.
    gf_setControlText(LATERAL_RANGE, "typed");
    gf_chooseTrafficRange(UserRangeSituation{true, 0.0, {}});
    EXPECT_EQ(gf_controlText(LATERAL_RANGE), "typed");

    AUTO_RANGE.value = false;
    gf_chooseTrafficRange(UserRangeSituation{true, 0.0, {}});
    EXPECT_FALSE(autoRangeGroundFlag.load()) << "the ground flag belongs to the automatic range";

    gf_setTrafficRangeNm(150);
    EXPECT_EQ(LATERAL_RANGE.value.load(), 100);
    EXPECT_EQ(g_trafficRangeNm.load(), 150.0);
    EXPECT_EQ(g_trafficRangeM.load(), 150 * 1852);
    EXPECT_EQ(gf_controlText(LATERAL_RANGE), "typed") << "setting a range leaves the box alone";
}

} // namespace
} // namespace apptest
