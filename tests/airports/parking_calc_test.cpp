// The static-parking calculation, the re-balancing of the park airport and the clearance of
// static aircraft from live ones.

#include "airports/airport_services.h"
#include "airports/apf_state.h"
#include "airports/park_airport_list.h"
#include "airports/shell_services.h"
#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "engine/ac_records.h"
#include "engine/park_options.h"
#include "engine/parking_adjustments.h"
#include "engine/static_parking.h"
#include "engine/update_pass.h"
#include "params/park_airport.h"
#include "simlink/sim_state.h"
#include "standfiles_fixture.h"

#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace {

constexpr double kMetresPerDegree = 1852.0 * 60.0;

class ParkingCalcTest : public airportstest::StandFilesTest {
protected:
    void SetUp() override
    {
        StandFilesTest::SetUp();
        RANDOM.value = false;
        reset();
    }
    void TearDown() override
    {
        reset();
        StandFilesTest::TearDown();
    }
    static void reset()
    {
        gf_resetEngineQueues();
        staticCandidates.clear();
        parkingCallsigns.clear();
        parkedStayers.clear();
        gf_clearParkingAdjustmentLists();
        parkingBusyFlag = false;
        currentDaySlot = gf_packDaySlot(3, 20);
        realFitReached = 0;
        softFitReached = -1;
    }
    // n stands 100 m apart, none overlapping.
    static void makeStands(std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) {
            Stand& s = standTable.emplace_back("S" + std::to_string(i + 1), std::vector<ParkPosOption>{},
                                               StandPlacement{100.0 * i / kMetresPerDegree, 0.0, 0.0}, 30.0, 1, 1, 1);
            s.id = static_cast<std::uint32_t>(i + 1);
        }
    }
    static ParkPosOption& addOption(std::size_t stand, std::uint32_t day, std::initializer_list<int> slots,
                                    const std::string& cs = "")
    {
        ParkPosOption o;
        o.airl = "DLH";
        o.type = "A320";
        o.cs = cs;
        o.day = day;
        o.real = 1;
        for (int slot : slots)
            o.hours.set(static_cast<std::size_t>(slot));
        std::vector<ParkPosOption>& opts = standTable[stand - 1].opts;
        o.number = static_cast<std::uint32_t>(opts.size() + 1);
        return opts.emplace_back(o);
    }
    static StaticAc& addStatic(std::uint32_t standId, const std::string& cs, DaySlot parked)
    {
        AcDescription d;
        d.airline = "DLH";
        d.type = "A320";
        d.cs = cs;
        d.callsign = cs + "*";
        d.key = static_cast<std::uint32_t>(staticAcTable.size() + 1);
        const Stand& s = standTable[standId - 1];
        StaticAc& ac = staticAcTable.emplace_back(d, standId, StandPose{s.lat, s.lon, 0.0}, false);
        ac.state = AcState::InSim;
        ac.objectId = 100 + ac.desc.key;
        ac.parkedStamp = parked;
        return ac;
    }
    static LiveAc& addParkedLive(std::uint32_t standId, std::uint32_t hexId)
    {
        AcDescription d;
        d.callsign = "LIVE" + std::to_string(hexId);
        d.key = hexId;
        LiveAc& ac = liveAcTable.emplace_back(StreamPosition{}, d, 0.0);
        ac.state = AcState::InSim;
        ac.phase = AcPhase::Parked;
        ac.standId = standId;
        liveAcTable.setObjectId(ac, hexId);
        ac.parkedSince = parkedTicksAgo(standId);
        return ac;
    }
    // Steady-clock ticks (100 ns) of a parking that began `minutes` ago.
    static std::int64_t parkedTicksAgo(std::uint32_t minutes)
    {
        const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count() / 100;
        return now - static_cast<std::int64_t>(minutes) * 600'000'000;
    }
};

TEST_F(ParkingCalcTest, MaxParkFollowsStandsPercentageAndTheUsersLimit)
{
    struct Case {
        std::size_t stands;
        std::int32_t percent;
        std::int32_t customMax;
        std::int64_t max;
        std::int32_t shown;
    };
    for (const Case c : {Case{10, 30, -1, 3, 30}, Case{3, 40, -1, 1, 40}, Case{3, 50, -1, 2, 50},
                         Case{5, 50, -1, 3, 50}, Case{0, 30, -1, 1, 30}, Case{1, 80, -1, 1, 80},
                         Case{200, 30, 25, 25, 13}}) {
        standTable.clear();
        makeStands(c.stands);
        parking_percentage.setValue(c.percent);
        CUSTOM_MAX_PARK.setValue(c.customMax);
        EXPECT_EQ(lf_calcMaxPark(), c.max) << c.stands << " stands, " << c.percent << "%";
        EXPECT_EQ(g_mainWindow.maxParkPercent.load(), c.shown) << c.stands << " stands";
    }
    standTable.clear();
    makeStands(10);
    CUSTOM_MAX_PARK.setValue(-1);
    CUSTOM_PARKING_PERCENTAGE.setValue(0);
    EXPECT_EQ(lf_calcMaxPark(), 0);
}

