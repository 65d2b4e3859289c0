#include "engine_fixture.h"

#include "airports/stand.h"
#include "engine/live_removal.h"
#include "engine/live_sim_events.h"
#include "engine/live_update.h"
#include "engine/neighbour_services.h"
#include "engine/stream_intake.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"
#include "run/run_flags.h"
#include "simlink/flight_plans.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace enginetest {
namespace {

using LiveUpdate = EngineTest;

constexpr double kMetreLat = 1.0 / 111120.0; // degrees of latitude per metre (1 NM = 1852 m = 1/60 degree)

TEST_F(LiveUpdate, AircraftWithEmptyStreamIsRemoved)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Airborne, position(1, 1), 77);
    ac.stream.clear();
    EXPECT_FALSE(updateLiveAc(ac));
    EXPECT_EQ(ac.state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{77}));
    EXPECT_NE(logText().find("updateLiveAc stream empty ? DLH1"), std::string::npos);
}

TEST_F(LiveUpdate, AircraftWithoutObjectIdIsRemoved)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Airborne, position(1, 1, 200.0, 500), 0);
    updateLiveAc(ac);
    EXPECT_EQ(ac.state, AcState::Removing);
    EXPECT_NE(logText().find("updateLiveAc objectid=0? hexid: 20001,cs:DLH1, reg:, aimo:DLH A320 sz:1"),
              std::string::npos);
}

TEST_F(LiveUpdate, PoseAdvancesOnlyWhileTheOldestPositionMoves)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Airborne, position(1, 1, 200.0, 500), 9);
    ac.latStep = 0.001;
    ac.stream.front().stop = 1;
    updateLiveAc(ac);
    EXPECT_EQ(ac.pose.latitude, 1.0);
    ac.stream.front().stop = 0;
    updateLiveAc(ac);
    EXPECT_DOUBLE_EQ(ac.pose.latitude, 1.001);
}

TEST_F(LiveUpdate, OverlongStreamRemovesTheAircraft)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Taxi, position(1, 1), 9);
    ac.groundMode = 1;
    for (int i = 1; i <= 200; ++i)
        lf_addStreamPosition(ac, position(1 + i * 0.001, 1, 10.0));
    EXPECT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.state, AcState::InSim);
    lf_addStreamPosition(ac, position(2, 1, 10.0));
    EXPECT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.state, AcState::Removing);
}

TEST_F(LiveUpdate, NothingIsAppendedDuringAPushBack)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::PushBack, position(1, 1), 9);
    ac.pushBackLegs = 2;
    StreamPosition p = position(1.001, 1, 3.0);
    p.trueHeading = 0.5; // to the right of north
    lf_addStreamPosition(ac, p);
    EXPECT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.pushBackTurnKnown, 1);
    EXPECT_EQ(ac.pushBackTurnRight, 1);
}

TEST_F(LiveUpdate, ParkedAircraftLeavesOrIsRemovedByDistanceFromItsStand)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Parked, position(0, 0, 0.0), 9);
    ac.previousPhase = AcPhase::Parked;
    ac.standFirstDistance = ac.standLastDistance = 0.001;
    lf_addStreamPosition(ac, position(150 * kMetreLat, 0, 5.0));
    EXPECT_EQ(ac.state, AcState::InSim);
    EXPECT_EQ(ac.nearStand, 1);
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.back().stop, 0);
    lf_addStreamPosition(ac, position(210 * kMetreLat, 0, 5.0));
    EXPECT_EQ(ac.state, AcState::Removing);
    EXPECT_EQ(ac.stream.size(), 2u);

    // Heading for a stand, it taxis on past it: it gives the stand up, another aircraft parks
    // there, and the removal of this one leaves the stand taken.
    Stand& stand = standTable.emplace_back("A1", std::vector<ParkPosOption>{}, StandPlacement{1.0, 0.0, 0.0}, 20.0,
                                           0, 0, 0);
    stand.id = 1;
    LiveAc& passing = addLive(20002, AcState::InSim, AcPhase::ToStand, position(1.0, 0, 5.0), 10);
    passing.standId = 1;
    passing.standLat = 1.0;
    lf_addStreamPosition(passing, position(1.0 + 150 * kMetreLat, 0, 5.0));
    EXPECT_EQ(passing.phase, AcPhase::Taxi);
    EXPECT_EQ(passing.standId, 0u);
    stand.occupied = true;
    gf_removeAc(passing);
    EXPECT_TRUE(stand.occupied);
    standTable.clear();
}

