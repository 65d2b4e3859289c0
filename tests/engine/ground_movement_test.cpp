#include "engine_fixture.h"

#include "airports/stand.h"
#include "engine/air_movement.h"
#include "engine/ground_movement.h"
#include "engine/live_removal.h"
#include "engine/live_update.h"
#include "engine/neighbour_services.h"
#include "engine/taxiing_grid.h"
#include "params/parameters.h"
#include "run/run_flags.h"

#include <gtest/gtest.h>

#include <optional>

namespace enginetest {
namespace {

constexpr double kMetreLat = 1.0 / 111120.0; // degrees of latitude per metre
constexpr double kMetreLon50 = kMetreLat / 0.6427876096865394; // degrees of longitude per metre at 50 N

class GroundMovement : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        passCounter = 1000;
        standTable.clear();
        Stand& stand = standTable.emplace_back("A1", std::vector<ParkPosOption>{}, StandPlacement{50.0, 10.0, 0.0},
                                               30.0, 1, 0, 0);
        stand.id = 1;
    }
    void TearDown() override
    {
        standTable.clear();
        gf_clearPositionBuffers();
        EngineTest::TearDown();
    }

    // A Large aircraft on the ground in the simulator, heading north at 50 N 10 E.
    static LiveAc& onGround(AcPhase phase, const StreamPosition& first, std::uint32_t hexId = 40001)
    {
        LiveAc& ac = addLive(hexId, AcState::InSim, phase, first, 50 + hexId % 100);
        ac.groundMode = 1;
        ac.desc.category = AcCategory::Large;
        ac.desc.halfWingspan = 0.0095;
        ac.desc.standSpeed = 4.0;
        ac.desc.groundTurnRateDefault = ac.desc.groundTurnRate = 0.07 * geo::kDegToRad;
        return ac;
    }

    static LiveAc& parkedAtStand()
    {
        StreamPosition atStand = position(50.0, 10.0, 0.0, 1000);
        atStand.stop = 1;
        LiveAc& ac = onGround(AcPhase::Parked, atStand);
        ac.standId = 1;
        ac.standLat = 50.0;
        ac.standLon = 10.0;
        ac.standHeading = 0.0;
        return ac;
    }

    static void runPasses(LiveAc& ac, std::int32_t until)
    {
        for (std::int32_t pass = passCounter.load(); pass <= until; ++pass) {
            passCounter = pass;
            updateLiveAc(ac);
        }
        gf_clearPositionBuffers();
    }
};

TEST_F(GroundMovement, PushBackWithoutAKnownTurnGoesStraightBack)
{
    LiveAc& ac = parkedAtStand();
    ac.nearStand = 1;
    ac.curveTurn = 1; // left from the approach: must not swing the heading while backing out
    ac.stream.push_back(position(50.0 - 30 * kMetreLat, 10.0, 3.0, 2000));
    runPasses(ac, 1000);
    EXPECT_EQ(ac.phase, AcPhase::PushBack);
    EXPECT_EQ(ac.pushBackLegs, 2);
    EXPECT_LT(ac.legSpeed, 0.0);
    runPasses(ac, 6000);
    EXPECT_EQ(ac.phase, AcPhase::PushBackDone);
    const double radius = standTable[0].radius;
    EXPECT_NEAR(gf_distanceNm({50.0, 10.0}, {ac.pose.latitude, ac.pose.longitude}), 2.5 * radius, 0.01 * radius);
    EXPECT_LT(ac.pose.latitude, 50.0);
    EXPECT_NEAR(ac.pose.longitude, 10.0, 1e-9);
    EXPECT_DOUBLE_EQ(ac.pose.heading, 0.0);
    // Holding behind the stand, which it freed when it began to leave: another aircraft parks
    // there, and the removal of this one leaves the stand taken.
    standTable[0].occupied = true;
    gf_removeAc(ac);
    EXPECT_TRUE(standTable[0].occupied);
}