TEST_F(ParkingCalcTest, TheCalculationWidensHalfAnHourAtATimeAndQueuesTheBestLast)
{
    makeStands(10);
    parking_percentage.setValue(30); // 3 aircraft
    addOption(1, 3, {17});           // stood there 3 half hours ago
    addOption(2, 3, {20});
    addOption(3, 3, {19});
    addOption(4, 3, {10});           // too long ago to be needed
    reservedStand = "S5";
    addOption(5, 3, {20});           // kept for the user aircraft
    lf_calcStaticParking();
    ASSERT_EQ(staticCandidates.size(), 3u);
    EXPECT_EQ(staticCandidates[0].standId, 1u);
    EXPECT_EQ(staticCandidates[0].sortKey, 3u);
    EXPECT_EQ(staticCandidates[1].standId, 3u);
    EXPECT_EQ(staticCandidates[2].standId, 2u) << "the best at the back";
    EXPECT_EQ(staticCandidates[2].sortKey, 0u);
    EXPECT_TRUE(parkingBusyFlag.load()) << "the controls wait for the engine";
    EXPECT_THAT(logText(), HasSubstr("3 positions (30% vs wanted 30%, with Max fit=24 hours)"));
    EXPECT_THAT(logText(), HasSubstr("3 real positions found, Max fit=24 hours, day 3, hh:20 or 10.5 hrs fit: 2 hour"));
}

TEST_F(ParkingCalcTest, NothingToParkReleasesTheControls)
{
    makeStands(10);
    addOption(1, 3, {20});
    CUSTOM_PARKING_PERCENTAGE.setValue(0);
    parkingBusyFlag = true;
    lf_calcStaticParking();
    EXPECT_TRUE(staticCandidates.empty());
    EXPECT_FALSE(parkingBusyFlag.load());
    EXPECT_THAT(logText(), HasSubstr("no parking positions found"));
}

TEST_F(ParkingCalcTest, AStaticAircraftFlyingLiveGoesEvenWhenItFitsThePattern)
{
    makeStands(2);
    addOption(1, 3, {20}, "DLH1");
    addStatic(1, "DLH1", gf_packDaySlot(3, 18));
    lf_classifyStaticAc(staticAcTable[0], currentDaySlot.load());
    EXPECT_EQ(staticStayers.size(), 1u);
    gf_clearParkingAdjustmentLists();
    parkingCallsigns = {"DLH1"};
    lf_classifyStaticAc(staticAcTable[0], currentDaySlot.load());
    EXPECT_TRUE(staticStayers.empty());
    ASSERT_EQ(staticRemoveList.size(), 1u);
    EXPECT_EQ(staticRemoveList[0].callsign, "DLH1*");
}

TEST_F(ParkingCalcTest, AtMondayMidnightSundaysOptionsDecide)
{
    makeStands(1);
    addStatic(1, "DLH1", gf_packDaySlot(7, 40));
    realFitReached = 1;
    const DaySlot mondayStart = gf_packDaySlot(1, 0);
    lf_classifyStaticAc(staticAcTable[0], mondayStart);
    EXPECT_EQ(staticRemoveList.size(), 1u) << "no option at all";
    gf_clearParkingAdjustmentLists();
    addOption(1, 7, {47});
    lf_classifyStaticAc(staticAcTable[0], mondayStart);
    EXPECT_EQ(staticStayers.size(), 1u);
}

TEST_F(ParkingCalcTest, AnAircraftParkedBeforeTheCandidatesTimeMakesWayForIt)
{
    makeStands(1);
    addStatic(1, "DLH1", gf_packDaySlot(7, 40));
    staticCandidates = {{1, 2, "BAW", "A320", "BAW1", "", "", true}};
    lf_classifyStaticAc(staticAcTable[0], gf_packDaySlot(1, 10));
    EXPECT_EQ(staticRemoveList.size(), 1u) << "Monday after Sunday";
    EXPECT_EQ(staticCandidates.size(), 1u) << "the candidate parks a new aircraft";

    gf_clearParkingAdjustmentLists();
    staticAcTable[0].parkedStamp = gf_packDaySlot(1, 9);
    lf_classifyStaticAc(staticAcTable[0], gf_packDaySlot(1, 10));
    EXPECT_EQ(staticStayers.size(), 1u);
    EXPECT_TRUE(staticCandidates.empty()) << "the staying aircraft takes the candidate's place";
}

