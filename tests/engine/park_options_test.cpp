// Stands for live aircraft and the parking options the engine learns and searches.

#include "engine_fixture.h"

#include "airports/apf_state.h"
#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "engine/park_options.h"
#include "engine/static_parking.h"
#include "run/run_flags.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

constexpr double kMetresPerDegree = 1852.0 * 60.0;
constexpr double kHalfA320 = 0.0095; // nautical miles

enum Kind { Gate, Ramp, Heli, Cargo };

Stand& addStand(const std::string& name, double northMetres, double radiusMetres, Kind kind = Gate)
{
    const StandPlacement placement{northMetres / kMetresPerDegree, 0.0, 0.0};
    Stand& s = standTable.emplace_back(name, std::vector<ParkPosOption>{}, placement, radiusMetres,
                                       kind == Cargo ? 0 : 1, kind == Ramp ? 0 : 1, kind == Heli ? 0 : 1);
    s.id = static_cast<std::uint32_t>(standTable.size());
    return s;
}

ParkPosOption option(std::uint32_t day, std::initializer_list<int> slots, std::uint32_t number, std::uint32_t real = 1)
{
    ParkPosOption o;
    o.airl = "DLH";
    o.type = "A320";
    o.day = day;
    o.number = number;
    o.real = real;
    for (int slot : slots)
        o.hours.set(static_cast<std::size_t>(slot));
    return o;
}

class ParkOptionsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        clearAll();
        standTable.reserve(16); // the tests keep references to the stands they add
        RANDOM.value = false;
    }
    void TearDown() override
    {
        clearAll();
        EngineTest::TearDown();
    }
    static void clearAll()
    {
        standTable.clear();
        staticCandidates.clear();
        parkingCallsigns.clear();
        parkedStayers.clear();
        gf_clearHalfHourStamps();
        learnedUpdateCount = 0;
        userOnGround = false;
    }
    static LiveAc& aircraft(AcCategory category = AcCategory::Large, double halfWingspan = kHalfA320)
    {
        LiveAc& ac = addLive(0x3C6401, AcState::InSim, AcPhase::Taxi, position(0.0, 0.0));
        ac.desc.category = category;
        ac.desc.halfWingspan = halfWingspan;
        ac.desc.registration = "D-AIAB";
        return ac;
    }
    static LatLon north(double metres) { return {metres / kMetresPerDegree, 0.0}; }
};

TEST_F(ParkOptionsTest, ATooSmallStandIsTakenOnlyWithinTwentyMetresAndThenEnlarged)
{
    addStand("A1", 0.0, 10.0);
    LiveAc& ac = aircraft();
    EXPECT_EQ(lf_findNearestFreeStand(north(30.0), ac, 0.0297, false), standTable.end());
    EXPECT_EQ(standTable[0].radius, 10.0 * kNmPerMetre) << "a stand that is not taken keeps its size";

    const auto it = lf_findNearestFreeStand(north(15.0), ac, 0.0297, false);
    ASSERT_EQ(it, standTable.begin());
    EXPECT_TRUE(it->radiusChange);
    EXPECT_DOUBLE_EQ(it->radius, kHalfA320 - 0.0005399568034557236);
    EXPECT_EQ(learnedUpdateCount.load(), 1u);
}

TEST_F(ParkOptionsTest, HelipadsAndRotorcraftOnlyGoTogether)
{
    addStand("G1", 0.0, 40.0);
    LiveAc& heli = aircraft(AcCategory::Rotorcraft, 0.005);
    EXPECT_EQ(lf_findNearestFreeStand(north(5.0), heli, 0.0297, false), standTable.end());
    standTable.clear();
    addStand("H1", 0.0, 40.0, Heli);
    EXPECT_EQ(lf_findNearestFreeStand(north(5.0), heli, 0.0297, false), standTable.begin());
    heli.desc.category = AcCategory::Large;
    EXPECT_EQ(lf_findNearestFreeStand(north(5.0), heli, 0.0297, false), standTable.end());
}

TEST_F(ParkOptionsTest, WithTheStopFlagAStandUsedBeforeIsTheFallback)
{
    addStand("FAR", 70.0, 40.0).opts.push_back(option(1, {3}, 1));
    addStand("OCC", 0.0, 40.0).occupied = true;
    LiveAc& ac = aircraft();
    EXPECT_EQ(lf_findNearestFreeStand(north(0.0), ac, 0.0297, true), standTable.begin());
    EXPECT_EQ(lf_findNearestFreeStand(north(0.0), ac, 0.0297, false), standTable.end());
}