TEST_F(GroundMovement, ReceivedPositionAheadOfTheStandPullsOut)
{
    LiveAc& ac = parkedAtStand();
    ac.nearStand = 1;
    ac.stream.push_back(position(50.0 + 30 * kMetreLat, 10.0, 3.0, 2000));
    nextPosMain(ac);
    EXPECT_EQ(ac.phase, AcPhase::Taxi);
    ASSERT_EQ(ac.stream.size(), 1u);
    // One span (two half spans) ahead along the stand heading.
    EXPECT_NEAR(gf_distanceNm({50.0, 10.0}, {ac.stream[0].lat, ac.stream[0].lon}), 0.019, 1e-6);
    EXPECT_GT(ac.stream[0].lat, 50.0);
    EXPECT_DOUBLE_EQ(ac.stream[0].groundSpeed, 4.0);
    EXPECT_EQ(ac.flapsStep, 1u);
    // It gave up its stand: another aircraft parks there, and the removal of this one leaves the
    // stand taken.
    EXPECT_EQ(ac.standId, 0u);
    standTable[0].occupied = true;
    gf_removeAc(ac);
    EXPECT_TRUE(standTable[0].occupied);
}

TEST_F(GroundMovement, TurnsBecomeCurvesUpTo160Degrees)
{
    LiveAc& ac = onGround(AcPhase::Taxi, position(50.0, 10.0, 15.0, 1000));
    ac.stream.push_back(position(50.0 + 100 * kMetreLat, 10.0, 15.0, 1500));
    ac.stream.push_back(position(50.0 + 100 * kMetreLat, 10.0 + 100 * kMetreLon50, 15.0, 2000));
    nextPosMain(ac);
    EXPECT_TRUE(ac.curveActive());
    EXPECT_NEAR(ac.turnDistance, 90.0, 0.1);
    ASSERT_EQ(ac.stream.size(), 1u); // the corner is the curve's control point
    EXPECT_GT(ac.curveTStep, 0.0);
    // The leg of 18 s leaves time for the 90 degrees at the category's 7 degrees a second.
    EXPECT_NEAR(ac.desc.groundTurnRate, 0.07 * geo::kDegToRad, 1e-8);

    // The same corner across the antimeridian is a curve of the same size.
    const double cornerEast = ac.curve.endEast;
    LiveAc& across = onGround(AcPhase::Taxi, position(50.0, 180.0 - 50 * kMetreLon50, 15.0, 1000), 40003);
    across.stream.push_back(position(50.0 + 100 * kMetreLat, 180.0 - 50 * kMetreLon50, 15.0, 1500));
    across.stream.push_back(position(50.0 + 100 * kMetreLat, -180.0 + 50 * kMetreLon50, 15.0, 2000));
    nextPosMain(across);
    ASSERT_TRUE(across.curveActive());
    EXPECT_NEAR(across.curve.endEast, cornerEast, 1.0);

    LiveAc& back = onGround(AcPhase::Taxi, position(50.0, 10.0, 15.0, 1000), 40002);
    back.stream.push_back(position(50.0 + 100 * kMetreLat, 10.0, 15.0, 1500));
    back.stream.push_back(position(50.0 + 10 * kMetreLat, 10.0 + 5 * kMetreLon50, 15.0, 2000));
    nextPosMain(back);
    EXPECT_FALSE(back.curveActive());
    EXPECT_EQ(back.stream.size(), 2u);

    // A corner of 20 m at 15 kn leaves under 4 s: turned three times as fast, never faster.
    LiveAc& quick = onGround(AcPhase::Taxi, position(50.0, 10.0, 15.0, 1000), 40004);
    quick.stream.push_back(position(50.0 + 20 * kMetreLat, 10.0, 15.0, 1500));
    quick.stream.push_back(position(50.0 + 20 * kMetreLat, 10.0 + 20 * kMetreLon50, 15.0, 2000));
    nextPosMain(quick);
    ASSERT_TRUE(quick.curveActive());
    EXPECT_NEAR(quick.desc.groundTurnRate, 3 * 0.07 * geo::kDegToRad, 1e-8);
}

