#include "airports/stand.h"
#include "params/park_airport.h"
#include "run/main_loop.h"
#include "run/run_flags.h"
#include "support/params_fixture.h"

#include <gtest/gtest.h>

namespace {

class MainLoopJobs : public paramstest::ParamsTest {};

// The second step of a parking request adjusts only where there are stands to park on.
TEST_F(MainLoopJobs, AParkingRequestAtAParkAirportWithoutStandsAdjustsNothing)
{
    AirportRecord klax;
    klax.code = "KLAX";
    gf_setParkAirport(klax);
    standTable.clear();
    tickCounter = 15;
    parkingRequestFlag = true;
    lf_every15Seconds(); // collects the callsigns
    ASSERT_TRUE(parkingCollectingFlag.load());
    lf_every15Seconds();
    EXPECT_FALSE(parkingRequestFlag.load());
    EXPECT_FALSE(parkingCollectingFlag.load());
    EXPECT_EQ(logText().find("Parking adjustments:"), std::string::npos);
    gf_setParkAirport({});
    tickCounter = 0;
}

} // namespace