TEST_F(ParkOptionsTest, TheStandAtAPositionIsTheNearestWithin55MetresOnTheGround)
{
    addStand("A1", 0.0, 30.0);
    addStand("A2", 60.0, 30.0);
    userOnGround = true;
    EXPECT_EQ(lf_standNameAtPosition(north(40.0)), "A2");
    EXPECT_EQ(lf_standNameAtPosition(north(-54.0)), "A1");
    EXPECT_EQ(lf_standNameAtPosition(north(-56.0)), "");
    EXPECT_EQ(lf_standNameAtPosition(north(-54.0)), "A1");
    standTable[0].name = "B1"; // a new load of the stand file, into the same buffer
    ++standTableLoads;
    EXPECT_EQ(lf_standNameAtPosition(north(-54.0)), "B1");
    userOnGround = false;
    EXPECT_EQ(lf_standNameAtPosition(north(40.0)), "") << "in the air";
}

TEST_F(ParkOptionsTest, AKeyLearnsAtMostOnceInThreeHalfHoursAcrossMidnight)
{
    EXPECT_TRUE(lf_stampHalfHourSlot(gf_packDaySlot(1, 47), 7, false));
    EXPECT_FALSE(lf_stampHalfHourSlot(gf_packDaySlot(1, 47), 7, false));
    EXPECT_FALSE(lf_stampHalfHourSlot(gf_packDaySlot(2, 0), 7, false));
    EXPECT_FALSE(lf_stampHalfHourSlot(gf_packDaySlot(2, 1), 7, false));
    EXPECT_TRUE(lf_stampHalfHourSlot(gf_packDaySlot(2, 1), 7, true)) << "forced";
    EXPECT_TRUE(lf_stampHalfHourSlot(gf_packDaySlot(2, 4), 7, false));
    EXPECT_TRUE(lf_stampHalfHourSlot(gf_packDaySlot(2, 4), 8, false)) << "another key";
    gf_resetEngineQueues(); // a restart forgets the stamps
    EXPECT_TRUE(lf_stampHalfHourSlot(gf_packDaySlot(2, 4), 8, false));
}

TEST_F(ParkOptionsTest, ARealOptionIsLearnedAndFilledWhileTheAircraftStays)
{
    Stand& stand = addStand("A1", 0.0, 40.0);
    stand.opts.push_back(option(3, {}, 0)); // an empty entry at the end is dropped
    LiveAc& ac = aircraft();
    ac.desc.callsign.clear();
    EXPECT_FALSE(lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 10), false)) << "no callsign";
    ac.desc.callsign = "DLH4AB_";
    ASSERT_TRUE(lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 10), false));
    ASSERT_EQ(stand.opts.size(), 1u);
    const ParkPosOption& o = stand.opts[0];
    EXPECT_EQ(o.number, 1u);
    EXPECT_EQ(o.cs, "DLH4AB");
    EXPECT_EQ(o.day, 1u);
    EXPECT_EQ(o.real, 1u);

    // Three half hours later, leaving: the slots between are filled in.
    EXPECT_FALSE(lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 13), true));
    EXPECT_EQ(stand.opts[0].hours, lf_hours2bitset("10,11,12,13"));
    EXPECT_TRUE(stand.realOptionIndex.empty()) << "a leaving aircraft is forgotten";
    Stand& other = addStand("A2", 100.0, 40.0);
    EXPECT_TRUE(lf_addRealParkPosOption(other.id, ac, false, gf_packDaySlot(1, 13), true));
    EXPECT_TRUE(other.realOptionIndex.empty()) << "also when its option is new";

    // Too long a gap: only the slot itself is added, and the index entry is dropped.
    lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 20), false);
    lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 30), false);
    EXPECT_FALSE(stand.opts[0].hours.test(25));
    EXPECT_TRUE(stand.opts[0].hours.test(30));
    EXPECT_TRUE(stand.realOptionIndex.empty());
}

TEST_F(ParkOptionsTest, ParkingOverMidnightFillsBothWeekdays)
{
    Stand& stand = addStand("A1", 0.0, 40.0);
    LiveAc& ac = aircraft();
    ac.desc.callsign = "DLH4AB";
    stand.opts.push_back(option(2, {5}, 1));
    stand.opts[0].reg = "D-AIAB";
    ASSERT_TRUE(lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 46), false));
    ASSERT_TRUE(lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(2, 1), false));
    ASSERT_EQ(stand.opts.size(), 3u);
    EXPECT_TRUE(stand.opts[1].hours.test(47)) << "the rest of the first day";
    EXPECT_EQ(stand.opts[2].day, 2u);
    EXPECT_TRUE(stand.opts[2].hours.test(0));
    EXPECT_TRUE(stand.opts[2].hours.test(1));
    EXPECT_TRUE(stand.opts[0].hours.test(1)) << "the day's option found first gets the slot";
}

