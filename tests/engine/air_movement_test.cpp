#include "engine_fixture.h"

#include "engine/air_movement.h"
#include "engine/live_update.h"
#include "params/parameters.h"
#include "traffic/traffic_reader.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

constexpr double kNmLat = 1.0 / 60.0; // degrees of latitude per nautical mile

class AirMovement : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        currentQnh = 1013;
        passCounter = 1000;
    }
    void TearDown() override
    {
        currentQnh = 1013;
        EngineTest::TearDown();
    }

    static StreamPosition air(double lat, double altitude, double speed, std::int32_t due, double rate = 0.0)
    {
        StreamPosition p = position(lat, 10.0, speed, due);
        p.altitude = altitude;
        p.airborne = altitude > 0.0 ? 1 : 0;
        p.trueAirspeed = speed;
        p.verticalSpeed = rate;
        return p;
    }

    // An airborne Large aircraft in the simulator at the first position.
    static LiveAc& flying(const StreamPosition& first)
    {
        LiveAc& ac = addLive(30001, AcState::InSim, AcPhase::Airborne, first, 77);
        ac.desc.category = AcCategory::Large;
        ac.desc.maxClimbStep = 0.6;
        ac.desc.halfWingspan = 0.01;
        ac.pose.altitude = first.altitude;
        ac.heightAboveGround = 5000.0;
        return ac;
    }
};

TEST_F(AirMovement, LegLastsAtLeast25PassesAndKeepsToTheBudgets)
{
    LiveAc& near = flying(air(50.0, 5000, 250, 1000));
    near.stream.push_back(air(50.0 + 0.0001, 5000, 250, 1001));
    nextPosMain(near);
    EXPECT_EQ(near.stream.size(), 1u);
    EXPECT_EQ(near.stream.front().duePass, 1025);

    // 10 NM at 100 kn take 36000 passes; the received schedule allows at most maxLag (1000) more.
    LiveAc& slow = flying(air(50.0, 5000, 100, 1000));
    slow.stream.push_back(air(50.0 + 10 * kNmLat, 5000, 100, 2000));
    nextPosMain(slow);
    EXPECT_EQ(slow.stream.front().duePass, 3000);

    // A fast leg ends no more than maxLead (1000) passes before its received due pass, and a leg
    // to the newest position not before it is due, so that the stream does not run dry early.
    LiveAc& fast = flying(air(50.0, 5000, 400, 1000));
    fast.stream.push_back(air(50.0 + 0.1 * kNmLat, 5000, 400, 9000));
    fast.stream.push_back(air(50.0 + 0.2 * kNmLat, 5000, 400, 17000));
    nextPosMain(fast);
    EXPECT_EQ(fast.stream.front().duePass, 8000);
    passCounter = 8000;
    nextPosMain(fast);
    EXPECT_EQ(fast.stream.front().duePass, 17000);
}

TEST_F(AirMovement, LegAcrossTheAntimeridianGoesTheShortWay)
{
    StreamPosition west = air(0.0, 5000, 250, 1000);
    west.lon = 179.99;
    StreamPosition east = air(0.0, 5000, 250, 2728); // 1.2 NM at 250 kn
    east.lon = -179.99;
    LiveAc& ac = flying(west);
    ac.stream.push_back(east);
    nextPosMain(ac);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_NEAR(ac.lonStep * (ac.stream.front().duePass - 1000), 0.02, 1e-9);
}

TEST_F(AirMovement, AircraftFliesThroughItsReceivedPositionsOnSchedule)
{
    // Four legs of 1 NM at 180 kn (20 s each), climbing 500 ft per leg.
    LiveAc& ac = flying(air(50.0, 3000, 180, 1000, 1500));
    for (int leg = 1; leg <= 4; ++leg)
        ac.stream.push_back(air(50.0 + leg * kNmLat, 3000 + leg * 500, 180, 1000 + leg * 2000, 1500));
    for (std::int32_t pass = 1000; pass < 9000; ++pass) {
        passCounter = pass;
        updateLiveAc(ac);
    }
    gf_clearPositionBuffers();
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream.front().duePass, 9000);
    EXPECT_NEAR(ac.pose.latitude, 50.0 + 4 * kNmLat, 1e-9);
    EXPECT_NEAR(ac.pose.longitude, 10.0, 1e-9);
    EXPECT_NEAR(ac.pose.altitude, 5000.0, 1e-6);
    EXPECT_NEAR(ac.pose.heading, 0.0, 1e-9);
    EXPECT_LT(ac.pose.pitch, 0.0); // nose up in the climb
}

TEST_F(AirMovement, AirborneAircraftDropsStopsAndFliesOnToTheNextMovingPosition)
{
    LiveAc& ac = flying(air(50.0, 5000, 250, 1000));
    StreamPosition stop = air(50.0 + kNmLat, 5000, 0, 1500);
    stop.stop = 1;
    ac.stream.push_back(stop);
    ac.stream.push_back(air(50.0 + 2 * kNmLat, 5000, 250, 3000));
    nextPosMain(ac);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_DOUBLE_EQ(ac.stream.front().lat, 50.0 + 2 * kNmLat);
    EXPECT_GT(ac.latStep, 0.0);
    EXPECT_EQ(ac.phase, AcPhase::Airborne);
}