TEST_F(LiveUpdate, LeavingTheStandIsCheckedOncePerLeave)
{
    Stand& stand = standTable.emplace_back("A1", std::vector<ParkPosOption>{}, StandPlacement{0.0, 0.0, 0.0}, 20.0,
                                           0, 0, 0);
    stand.id = 1;
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Parked, position(0, 0, 0.0), 9);
    gf_occupyStand(ac, stand);
    ac.standFirstDistance = ac.standLastDistance = 0.001;
    lf_addStreamPosition(ac, position(150 * kMetreLat, 0, 5.0));
    EXPECT_FALSE(stand.occupied);
    stand.occupied = true; // taken by the next aircraft meanwhile
    lf_addStreamPosition(ac, position(160 * kMetreLat, 0, 5.0));
    EXPECT_TRUE(stand.occupied);
    standTable.clear();
}

TEST_F(LiveUpdate, SamePlaceOnTheGroundBecomesAStop)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Taxi, position(1, 1, 0.0, 100), 9);
    ac.groundMode = 1;
    lf_addStreamPosition(ac, position(1, 1, 7.0, 50));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.back().stop, 1);
    EXPECT_EQ(ac.stream.back().groundSpeed, 0.0);
    EXPECT_EQ(ac.stream.back().duePass, 101); // never before the newest
    // A near position merges into a copy of the newest.
    lf_addStreamPosition(ac, position(1.0001, 1.0001, 7.0));
    ASSERT_EQ(ac.stream.size(), 3u);
    EXPECT_EQ(ac.stream.back().lat, 1.0);
    EXPECT_EQ(ac.stream.back().stop, 1);
    // Once every buffered position is a stop, a further stop cuts the stream to its oldest.
    ac.stream.front().stop = 1;
    lf_addStreamPosition(ac, position(1, 1, 0.0));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.front().duePass, passCounter.load() + 1); // two stops: the oldest is due
}

TEST_F(LiveUpdate, RotorcraftNeverMergesPositions)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Taxi, position(1, 1, 5.0), 9);
    ac.groundMode = 1;
    ac.desc.category = AcCategory::Rotorcraft;
    lf_addStreamPosition(ac, position(1.0001, 1.0001, 5.0, 10));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream.back().lat, 1.0001);
    EXPECT_EQ(ac.stream.back().stop, 0);
}

TEST_F(LiveUpdate, OnlyAHelicopterTakesAPositionBehindItsInventedOnes)
{
    for (const AcCategory category : {AcCategory::Rotorcraft, AcCategory::Large}) {
        SCOPED_TRACE(static_cast<int>(category));
        liveAcTable.clear();
        StreamPosition invented = position(1.001, 1.0, 60.0, 10);
        invented.airborne = 1;
        LiveAc& ac = addLive(20002, AcState::InSim, AcPhase::Airborne, invented, 9);
        ac.desc.category = category;
        ac.pose.latitude = 1.0; // heading north, the invented position ahead
        ac.extrapolationsLeft = 5;
        StreamPosition behind = position(0.999, 1.0, 60.0, 20);
        behind.airborne = 1;
        lf_addStreamPosition(ac, behind);
        EXPECT_EQ(ac.stream.size(), category == AcCategory::Rotorcraft ? 2u : 1u);
        EXPECT_EQ(ac.extrapolationsLeft, category == AcCategory::Rotorcraft ? 0 : 5);
    }
}

TEST_F(LiveUpdate, ShortStopIsDroppedWhenTheAircraftMovesOn)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Taxi, position(1, 1, 10.0, 0), 9);
    ac.groundMode = 1;
    lf_addStreamPosition(ac, position(1.001, 1, 10.0, 100));
    lf_addStreamPosition(ac, position(1.001, 1, 10.0, 200)); // stop
    lf_addStreamPosition(ac, position(1.001, 1, 10.0, 300)); // stop
    ASSERT_EQ(ac.stream.size(), 4u);
    lf_addStreamPosition(ac, position(1.002, 1, 10.0, 400));
    ASSERT_EQ(ac.stream.size(), 3u); // the 2-second stop is gone
    EXPECT_EQ(ac.stream[1].stop, 0);
    EXPECT_EQ(ac.stream[2].lat, 1.002);
}

