#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "params/park_airport.h"
#include "params/parameters.h"
#include "params/window_fields.h"
#include "run/main_loop.h"
#include "run/run_connection.h"
#include "run/run_flags.h"
#include "simlink/sim_state.h"
#include "support/params_fixture.h"
#include "traffic/traffic_fixture.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"

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

// Which jobs a pass of the main loop runs at each tick: the 15-tick job (its sign: the traffic
// reader's reference position follows the user), the 16-tick check of the park airport (it ends
// a finished parking: the controls unlock), the 30-tick, minute, 20-minute (renewal of the
// parking) and day jobs. A pass that runs the 15-tick job runs no other of the short ones.
TEST_F(MainLoopJobs, TheTickScheduleOfTheMainLoop)
{
    struct Row {
        std::uint32_t tick;
        bool fifteen, sixteen, thirty, minute, twentyMinutes, day;
    };
    const std::vector<Row> rows{
        {1, false, false, false, false, false, false},     {15, true, false, false, false, false, false},
        {16, false, true, false, false, false, false},     {30, true, false, true, false, false, false},
        {45, true, false, false, false, false, false},     {60, true, false, true, true, false, false},
        {240, true, false, true, true, false, false},      {256, false, true, false, false, false, false},
        {1200, true, false, true, true, true, false},      {86400, true, false, true, true, true, true},
    };
    staticParkingActive = true;
    INITIAL_LOAD_ONLY.value = false;
    simRunningFlag = true;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tick);
        trafficReader.setReferencePosition({1.0, 1.0});
        parkingBusyFlag = true;
        staticCandidates.clear();
        matchingDepthChangedFlag = true;
        g_mainWindow.renewalCountdown = 99;
        parkingRequestFlag = false;
        parkingCollectingFlag = false;
        tickCounter = row.tick - 1;
        tickFlag = true;
        ASSERT_TRUE(lf_workOrva());
        EXPECT_EQ(trafficReader.referencePosition().latitude != 1.0, row.fifteen);
        EXPECT_EQ(!parkingBusyFlag.load(), row.sixteen);
        EXPECT_EQ(!matchingDepthChangedFlag.load(), row.thirty);
        // The unlocked parking controls count the renewal down afresh as well.
        EXPECT_EQ(g_mainWindow.renewalCountdown.load() != 99, row.minute || row.sixteen);
        EXPECT_EQ(parkingRequestFlag.load(), row.twentyMinutes);
        EXPECT_EQ(tickCounter.load() == 0, row.day);
    }
    // The pass while the flight does not run: no traffic is taken in, and no tick job runs.
    gf_setAcceptTraffic(true);
    flightNotRunningFlag = false;
    simRunningFlag = false;
    tickCounter = 14;
    tickFlag = true;
    ASSERT_TRUE(lf_workOrva());
    EXPECT_EQ(tickCounter.load(), 14u);
    {
        std::lock_guard lock(trafficQueueMutex);
        EXPECT_FALSE(acceptTraffic);
    }
    lf_everySecond(); // the flight resumes
    {
        std::lock_guard lock(trafficQueueMutex);
        EXPECT_TRUE(acceptTraffic);
    }
    parkingBusyFlag = false;
    parkingRequestFlag = false;
    staticParkingActive = false;
    gf_setAcceptTraffic(false);
    userAc = UserAcData{};
    tickCounter = 0;
    tickFlag = false;
}

// A restart starts the readers with traffic still taken in from the run before: the start
// refuses it until the main loop runs. An exit during the pause starts only the QNH reader.
TEST_F(MainLoopJobs, StartingTheReadersRefusesTrafficUntilTheMainLoopRuns)
{
    gf_setAcceptTraffic(true);
    exitingFlag = true;
    lf_startReaders(0, 0);
    {
        std::lock_guard lock(trafficQueueMutex);
        EXPECT_FALSE(acceptTraffic);
    }
    ASSERT_TRUE(traffic_test::eventually([] { return weatherReader.boundPort() != 0; }));
    gf_stopReaders();
    EXPECT_TRUE(traffic_test::eventually([] { return !weatherReader.running(); }));
    EXPECT_FALSE(trafficReader.running());
    exitingFlag = false;
}

} // namespace