TEST_F(ParkOptionsTest, AnOptionFromTheAirportFileIsNeverChanged)
{
    Stand& stand = addStand("A1", 0.0, 40.0);
    stand.opts.push_back(option(1, {3}, 1));
    stand.opts[0].reg = "D-AIAB";
    stand.opts[0].fixed = 1;
    LiveAc& ac = aircraft();
    ac.desc.callsign = "DLH4AB";
    EXPECT_FALSE(lf_addRealParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 4), false));
    EXPECT_FALSE(stand.opts[0].hours.test(4));
    stand.realOptionIndex[ac.desc.key] = {1, 3, 1};
    EXPECT_FALSE(lf_addRealParkPosOption(stand.id, ac, true, gf_packDaySlot(1, 4), true));
    EXPECT_FALSE(stand.realOptionIndex.contains(ac.desc.key)) << "the leaving aircraft is forgotten";
    EXPECT_TRUE(lf_addSoftParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 4))) << "a soft option is new";
    EXPECT_FALSE(lf_addSoftParkPosOption(stand.id, ac, false, gf_packDaySlot(1, 4))) << "its slot is known";
}

TEST_F(ParkOptionsTest, StandSearchRanksByKindAndSize)
{
    gf_setParkAirport({"KJFK", "JFK", 0.0, 0.0, 0.0});
    addStand("R1", 0.0, 20.0, Ramp);
    addStand("G1", 200.0, 20.0);
    LiveAc& ac = aircraft();
    const DaySlot t = gf_packDaySlot(1, 10);
    EXPECT_EQ(lf_searchStandForLiveAc(t, ac, false)->name, "G1") << "'K' airports: gates first";
    ac.desc.category = AcCategory::Buzjets;
    EXPECT_EQ(lf_searchStandForLiveAc(t, ac, false)->name, "R1");
    standTable[0].ramp = false;
    EXPECT_EQ(lf_searchStandForLiveAc(t, ac, false), standTable.end()) << "a buzjet only ever takes a ramp stand";
}

TEST_F(ParkOptionsTest, AMatchingOptionOutranksACloserFitThatComesLater)
{
    gf_setParkAirport({"KJFK", "", 0.0, 0.0, 0.0});
    LiveAc& ac = aircraft();
    ac.desc.callsign = "DLH1";
    const double exact = kHalfA320 / kNmPerMetre;
    const double twoSteps = (kHalfA320 + 2 * 0.00755939524838013) / kNmPerMetre;
    addStand("BIG", 0.0, twoSteps).opts.push_back(option(3, {1}, 1));
    addStand("EXACT", 200.0, exact);
    const DaySlot t = gf_packDaySlot(1, 10);
    EXPECT_EQ(lf_searchStandForLiveAc(t, ac, false)->name, "BIG");
    std::swap(standTable[0], standTable[1]);
    EXPECT_EQ(lf_searchStandForLiveAc(t, ac, false)->name, "EXACT") << "the larger stand ranks above the best";
    standTable[1].opts.clear();
    standTable[1].radius = standTable[0].radius;
    EXPECT_EQ(lf_searchStandForLiveAc(t, ac, false)->name, "BIG") << "of equals, the later one";
}

TEST_F(ParkOptionsTest, ASmallAirportFullyBookedIsSearchedHalfAnHourLater)
{
    gf_setParkAirport({"KJFK", "", 0.0, 0.0, 0.0});
    LiveAc& ac = aircraft();
    const DaySlot t = gf_packDaySlot(7, 47);
    for (int i = 0; i < 10; ++i)
        addStand("G" + std::to_string(i), 100.0 * i, 40.0).opts.push_back(option(7, {47}, 1));
    standTable[4].opts[0].hours.set(0);
    standTable[4].opts.push_back(option(1, {0}, 2));
    const auto it = lf_searchStandForLiveAc(t, ac, true);
    ASSERT_NE(it, standTable.end());
    EXPECT_NE(it->name, "G4") << "booked at slot 0 of Monday";
    addStand("G10", 1000.0, 40.0).opts.push_back(option(7, {47}, 1));
    EXPECT_EQ(lf_searchStandForLiveAc(t, ac, true), standTable.end());
}