TEST_F(GroundMovement, SpeedChangeOverALongLegAddsAMidpoint)
{
    LiveAc& ac = onGround(AcPhase::Taxi, position(50.0, 10.0, 5.0, 1000));
    ac.stream.push_back(position(50.0 + 200 * kMetreLat, 10.0, 20.0, 3000));
    nextPosMain(ac);
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_DOUBLE_EQ(ac.stream[0].groundSpeed, 12.5);
    EXPECT_NEAR(ac.stream[0].lat, 50.0 + 100 * kMetreLat, 1e-12);
    EXPECT_EQ(ac.stream[0].airborne, 0);
    EXPECT_DOUBLE_EQ(ac.legSpeed, 12.5);
}

TEST_F(GroundMovement, ParkedAircraftAtTheEndOfItsStreamStaysAWeek)
{
    LiveAc& ac = parkedAtStand();
    ac.arrivedWhileLive = 1;
    gf_occupyStand(ac, standTable[0]);
    nextPosMain(ac);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream[0].duePass, 1000 + 60480000);
    EXPECT_EQ(ac.stream[0].stop, 1);
    EXPECT_EQ(ac.arrivedWhileLive, 0);
    EXPECT_FALSE(standTable[0].occupied);
    EXPECT_EQ(ac.state, AcState::InSim);
    passCounter = 1000 + 60480000;
    nextPosMain(ac); // the week is over
    EXPECT_EQ(ac.state, AcState::Removing);
}

TEST_F(GroundMovement, TaxiingAircraftHoldsUntilTheHoldIsTooLong)
{
    LiveAc& ac = onGround(AcPhase::Taxi, position(50.0, 10.0, 0.0, 1000));
    nextPosMain(ac);
    EXPECT_EQ(ac.holding, 1);
    EXPECT_EQ(ac.holdingSincePass, 1000u);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream[0].duePass, 1300);
    EXPECT_EQ(ac.stream[0].stop, 1);
    passCounter = 1000 + 20 * 6000;
    ac.stream[0].duePass = passCounter;
    nextPosMain(ac); // exactly 20 minutes: the hold goes on
    EXPECT_EQ(ac.state, AcState::InSim);
    passCounter = 1000 + 20 * 6000 + 60;
    ac.stream.resize(1);
    nextPosMain(ac);
    EXPECT_EQ(ac.state, AcState::Removing);
}

TEST_F(GroundMovement, TaxiingAircraftBlockedByAnotherGivesUp)
{
    // The other one 5 m north (across the cells' edge at 50 N), or 20 m away across the
    // antimeridian; looked for among all aircraft, and as in the update of all aircraft, among
    // those of the grid cells around.
    struct Places {
        LatLon other;
        LatLon holding;
    };
    const Places rows[] = {{{50.0 + 3 * kMetreLat, 10.0}, {50.0 - 2 * kMetreLat, 10.0}},
                           {{50.0, -180.0 + 10 * kMetreLon50}, {50.0, 180.0 - 10 * kMetreLon50}}};
    for (const Places& row : rows) {
        for (const bool inUpdate : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.other.longitude << (inUpdate ? " in the update" : ""));
            liveAcTable.clear();
            onGround(AcPhase::Taxi, position(row.other.latitude, row.other.longitude, 10.0, 5000), 40002);
            onGround(AcPhase::Taxi, position(row.holding.latitude, row.holding.longitude, 0.0, 1000), 40003);
            LiveAc& ac = liveAcTable[1];
            const auto holdOn = [&] {
                std::optional<TaxiingGridUpdate> update;
                if (inUpdate)
                    update.emplace();
                ac.stream.resize(1);
                nextPosMain(ac);
            };
            ac.holding = 1;
            // The other one standing too, as in a queue, blocks nothing; taxiing, it does.
            liveAcTable[0].stream.front().stop = 1;
            holdOn();
            EXPECT_EQ(ac.state, AcState::InSim);
            EXPECT_EQ(ac.holding, 1);
            liveAcTable[0].stream.front().stop = 0;
            liveAcTable[0].holding = 1; // holding as well
            holdOn();
            EXPECT_EQ(ac.state, AcState::InSim);
            EXPECT_EQ(ac.holding, 1);
            liveAcTable[0].holding = 0;
            holdOn();
            EXPECT_EQ(ac.state, AcState::Removing);
            EXPECT_EQ(ac.holding, 0);
        }
    }
}

