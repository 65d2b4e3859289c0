#include "engine_fixture.h"

#include "airports/park_airport_list.h"
#include "airports/stand.h"
#include "app/main_window.h"
#include "core/clock.h"
#include "engine/live_removal.h"
#include "engine/parked_removal.h"
#include "engine/removal_rules.h"
#include "engine/stand_conflicts.h"
#include "engine/traffic_intake.h"
#include "liveries/dbase.h"
#include "run/run_flags.h"

#include <chrono>
#include <gtest/gtest.h>

namespace enginetest {
namespace {

StaticAc& addStatic(std::uint32_t key, const std::string& callsign, AcState state = AcState::InSim)
{
    AcIdentity id;
    id.callsign = callsign;
    AcDescription desc = gf_makeAircraftDescription(id);
    desc.key = key;
    StaticAc& ac = staticAcTable.emplace_back(std::move(desc), 0, StandPose{}, false);
    ac.state = state;
    ac.objectId = 100 + key;
    return ac;
}

class RemovalRules : public EngineTest {
protected:
    // Room enough that the records a test holds by reference never move.
    void SetUp() override
    {
        EngineTest::SetUp();
        liveAcTable.reserve(16);
        staticAcTable.reserve(16);
    }
    void TearDown() override
    {
        standTable.clear();
        reservedStand.clear();
        parkedStayers.clear();
        g_mainWindow.maxParkCount = 0;
        currentDaySlot = 0;
        EngineTest::TearDown();
    }