TEST_F(ParkOptionsTest, CoupledCallsignsComeFromAnOptionAroundNow)
{
    addStand("A1", 0.0, 40.0).opts.push_back(option(2, {14}, 1));
    ParkPosOption& o = standTable[0].opts[0];
    o.cs = "DLH1";
    LiveAc& ac = aircraft();
    ac.desc.airline = "DLH";
    ac.desc.callsign = "DLH1_";
    lf_searchForCoupledCsAroundThisTime(gf_packDaySlot(2, 4), ac);
    EXPECT_TRUE(ac.desc.cs.empty()) << "no second callsign, nothing coupled";
    o.csSuffix = "DLH2";
    lf_searchForCoupledCsAroundThisTime(gf_packDaySlot(2, 3), ac);
    EXPECT_TRUE(ac.desc.cs.empty()) << "slot 14 is beyond 3 + 10";
    lf_searchForCoupledCsAroundThisTime(gf_packDaySlot(2, 4), ac);
    EXPECT_EQ(ac.desc.cs, "DLH1");
    EXPECT_EQ(ac.desc.csSuffix, "DLH2");
}

TEST_F(ParkOptionsTest, TestRangeLooksBackAndTellsHowFarBeforeMidnight)
{
    const ParkPosOption o = option(1, {0, 45}, 1);
    std::int32_t reach = 0;
    EXPECT_TRUE(testRange(o, 2, 5, reach));
    EXPECT_EQ(reach, 3);
    EXPECT_FALSE(testRange(o, 44, 3, reach));
    EXPECT_LE(reach, 0);
    EXPECT_FALSE(testRange(o, 48, 1, reach)) << "slot 48 does not exist";
    EXPECT_EQ(gf_daySlotBefore(gf_packDaySlot(1, 2), 5), gf_packDaySlot(7, 45));
}

TEST_F(ParkOptionsTest, SearchStandsLooksBackIntoThePreviousDay)
{
    addStand("A1", 0.0, 40.0).opts.push_back(option(7, {45}, 1));
    std::vector<StaticCandidate> found;
    lf_searchStands(gf_packDaySlot(1, 2), kRealOption, 4, found);
    EXPECT_TRUE(found.empty());
    lf_searchStands(gf_packDaySlot(1, 2), kSoftOption, 5, found);
    EXPECT_TRUE(found.empty()) << "a soft search takes no real option";
    lf_searchStands(gf_packDaySlot(1, 2), kRealOption, 5, found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].sortKey, 5u);
    EXPECT_TRUE(found[0].searchFlag);
    EXPECT_TRUE(standTable[0].taken);
}

TEST_F(ParkOptionsTest, SearchStandsSkipsOptionsFlyingLive)
{
    Stand& a = addStand("A1", 0.0, 40.0);
    a.opts.push_back(option(1, {10}, 1));
    a.opts[0].cs = "DLH1";
    a.opts[0].csSuffix = "DLH2";
    Stand& b = addStand("B1", 200.0, 40.0);
    b.opts.push_back(option(1, {10}, 1));
    b.opts[0].cs = "DLH3";
    parkingCallsigns = {"DLH2", "DLH3_"};
    std::vector<StaticCandidate> found;
    lf_searchStands(gf_packDaySlot(1, 10), kRealOption, 0, found);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(standTable[0].opts[0].number, 1u) << "second callsign live: skipped, kept";
    EXPECT_EQ(standTable[1].opts[0].number, 0u) << "first callsign live: cleared";
}

TEST_F(ParkOptionsTest, ACandidateBlocksItsNeighboursAndKeepsTheArrivalCallsignOnlyWhileStaying)
{
    Stand& a = addStand("A1", 0.0, 40.0);
    a.opts.push_back(option(1, {10, 11}, 1));
    a.opts[0].cs = "DLH1";
    a.opts[0].csSuffix = "DLH2";
    Stand& b = addStand("B1", 30.0, 40.0);
    b.opts.push_back(option(1, {10}, 1));
    a.neighbours = {2};
    b.neighbours = {1};
    std::vector<StaticCandidate> found;
    lf_searchStands(gf_packDaySlot(1, 10), kRealOption, 0, found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].searchFlag) << "still there at slot 11";
    EXPECT_TRUE(standTable[1].neighbourBlocked);
    lf_searchStands(gf_packDaySlot(1, 10), kRealOption, 1, found);
    EXPECT_EQ(found.size(), 1u);

    standTable[0].taken = standTable[1].neighbourBlocked = false;
    found.clear();
    lf_searchStands(gf_packDaySlot(1, 11), kRealOption, 0, found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].searchFlag) << "gone at slot 12: shows its second callsign";
}

} // namespace
} // namespace enginetest