TEST_F(AirMovement, ApproachToTheGroundWithoutParkAirportDescends601FeetPerMinute)
{
    LiveAc& ac = flying(air(50.0, 1500, 140, 1000, -700));
    ac.stream.push_back(air(50.0 + kNmLat, 0, 140, 3000, -700));
    nextPosMain(ac);
    EXPECT_DOUBLE_EQ(ac.verticalRate, -601.0);
    EXPECT_DOUBLE_EQ(ac.altitudeStep, -601.0 / 6000.0);
    EXPECT_DOUBLE_EQ(ac.stream.front().verticalSpeed, -601.0);

    // Above standard pressure the glide rate is steeper by 6 ft/min per hPa.
    currentQnh = 1023;
    LiveAc& high = flying(air(50.0, 1500, 140, 1000, -700));
    high.stream.push_back(air(50.0 + kNmLat, 0, 140, 3000, -700));
    nextPosMain(high);
    EXPECT_DOUBLE_EQ(high.verticalRate, -760.0);
}

TEST_F(AirMovement, BankFollowsTheTurnAtTheNextPositionOrLevelsOut)
{
    LiveAc& straight = flying(air(50.0, 5000, 250, 1000));
    straight.pose.bank = 0.1;
    straight.stream.push_back(air(50.0 + kNmLat, 5000, 250, 2000));
    nextPosMain(straight);
    EXPECT_DOUBLE_EQ(straight.headingStep, 0.0);
    EXPECT_LT(straight.bankStep, 0.0); // back toward level
    EXPECT_GE(straight.bankStep, -0.02 * geo::kDegToRad);

    // Turning right (east) at the next position: right bank (negative), limited per pass.
    LiveAc& turning = flying(air(50.0, 5000, 250, 1000));
    turning.stream.push_back(air(50.0 + kNmLat, 5000, 250, 2000));
    StreamPosition east = air(50.0 + kNmLat, 5000, 250, 3000);
    east.lon = 10.1;
    turning.stream.push_back(east);
    nextPosMain(turning);
    EXPECT_GT(turning.headingStep, 0.0);
    EXPECT_DOUBLE_EQ(turning.bankStep, -0.02 * geo::kDegToRad);
}

TEST_F(AirMovement, LowLevelLegClimbsAtLeastSlowlyAndHighLegIsCappedAtTheClimbStep)
{
    LiveAc& low = flying(air(50.0, 800, 160, 1000));
    low.heightAboveGround = 800.0;
    low.stream.push_back(air(50.0 + kNmLat, 700, 160, 3250));
    nextPosMain(low);
    EXPECT_DOUBLE_EQ(low.altitudeStep, 0.2);

    LiveAc& high = flying(air(50.0, 5000, 250, 1000));
    high.stream.push_back(air(50.0 + 0.1 * kNmLat, 9000, 250, 1200));
    nextPosMain(high);
    EXPECT_DOUBLE_EQ(high.altitudeStep, 0.6);
}

TEST_F(AirMovement, DescentNearTheParkAirportBeginsTheLanding)
{
    gf_setParkAirport({"EDDF", "FRA", 50.05, 10.0, 300.0});
    LiveAc& ac = flying(air(50.0, 1500, 150, 1000, -700));
    ac.heightAboveGround = 1200.0;
    ac.standId = 4;
    ac.stream.push_back(air(50.0 + kNmLat, 1000, 150, 3400, -700));
    nextPosMain(ac);
    EXPECT_EQ(ac.landing, 1);
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_EQ(ac.flapsStep, 3u);
    EXPECT_EQ(ac.maxLead, 3000);
    EXPECT_EQ(spawnCheckList, (std::deque<std::uint32_t>{30001}));
}

TEST_F(AirMovement, FlareStepsDownInStagesByHeightAboveGround)
{
    LiveAc& ac = flying(air(50.0, 60, 140, 1000, -700));
    ac.landing = 1;
    ac.desc.staticCgHeight = 10.0;
    ac.desc.flarePasses = 400;
    ac.heightAboveGround = 60.0;
    lf_flareStep(ac);
    EXPECT_EQ(ac.flareStage, 0u); // 60 ft is above CG + 30
    ac.heightAboveGround = 40.0;
    ac.pose.altitude = 40.0;
    lf_flareStep(ac);
    EXPECT_EQ(ac.flareStage, 1u);
    EXPECT_DOUBLE_EQ(ac.altitudeStep, -0.1);
    EXPECT_DOUBLE_EQ(ac.pitchStep, -4.0 * geo::kDegToRad / 400.0);
    EXPECT_TRUE(fastRangeRequest.load());
    const double steps[] = {-0.075, -0.05, -0.025};
    const double heights[] = {30.0, 20.0, 13.0};
    for (int stage = 0; stage < 3; ++stage) {
        ac.heightAboveGround = heights[stage] + 1.0;
        lf_flareStep(ac);
        EXPECT_EQ(ac.flareStage, static_cast<std::uint32_t>(stage + 1));
        ac.heightAboveGround = heights[stage];
        lf_flareStep(ac);
        EXPECT_EQ(ac.flareStage, static_cast<std::uint32_t>(stage + 2));
        EXPECT_DOUBLE_EQ(ac.altitudeStep, steps[stage]);
    }
}