TEST_F(GroundMovement, HoldOfAnAircraftNotOnTheGroundEndsInsteadOfLoopingForEver)
{
    // Its hold stops are dropped as stops ahead of an aircraft in the air, so the planning
    // would hold again and again within the pass.
    LiveAc& ac = onGround(AcPhase::Taxi, position(50.0, 10.0, 0.0, 1000));
    ac.groundMode = 0;
    nextPosMain(ac);
    EXPECT_EQ(ac.state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver.size(), 1u);
}

TEST_F(GroundMovement, AircraftReachingItsStandParksAndMarksACargoStand)
{
    LOG.value = true;
    StreamPosition atStand = position(50.0, 10.0, 0.0, 1000);
    LiveAc& ac = onGround(AcPhase::ToStand, atStand);
    ac.standId = 1;
    ac.standLat = 50.0;
    ac.standLon = 10.0;
    ac.desc.cargo = 1;
    lf_towedAcParks(ac);
    EXPECT_EQ(ac.phase, AcPhase::Parked);
    EXPECT_EQ(ac.stream[0].stop, 1);
    EXPECT_TRUE(standTable[0].occupied);
    EXPECT_TRUE(standTable[0].cargo);
    EXPECT_EQ(ac.cargoStand, 1);
    EXPECT_EQ(spawnCheckList, (std::deque<std::uint32_t>{40001}));
    EXPECT_EQ(ac.throttleStep, 0u); // shut down
    EXPECT_NE(logText().find("stand: A1, cargo attribute set to true"), std::string::npos);
    EXPECT_NE(logText().find(": DLH1     arrived at stand"), std::string::npos);
    // It stays: a stop one week ahead.
    nextPosMain(ac);
    EXPECT_EQ(ac.stream.back().duePass, 1000 + 60480000);
    EXPECT_EQ(ac.state, AcState::InSim);
}

TEST_F(GroundMovement, AircraftHeadingForAnOccupiedStandIsRemovedOnceAndTheStandStaysTaken)
{
    standTable[0].occupied = true;
    LiveAc& ac = onGround(AcPhase::ToStand, position(50.0, 10.0, 0.0, 1000));
    ac.standId = 1;
    ac.standLat = 50.0;
    ac.standLon = 10.0;
    nextPosMain(ac);
    EXPECT_EQ(ac.state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver.size(), 1u);
    EXPECT_TRUE(standTable[0].occupied);
}

TEST_F(GroundMovement, StandStopAppendsTheApproachAndTheStop)
{
    LiveAc& ac = onGround(AcPhase::ToStand, position(50.0 - 200 * kMetreLat, 10.0, 10.0, 1000));
    ac.stream.push_back(position(50.0 - 100 * kMetreLat, 10.0, 10.0, 1800));
    ac.standLat = 50.0;
    ac.standLon = 10.0;
    ac.standHeading = 0.5;
    ac.extrapolationsLeft = 4;
    lf_insertStandStop(ac);
    ASSERT_EQ(ac.stream.size(), 4u);
    EXPECT_DOUBLE_EQ(ac.stream[1].groundSpeed, 4.0);
    // 100 m at 4 kn: 4860 passes after the oldest position's due pass.
    EXPECT_NEAR(ac.stream[2].duePass, 1000 + 4860, 1);
    EXPECT_EQ(ac.stream[2].stop, 0);
    EXPECT_EQ(ac.stream[3].stop, 1);
    EXPECT_EQ(ac.stream[3].duePass, ac.stream[2].duePass + 50);
    EXPECT_DOUBLE_EQ(ac.stream[3].groundSpeed, 0.0);
    EXPECT_DOUBLE_EQ(ac.legBearing, 0.5);
    EXPECT_EQ(ac.extrapolationsLeft, 0);
}

} // namespace
} // namespace enginetest