TEST_F(ParkingCalcTest, StayersParkedFromSundayToTuesdayKeepTheirOrder)
{
    for (const DaySlot parked : {gf_packDaySlot(2, 3), gf_packDaySlot(7, 40), gf_packDaySlot(1, 20)})
        staticStayers.push_back({"X*", "X", "", "", "DLH", "A320", parked, 1, false});
    lf_sortStayersByParkedTime(gf_packDaySlot(2, 10));
    std::vector<std::uint32_t> days;
    for (const StaticStayer& stayer : staticStayers)
        days.push_back(gf_weekdayOf(stayer.parked));
    EXPECT_EQ(days, (std::vector<std::uint32_t>{7, 1, 2}));
}

TEST_F(ParkingCalcTest, ReBalancingDropsTheLatestStaticStayerBeyondTheMaximum)
{
    makeStands(20);
    parking_percentage.setValue(50); // 10 aircraft
    for (std::uint32_t s = 1; s <= 6; ++s)
        addParkedLive(s, 0x500000 + s);
    for (std::size_t s = 7; s <= 13; ++s)
        addOption(s, 3, {18, 19, 20}, "DLH" + std::to_string(s));
    for (std::uint32_t s = 7; s <= 11; ++s)
        addStatic(s, "DLH" + std::to_string(s), gf_packDaySlot(3, s == 9 ? 19 : 18));
    gf_parkingAdjustments();
    EXPECT_THAT(logText(), HasSubstr("Parking adjustments: 1 to be removed, 0 to be added"));
    EXPECT_EQ(staticAcTable[2].state, AcState::Removing) << "parked latest";
    ASSERT_EQ(removalsToHandOver.size(), 1u);
    EXPECT_EQ(removalsToHandOver.front(), staticAcTable[2].objectId);
    EXPECT_TRUE(staticCandidates.empty());
    EXPECT_EQ(std::count_if(liveAcTable.begin(), liveAcTable.end(),
                            [](const LiveAc& ac) { return ac.state == AcState::InSim; }),
              6);
    EXPECT_FALSE(parkingBusyFlag.load());
}

TEST_F(ParkingCalcTest, LiveAircraftBeyondTheMaximumGoLongestParkedFirstAndNoMore)
{
    makeStands(10);
    parking_percentage.setValue(20); // 2 aircraft
    for (std::uint32_t s = 1; s <= 4; ++s)
        addParkedLive(s, 0x500000 + s).parkedSince = parkedTicksAgo(10 + s);
    gf_parkingAdjustments();
    EXPECT_THAT(logText(), HasSubstr("Parking adjustments: 2 more live ac than wanted"));
    EXPECT_EQ(liveAcTable[3].state, AcState::Removing);
    EXPECT_EQ(liveAcTable[2].state, AcState::Removing);
    EXPECT_EQ(liveAcTable[1].state, AcState::InSim);
    EXPECT_EQ(liveAcTable[0].state, AcState::InSim) << "the stayers counted again after the removals";
    EXPECT_EQ(removalsToHandOver.size(), 2u);
}

TEST_F(ParkingCalcTest, ARemovalTakesTheStaticAircraftInTheSimulatorAndNoneTwice)
{
    makeStands(2);
    parking_percentage.setValue(100);
    addStatic(1, "DLH1", gf_packDaySlot(3, 18)).state = AcState::Removing; // on its way out
    StaticAc& unscheduled = addStatic(1, "DLH2", gf_packDaySlot(3, 18));
    gf_parkingAdjustments();
    EXPECT_THAT(logText(), HasSubstr("Parking adjustments: 1 to be removed, 0 to be added"));
    EXPECT_EQ(unscheduled.state, AcState::Removing);
    ASSERT_EQ(removalsToHandOver.size(), 1u);
    EXPECT_EQ(removalsToHandOver.front(), unscheduled.objectId);
}