    static LiveAc& addParked(std::uint32_t hexId, const std::string& callsign, std::uint32_t standId, double minutesAgo)
    {
        LiveAc& ac = addLive(hexId, AcState::InSim, AcPhase::Parked, position(48.1, 11.5, 0.0), hexId);
        liveAcTable.setCallsign(ac, callsign);
        ac.standId = standId;
        const std::int64_t now = std::chrono::steady_clock::now().time_since_epoch().count() / 100;
        ac.parkedSince = now - static_cast<std::int64_t>(minutesAgo * 600'000'000.0);
        return ac;
    }
};

TEST_F(RemovalRules, GhostIsRemovedAndRememberedAndItsOwnerFound)
{
    LiveAc& owner = addLive(0x100001, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 41);
    liveAcTable.setCallsign(owner, "DLH4");
    LiveAc& ghost = addLive(0x100002, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 42);
    liveAcTable.setCallsign(ghost, "DLH4_");
    EXPECT_TRUE(lf_ghostOwnerExists("DLH4_"));
    EXPECT_FALSE(lf_ghostOwnerExists("DLH4"));
    lf_ghostCheck("DLH4");
    EXPECT_EQ(ghost.state, AcState::Removing);
    ASSERT_EQ(ghostCallsigns.size(), 1u);
    EXPECT_EQ(ghostCallsigns.front(), "DLH4_");
    owner.state = AcState::Removing;
    EXPECT_FALSE(lf_ghostOwnerExists("DLH4_")); // an owner being removed does not count
}

TEST_F(RemovalRules, SpawnedLiveAircraftReplacesStaticDuplicates)
{
    LiveAc& live = addLive(0x100001, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 41);
    liveAcTable.setCallsign(live, "BAW12");
    live.desc.csSuffix = "BAW13";
    StaticAc& other = addStatic(1, "EZY1");
    other.desc.cs = "EZY1";
    StaticAc& coupled = addStatic(2, "XXX9");
    coupled.desc.cs = "BAW13"; // the live aircraft's second coupled callsign
    gf_checkSpawnedLiveAc(live);
    EXPECT_EQ(live.desc.flag, 1);
    EXPECT_EQ(other.state, AcState::InSim);
    EXPECT_EQ(coupled.state, AcState::Removing);

    live.desc.registration = "G-EUPT";
    other.desc.registration = "G-EUPT";
    gf_checkSpawnedLiveAc(live);
    EXPECT_EQ(other.state, AcState::Removing);
}

TEST_F(RemovalRules, GhostCallsignMatchesByItsOwnersCallsignOnly)
{
    LiveAc& live = addLive(0x100001, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 41);
    StaticAc& st = addStatic(1, "DLH5");
    st.desc.cs = "DLH5";
    liveAcTable.setCallsign(live, "DLH5X");
    EXPECT_FALSE(gf_replaceSameRegOrCallsign(st, live, "DLH5", true));
    liveAcTable.setCallsign(live, "DLH5_");
    EXPECT_TRUE(gf_replaceSameRegOrCallsign(st, live, "DLH5", true));
    st.state = AcState::Creating;
    EXPECT_FALSE(gf_replaceSameRegOrCallsign(st, live, "DLH5", true));
}

TEST_F(RemovalRules, StaticTwinGoesOnlyForALiveAircraftOnTheGround)
{
    LiveAc& live = addLive(0x100001, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 41);
    liveAcTable.setCallsign(live, "AFR7");
    StaticAc& twin = addStatic(1, "AFR7*");
    gf_removeStaticTwin(live);
    EXPECT_EQ(twin.state, AcState::InSim);
    live.groundMode = 1;
    gf_removeStaticTwin(live);
    EXPECT_EQ(twin.state, AcState::Removing);
}

TEST_F(RemovalRules, ReservedStandIsClearedOfStaticFirstThenLive)
{
    standTable.emplace_back("A1", std::vector<ParkPosOption>{}, StandPlacement{48.1, 11.5, 0.0}, 20.0, 0, 0, 0);
    standTable.back().id = 3;
    reservedStand = "A1";
    LiveAc& live = addParked(0x100001, "DLH1", 3, 5.0);
    StaticAc& st = addStatic(1, "STA1");
    st.standId = 3;
    gf_clearReservedStand();
    EXPECT_EQ(st.state, AcState::Removing);
    EXPECT_EQ(live.state, AcState::InSim);
    gf_clearReservedStand();
    EXPECT_EQ(live.state, AcState::Removing);
}

TEST_F(RemovalRules, MaxParkRemovesTheLiveAircraftParkedLongestOnePerCall)
{
    g_mainWindow.maxParkCount = 1;
    LiveAc& newer = addParked(0x100001, "DLH1", 1, 10.0);
    LiveAc& older = addParked(0x100002, "DLH2", 2, 30.0);
    LiveAc& oldest = addParked(0x100003, "DLH3", 3, 50.0);
    lf_checkMaxPark(1); // 3 + 1 over 1: still only one goes
    EXPECT_EQ(oldest.state, AcState::Removing);
    EXPECT_EQ(older.state, AcState::InSim);
    lf_checkMaxPark(0);
    EXPECT_EQ(older.state, AcState::Removing);
    lf_checkMaxPark(0); // 1 parked, max 1
    EXPECT_EQ(newer.state, AcState::InSim);
    lf_checkMaxPark(1); // one more parking: 1 + 1 over 1
    EXPECT_EQ(newer.state, AcState::Removing);
}

TEST_F(RemovalRules, AnAircraftTheMaxParkTookOutStaysOutWhileItsFeedShowsItParked)
{
    g_mainWindow.maxParkCount = 1;
    addParked(0x100001, "DLH1", 1, 10.0);
    addParked(0x100002, "DLH2", 2, 50.0);
    lf_checkMaxPark(0);
    TrafficMessage parked = message(0x100002, 2000.0, 48.1, 11.5003, 0.0); // 22 m away, standing
    // Its record gone with its object, the intake makes no new one of its feed.
    liveAcTable.eraseIf([](const LiveAc& ac) { return ac.state == AcState::Removing; });
    LIGHT_AIRCRAFT.value = true;
    dbaseTables.ModelCodes.insert("C172");
    TrafficMessage feed = parked;
    lf_applyTrafficMessage(feed);
    gf_clearDbaseTables();
    EXPECT_EQ(liveAcTable.size(), 1u);
    EXPECT_TRUE(gf_keptOutByMaxPark(parked));
    EXPECT_TRUE(gf_keptOutByMaxPark(parked));
    EXPECT_FALSE(gf_keptOutByMaxPark(message(0x100001, 2000.0, 48.1, 11.5, 0.0))); // never taken out
    TrafficMessage moving = parked;
    moving.position.groundSpeed = 4.0;
    EXPECT_FALSE(gf_keptOutByMaxPark(moving));
    EXPECT_FALSE(gf_keptOutByMaxPark(parked)); // it moved: back for good
}

TEST_F(RemovalRules, MaxParkRemovesTheStaticParkedEarliestEvenWithoutALiveLimit)
{
    INITIAL_LOAD_ONLY.value = true;
    g_mainWindow.maxParkCount = 2;
    LiveAc& live = addParked(0x100001, "DLH1", 1, 500.0);
    addParked(0x100002, "DLH2", 2, 500.0);
    addStatic(1, "MON2").parkedStamp = gf_packDaySlot(1, 2);
    addStatic(2, "SUN40").parkedStamp = gf_packDaySlot(7, 40);
    addStatic(3, "MON1").parkedStamp = gf_packDaySlot(1, 1);
    lf_checkMaxPark(0);
    EXPECT_EQ(live.state, AcState::InSim);
    ASSERT_EQ(staticAcTable.size(), 3u);
    EXPECT_EQ(staticAcTable[0].desc.callsign, "MON2");
    EXPECT_EQ(staticAcTable[2].desc.callsign, "SUN40");
    EXPECT_EQ(staticAcTable[2].state, AcState::Removing);
    EXPECT_EQ(staticAcTable[1].state, AcState::InSim);
}

TEST_F(RemovalRules, MaxParkOfZeroRemovesAStaticWheneverOneIsCounted)
{
    StaticAc& st = addStatic(1, "STA1");
    lf_checkMaxPark(0);
    EXPECT_EQ(st.state, AcState::Removing);
    lf_checkMaxPark(0); // a static aircraft being removed is counted but not removed again
    EXPECT_EQ(removalsToHandOver.size(), 1u);
}

TEST_F(RemovalRules, ParkedTimeExpiresByCategoryExceptForArrivals)
{
    LiveAc& large = addParked(0x100001, "DLH1", 1, 95.0);
    LiveAc& heavy = addParked(0x100002, "DLH2", 2, 95.0);
    heavy.desc.category = AcCategory::Heavy;
    LiveAc& arrived = addParked(0x100003, "DLH3", 3, 500.0);
    arrived.arrivedWhileLive = 1;
    gf_expireParkedLiveAc();
    EXPECT_EQ(large.state, AcState::Removing);
    EXPECT_EQ(heavy.state, AcState::InSim);
    EXPECT_EQ(arrived.state, AcState::InSim);
    ASSERT_EQ(parkedStayers.size(), 2u);
    EXPECT_EQ(parkedStayers[0].callsign, "DLH3");
    EXPECT_EQ(parkedStayers[0].parkedMinutes, 0u);
    EXPECT_EQ(parkedStayers[1].callsign, "DLH2");
    EXPECT_EQ(parkedStayers[1].parkedMinutes, 95u);
}

TEST_F(RemovalRules, LongestParkedLiveAircraftAreRemovedFirst)
{
    LiveAc& a = addParked(0x100001, "DLH1", 1, 10.0);
    LiveAc& b = addParked(0x100002, "DLH2", 2, 70.0);
    LiveAc& c = addParked(0x100003, "DLH3", 3, 40.0);
    gf_removeLongestParkedLiveAc(2);
    EXPECT_EQ(a.state, AcState::InSim);
    EXPECT_EQ(b.state, AcState::Removing);
    EXPECT_EQ(c.state, AcState::Removing);
}

TEST_F(RemovalRules, AverageParkedTimeCountsOnlyStampsBeforeNow)
{
    currentDaySlot = gf_packDaySlot(1, 0);
    addParked(0x100001, "SAT", 1, 1.0).parkedStamp = gf_packDaySlot(6, 10);
    addParked(0x100002, "SUN", 2, 1.0).parkedStamp = gf_packDaySlot(7, 47);
    EXPECT_EQ(gf_updateLiveParkTime(true), 2u);
    EXPECT_FLOAT_EQ(g_mainWindow.liveAverageFit.load(), 1.0f / 4.0f + 0.5f);
}

TEST_F(RemovalRules, StandOccupantRuleRefusesOrReplaces)
{
    LiveAc& occupant = addParked(0x100001, "ABC1", 4, 1.0);
    LiveAc& longer = addLive(0x100002, AcState::Buffered, AcPhase::New, position(48.1, 11.5));
    liveAcTable.setCallsign(longer, "ABC12");
    EXPECT_TRUE(lf_standOccupantRule(longer, 4, occupant));
    EXPECT_EQ(occupant.state, AcState::InSim);
    LiveAc& shorter = addLive(0x100003, AcState::Buffered, AcPhase::New, position(48.1, 11.5));
    liveAcTable.setCallsign(shorter, "ABC");
    EXPECT_FALSE(lf_standOccupantRule(shorter, 4, liveAcTable[0]));
    EXPECT_EQ(liveAcTable[0].state, AcState::Removing);
}

TEST_F(RemovalRules, StandOccupantThatArrivedLiveKeepsTheStand)
{
    LiveAc& occupant = addParked(0x100001, "EZY1", 4, 1.0);
    occupant.arrivedWhileLive = 1;
    LiveAc& newcomer = addLive(0x100002, AcState::Buffered, AcPhase::New, position(48.1, 11.5));
    liveAcTable.setCallsign(newcomer, "BAW2");
    EXPECT_TRUE(lf_standOccupantRule(newcomer, 4, liveAcTable[0]));
    liveAcTable[0].phase = AcPhase::PushBackDone; // pushed back, still holding behind its stand
    EXPECT_TRUE(lf_standOccupantRule(liveAcTable[1], 4, liveAcTable[0]));
    liveAcTable[0].phase = AcPhase::Parked;
    liveAcTable[0].arrivedWhileLive = 0;
    EXPECT_FALSE(lf_standOccupantRule(liveAcTable[1], 4, liveAcTable[0]));
    EXPECT_EQ(liveAcTable[0].state, AcState::Removing);
}

TEST_F(RemovalRules, StoppedTaxiingAircraftClaimsTheNearStandUnlessReserved)
{
    standTable.emplace_back("B7", std::vector<ParkPosOption>{}, StandPlacement{48.1, 11.5, 1.0}, 20.0, 1, 1, 1);
    standTable.back().id = 5;
    LiveAc& holder = addParked(0x100001, "EZY1", 5, 5.0);
    LiveAc& ac = addLive(0x100002, AcState::InSim, AcPhase::Taxi, position(48.1001, 11.5), 42);
    ac.stream.push_back(position(48.10005, 11.5, 0.0)); // about 5.6 m from the stand
    reservedStand = "B7";
    lf_standWanted(ac, false);
    EXPECT_EQ(ac.standId, 0u);
    lf_standWanted(ac, false); // the same newest position is not examined again
    reservedStand.clear();
    EXPECT_EQ(ac.standId, 0u);
    ac.stream.push_back(position(48.10004, 11.5, 0.0));
    ac.curve.controlEast = ac.curve.controlNorth = 10.0; // claimed on a curved leg
    ac.curveTurn = 1;
    lf_standWanted(ac, false);
    EXPECT_FALSE(ac.curveActive()); // the curve went with the positions it led through
    EXPECT_EQ(ac.curveTurn, 0);
    EXPECT_EQ(holder.state, AcState::Removing);
    EXPECT_EQ(ac.standId, 5u);
    EXPECT_DOUBLE_EQ(ac.standHeading, 1.0);
    EXPECT_EQ(ac.phase, AcPhase::ToStand);
    // The stream is cut to its oldest position and goes on to the stand, where it stops.
    ASSERT_EQ(ac.stream.size(), 3u);
    EXPECT_DOUBLE_EQ(ac.stream.back().lat, 48.1);
    EXPECT_EQ(ac.stream.back().stop, 1);
}

} // namespace
} // namespace enginetest