TEST_F(AirMovement, TakeoffRotatesClimbsAndBecomesAirborne)
{
    LiveAc& ac = flying(position(50.0, 10.0, 150.0, 1000));
    ac.phase = AcPhase::Taxi;
    ac.groundMode = 1;
    ac.takeoffRun = 1;
    ac.heightAboveGround = 0.0;
    ac.desc.rotationPasses = 200;
    ac.desc.climbPasses = 300;
    ac.desc.rotationPitch = -6.0 * geo::kDegToRad;
    ac.desc.climbPitch = -16.5 * geo::kDegToRad;
    ac.stream.push_back(air(50.0 + kNmLat, 400, 160, 3000, 2000));
    nextPosMain(ac);
    EXPECT_EQ(ac.phase, AcPhase::Takeoff);
    EXPECT_EQ(ac.rotationCounter, 200);
    ac.pose.altitude = 0.0;
    for (int pass = 0; pass < 199; ++pass)
        lf_takeoffStep(ac);
    EXPECT_EQ(ac.groundMode, 0);
    EXPECT_LT(ac.pose.pitch, 0.5 * ac.desc.rotationPitch); // nose well up
    EXPECT_DOUBLE_EQ(ac.pose.altitude, 0.0); // still on the main wheels
    for (int pass = 0; pass < 400; ++pass)
        lf_takeoffStep(ac);
    EXPECT_GT(ac.pose.altitude, 0.0);
    EXPECT_EQ(ac.phase, AcPhase::Takeoff); // not yet 800 ft above ground
    ac.heightAboveGround = 800.0;
    lf_takeoffStep(ac);
    EXPECT_EQ(ac.phase, AcPhase::Airborne);
    EXPECT_EQ(ac.rotationCounter, 1);
    EXPECT_LE(ac.pose.pitch, ac.desc.climbPitch);
}

// A landing roll taken for a touch and go, or a rejected take-off: the take-off phase ignores
// ground contact, so its positions on the ground end it.
TEST_F(AirMovement, TakeoffWhosePositionsStayOnTheGroundEndsOnTheGround)
{
    struct Case {
        const char* what;
        StreamPosition later;
        AcPhase phase;
    };
    const std::vector<Case> cases{
        {"on the ground", position(50.0 + 2 * kNmLat, 10.0, 120.0, 3000), AcPhase::Taxi},
        {"climbing after a ground position", air(50.0 + 2 * kNmLat, 2600.0, 160.0, 3000, 1500), AcPhase::Takeoff},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        liveAcTable.clear();
        LiveAc& ac = flying(position(50.0, 10.0, 150.0, 1000));
        ac.phase = AcPhase::Takeoff;
        ac.takeoffRun = 1;
        ac.rotationCounter = -50;
        ac.pose.altitude = 2320.0;
        ac.stream.push_back(position(50.0 + kNmLat, 10.0, 140.0, 2000));
        ac.stream.push_back(c.later);
        nextPosMain(ac);
        EXPECT_EQ(ac.phase, c.phase);
        EXPECT_EQ(ac.groundMode, c.phase == AcPhase::Taxi ? 1 : 0);
        if (c.phase == AcPhase::Taxi) {
            EXPECT_EQ(ac.rotationCounter, 1);
            EXPECT_EQ(ac.takeoffRun, 0);
            EXPECT_EQ(ac.altitudeStep, 0.0);
        }
    }
}

TEST_F(AirMovement, StreamEndInTheAirInventsPositionsOnlyWithinTheTrafficRange)
{
    LATERAL_RANGE.value = 40;
    userAc.latitude = 50.0;
    userAc.longitude = 10.0;
    LiveAc& near = flying(air(50.0 + 10 * kNmLat, 5000, 250, 1000));
    nextPosMain(near);
    EXPECT_EQ(near.state, AcState::InSim);
    EXPECT_EQ(near.extrapolationsLeft, 8);
    ASSERT_EQ(near.stream.size(), 1u);
    EXPECT_GT(near.stream.front().lat, 50.0 + 10 * kNmLat); // flown on northward at 95 percent speed
    EXPECT_DOUBLE_EQ(near.stream.front().groundSpeed, 250 * 0.95);

    LiveAc& far = flying(air(50.0 + 39.6 * kNmLat, 5000, 250, 1000));
    nextPosMain(far);
    EXPECT_EQ(far.state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver.size(), 1u);
}

} // namespace
} // namespace enginetest