TEST_F(LiveUpdate, GroundContactOfALandingStartsTheRollOut)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Airborne, position(1, 1, 140.0), 9);
    ac.landing = 1;
    ac.pose.pitch = -0.05;
    ac.pose.bank = 0.02;
    ac.pose.heading = 1.5;
    ac.desc.staticPitch = 0.01;
    ac.desc.staticCgHeight = 8.0;
    fastRangeRequest = true;
    lf_applyGroundData(ac, SimCommand{9, 1, 0, SimCommandType::GroundData, 1500.0, 3.0});
    EXPECT_EQ(ac.rollingOut, 1);
    EXPECT_EQ(ac.pitchSettling, 1);
    EXPECT_EQ(ac.landed, 1);
    EXPECT_EQ(ac.landing, 0);
    EXPECT_EQ(ac.groundMode, 1);
    EXPECT_FALSE(fastRangeRequest.load());
    EXPECT_EQ(ac.touchdownHeading, 1.5);
    EXPECT_DOUBLE_EQ(ac.pitchStep, 0.06 / ac.desc.touchdownPasses);
    EXPECT_DOUBLE_EQ(ac.bankStep, -0.02 / ac.desc.touchdownPasses);
    EXPECT_EQ(spawnCheckList, (std::deque<std::uint32_t>{20001}));
    EXPECT_EQ(ac.heightAboveGround, 3.0);
    EXPECT_EQ(ac.pose.altitude, 1508.0);

    // In the take-off phase the ground contact is ignored until the aircraft is well up.
    LiveAc& climbing = addLive(20002, AcState::InSim, AcPhase::Takeoff, position(1, 1, 140.0), 10);
    climbing.rotationCounter = -50;
    lf_applyGroundData(climbing, SimCommand{10, 1, 0, SimCommandType::GroundData, 1500.0, 0.0});
    EXPECT_EQ(climbing.groundMode, 0);
    EXPECT_EQ(climbing.rotationCounter, -50);
}