TEST_F(ParkingCalcTest, ALeavingAircraftComesBackUnderItsSecondCallsign)
{
    makeStands(3);
    ParkPosOption& o = addOption(1, 3, {19, 20}, "DLH1");
    o.csSuffix = "DLH2";
    parking_percentage.setValue(100);
    StaticAc& ac = addStatic(1, "DLH1", gf_packDaySlot(3, 19));
    ac.desc.csSuffix = "DLH2";
    gf_parkingAdjustments();
    ASSERT_EQ(staticCandidates.size(), 1u);
    const StaticCandidate& c = staticCandidates[0];
    EXPECT_FALSE(c.searchFlag);
    EXPECT_EQ(c.sortKey, 1u) << "it has stood one half hour";
    EXPECT_EQ(lf_staticCallsign({}, c), "DLH2*");
    EXPECT_EQ(staticAcTable[0].state, AcState::Removing);
}

TEST_F(ParkingCalcTest, StaticAircraftTooCloseToALiveOneIsRemoved)
{
    makeStands(1);
    StaticAc& parked = addStatic(1, "DLH1", gf_packDaySlot(3, 18));
    parked.desc.halfWingspan = 0.01;
    LiveAc& live = addParkedLive(0, 0x600000);
    live.desc.halfWingspan = 0.01;
    live.pose.latitude = 0.0225 / 60.0;
    EXPECT_EQ(gf_collisionAvoidanceStatic(live), staticAcTable.end());
    live.pose.latitude = 0.0215 / 60.0;
    EXPECT_EQ(gf_collisionAvoidanceStatic(live), staticAcTable.begin());
    EXPECT_EQ(staticAcTable[0].state, AcState::Removing);
    EXPECT_EQ(gf_collisionAvoidanceStatic(live), staticAcTable.end()) << "only aircraft in the simulator";

    // Exactly at the limit is too close: two aircraft without any known width on one spot.
    parked.state = AcState::InSim;
    parked.desc.halfWingspan = 0.0;
    live.desc.halfWingspan = 0.0;
    live.pose.latitude = parked.standLat;
    live.pose.longitude = parked.standLon;
    EXPECT_EQ(gf_collisionAvoidanceStatic(live), staticAcTable.begin());
}

// Of the static aircraft too close the first in the table goes first, however they lie; a wide
// one reaches farther than the live aircraft's span alone.
TEST_F(ParkingCalcTest, StaticAircraftTooCloseGoInTableOrder)
{
    makeStands(3); // 100 m apart
    for (const auto& [standId, halfSpan] : {std::pair{3u, 0.04}, {2u, 0.04}, {1u, 0.07}})
        addStatic(standId, "DLH" + std::to_string(standId), gf_packDaySlot(3, 18)).desc.halfWingspan = halfSpan;
    LiveAc& live = addParkedLive(0, 0x600000);
    live.desc.halfWingspan = 0.01;
    live.pose.latitude = 150.0 / kMetresPerDegree;
    const StaticsByLatitude statics;
    for (std::ptrdiff_t i = 0; i < 3; ++i)
        EXPECT_EQ(gf_collisionAvoidanceStatic(live, statics), staticAcTable.begin() + i);
    EXPECT_EQ(gf_collisionAvoidanceStatic(live, statics), staticAcTable.end());
}

TEST_F(ParkingCalcTest, StandNamesForTheLog)
{
    makeStands(2);
    EXPECT_EQ(gf_standName(0), "sid==0?");
    EXPECT_EQ(gf_standName(2), "S2");
    EXPECT_EQ(gf_standName(7), "unknown");
}

TEST_F(ParkingCalcTest, GivingTheParkAirportUpRemovesStaticsAndFreesLiveStands)
{
    makeStands(2);
    gf_setParkAirport({"EDDF", "FRA", 50.0, 8.5, 364.0});
    standsLoaded = true;
    apfSettingsChanged = false;
    addStatic(1, "DLH1", gf_packDaySlot(3, 18));
    LiveAc& live = addParkedLive(2, 0x700000);
    staticCandidates = {{2, 0, "DLH", "A320", "DLH5", "", "", true}};
    userMaxLive = 50;
    MAX_LIVE.setValue(10);
    gf_removeStaticParked();
    EXPECT_EQ(staticAcTable[0].state, AcState::Removing);
    EXPECT_EQ(live.state, AcState::Removing);
    EXPECT_EQ(live.standId, 0u);
    EXPECT_TRUE(staticCandidates.empty());
    EXPECT_TRUE(gf_parkAirport().code.empty());
    EXPECT_TRUE(standTable.empty());
    EXPECT_FALSE(standsLoaded.load());
    EXPECT_EQ(MAX_LIVE.value.load(), 50) << "the user's own limit is back";
    userMaxLive = -1;
}

} // namespace