// Whatever the phase, no pose is written below the ground the simulator reported under the
// aircraft (its reference point stays its static CG height above it), while the report holds.
TEST_F(LiveUpdate, NoPoseIsWrittenBelowTheReportedGround)
{
    struct Case {
        const char* what;
        AcPhase phase;
        std::int32_t reportAge; // passes
        double altitude;        // after 20 passes sinking 10 ft a pass from 1600 ft
    };
    const std::vector<Case> cases{
        {"taking off", AcPhase::Takeoff, 0, 1508.0},
        {"in the air", AcPhase::Airborne, 0, 1508.0},
        {"report 2.5 s old", AcPhase::Airborne, 250, 1508.0},
        {"report 3 s old: the aircraft may have climbed out of the reports", AcPhase::Airborne, 300, 1400.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        liveAcTable.clear();
        passCounter = 1000;
        LiveAc& ac = addLive(20001, AcState::InSim, c.phase, position(1, 1, 140.0, 100000), 9);
        ac.rotationCounter = -400;
        ac.desc.staticCgHeight = 8.0;
        lf_applyGroundData(ac, SimCommand{9, 0, 0, SimCommandType::GroundData, 1500.0, 100.0});
        ac.pose.altitude = 1600.0;
        ac.altitudeStep = -10.0;
        passCounter = 1000 + c.reportAge - 20;
        for (int pass = 0; pass < 20; ++pass) {
            updateLiveAc(ac);
            ++passCounter;
        }
        EXPECT_DOUBLE_EQ(ac.pose.altitude, c.altitude);
    }
    gf_clearPositionBuffers();
}

TEST_F(LiveUpdate, RememberedLiveryIsTakenAgain)
{
    LiveAc& ac = addLive(20001, AcState::Buffered, AcPhase::New, position(1, 1));
    EXPECT_FALSE(lf_chooseLivery(ac)); // no livery fits here
    liveryByHexId[20001] = "Remembered livery";
    EXPECT_TRUE(lf_chooseLivery(ac));
    EXPECT_EQ(ac.desc.liveryTitle, "Remembered livery");
    liveryByHexId.clear();
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

TEST_F(LiveUpdate, CreatedObjectIsBoundToItsParkedRecord)
{
    LOG.value = true;
    currentDaySlot = (std::uint64_t{17} << 32) | 3;
    LiveAc& ac = addLive(20001, AcState::Creating, AcPhase::Parked, position(1, 1, 0.0));
    EXPECT_FALSE(lf_onLiveAcCreated(ac, SimCommand{2, 20001, 0, SimCommandType::LiveCreated, 0.0, 5.0}));
    EXPECT_EQ(ac.objectId, 0u);
    EXPECT_TRUE(lf_onLiveAcCreated(ac, SimCommand{12, 20001, 0, SimCommandType::LiveCreated, 0.0, 5.0}));
    EXPECT_EQ(ac.objectId, 12u);
    EXPECT_EQ(ac.heightAboveGround, 5.0);
    EXPECT_EQ(ac.groundMode, 1);
    EXPECT_EQ(ac.parkedStamp, currentDaySlot.load());
    EXPECT_EQ(ac.flightPlanSet, 0); // no origin and destination
    EXPECT_NE(logText().find(": DLH1     parks"), std::string::npos);
    lf_activateLiveAc(ac);
    EXPECT_EQ(ac.state, AcState::InSim);
    EXPECT_EQ(ac.throttleStep, 0u);
    EXPECT_EQ(ac.flapsStep, 0u);
}

// The pass hands the plan to the flight-plan worker: it waits neither for the file nor for the
// simulator connection's lock.
TEST_F(LiveUpdate, AFlightPlanIsGivenWithoutWaiting)
{
    gf_createFlightPlanFolder();
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Taxi, position(1, 1), 12);
    ac.desc.origin = "EDDF";
    ac.desc.destination = "KJFK";
    std::unique_lock hold(simConnectMutex);
    auto given = std::async(std::launch::async, [&ac] { lf_setFlightPlan(ac); });
    const bool returned = given.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    hold.unlock();
    given.wait();
    EXPECT_TRUE(returned);
    EXPECT_EQ(ac.flightPlanSet, 1);
    EXPECT_TRUE(gf_removeFlightPlanFolder());
}

TEST_F(LiveUpdate, RespawnStartsFromTheCurrentPose)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::Airborne, position(1, 1, 250.0, 400), 44);
    lf_addStreamPosition(ac, position(1.1, 1, 250.0, 800));
    ac.pose.latitude = 1.05;
    ac.pose.heading = 2.0;
    ac.pose.bank = 0.1;
    liveryRespawn(ac);
    EXPECT_EQ(ac.state, AcState::Respawning);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{44}));
    ASSERT_EQ(ac.stream.size(), 3u);
    EXPECT_EQ(ac.stream.front().lat, 1.05);
    EXPECT_EQ(ac.stream.front().roll, 0.1);
    EXPECT_EQ(ac.stream.front().duePass, passCounter.load() + 1);
    EXPECT_EQ(ac.stream[1].stop, 0);
    EXPECT_EQ(ac.respawnHeading, 2.0);
}

TEST_F(LiveUpdate, AircraftHeadingForItsStandTurnsTowardItsLegBearing)
{
    LiveAc& ac = addLive(20001, AcState::InSim, AcPhase::ToStand, position(1, 1, 5.0, 900), 9);
    ac.groundMode = 1;
    ac.desc.groundTurnRate = 0.01;
    ac.pose.heading = 6.2;
    ac.legBearing = 0.1; // across north: the shorter turn is to the right
    lf_fitCurve(ac);
    EXPECT_NEAR(ac.pose.heading, 6.21, 1e-12);
    ac.pose.heading = 0.1 + 0.4 * 0.017453292519943295; // within half a degree: it stays
    lf_fitCurve(ac);
    EXPECT_NEAR(ac.pose.heading, 0.1 + 0.4 * 0.017453292519943295, 1e-12);
}

} // namespace
} // namespace enginetest
