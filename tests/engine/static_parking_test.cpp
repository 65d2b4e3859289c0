// Static aircraft made from the waiting candidates of the parking calculation.

#include "engine_fixture.h"

#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "engine/park_options.h"
#include "engine/static_parking.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

class StaticParkingTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        standTable.clear();
        staticCandidates.clear();
        for (const char* name : {"A1", "A2", "A3"}) {
            Stand& s = standTable.emplace_back(name, std::vector<ParkPosOption>{}, StandPlacement{0.0, 0.0, 1.0}, 40.0,
                                               1, 1, 1);
            s.id = static_cast<std::uint32_t>(standTable.size());
        }
        standTable[0].neighbours = {2};
        standTable[1].neighbours = {1};
    }
    void TearDown() override
    {
        standTable.clear();
        staticCandidates.clear();
        EngineTest::TearDown();
    }
    static StaticCandidate candidate(std::uint32_t standId)
    {
        return {standId, 0, "DLH", "A320", "DLH1", "DLH2", "D-AIAB", true};
    }
    static StaticAc& addStatic(std::uint32_t standId, const std::string& callsign, AcState state)
    {
        StaticAc& ac = staticAcTable.emplace_back();
        ac.standId = standId;
        ac.desc.callsign = callsign;
        ac.desc.key = static_cast<std::uint32_t>(staticAcTable.size());
        ac.state = state;
        return ac;
    }
};

TEST_F(StaticParkingTest, TheStaticKeyRunsUpTo9999AndStartsAgainAt1)
{
    staticKey = 9998;
    EXPECT_EQ(gf_nextStaticKey(), 9999u);
    EXPECT_EQ(gf_nextStaticKey(), 1u);
    EXPECT_EQ(gf_nextStaticKey(), 2u);
}

TEST_F(StaticParkingTest, TheCallsignFollowsTheChooserAndEndsInAStar)
{
    StaticCandidate c = candidate(1);
    c.cs = "DLH1__";
    EXPECT_EQ(lf_staticCallsign({}, c), "DLH1*");
    c.searchFlag = false;
    EXPECT_EQ(lf_staticCallsign({}, c), "DLH2*");
    c.csSuffix = "DLH2*";
    EXPECT_EQ(lf_staticCallsign({}, c), "DLH2*");
    c.csSuffix.clear();
    EXPECT_EQ(lf_staticCallsign({}, c), "DLH1*") << "no second callsign: the first, never a bare star";
}

TEST_F(StaticParkingTest, AnAircraftOnTheStandOrNextToItKeepsTheCandidateOut)
{
    LOG.value = true;
    LiveAc& live = addLive(0x400001, AcState::InSim, AcPhase::Parked, position(0.0, 0.0));
    live.standId = 2;
    live.desc.callsign = "EWG9";
    staticCandidates = {candidate(1)};
    lf_parkStatic();
    EXPECT_TRUE(staticCandidates.empty()) << "the candidate is used up";
    EXPECT_TRUE(staticAcTable.empty());
    EXPECT_NE(logText().find("no static parking for DLH1, live aircraft EWG9 is adjacent at A2"), std::string::npos);

    live.setPhase(AcPhase::Taxi);
    addStatic(1, "BAW1*", AcState::Removing);
    staticCandidates = {candidate(1)};
    lf_parkStatic();
    EXPECT_EQ(staticAcTable.size(), 1u);
    EXPECT_NE(logText().find("no static parking for DLH1, static aircraft BAW1* is adjacent at A1"), std::string::npos);
}

TEST_F(StaticParkingTest, ACancelledStaticRecordDoesNotBlockItsStand)
{
    LOG.value = true;
    addStatic(1, "BAW1*", AcState::Creating).erase = 1;
    staticCandidates = {candidate(1)};
    lf_parkStatic();
    EXPECT_EQ(logText().find("no static parking"), std::string::npos);
}

TEST_F(StaticParkingTest, WithoutALiveryNothingIsQueued)
{
    staticCandidates = {candidate(3), candidate(3)};
    lf_parkStatic();
    EXPECT_EQ(staticCandidates.size(), 1u);
    EXPECT_TRUE(staticAcTable.empty());
    EXPECT_TRUE(staticCreationQueue.empty());
    staticCandidates = {candidate(9)};
    lf_parkStatic();
    EXPECT_NE(logText().find("stand with id unknown not found"), std::string::npos);
}

TEST_F(StaticParkingTest, CancellingAQueuedCreationErasesItsRecordOnly)
{
    addStatic(1, "DLH1*", AcState::Creating);
    addStatic(3, "BAW1*", AcState::Creating);
    for (const StaticAc& ac : staticAcTable) {
        AcCreateRecord r;
        r.callsign = ac.desc.callsign;
        r.key = ac.desc.key;
        staticCreationQueue.push_back(r);
    }
    EXPECT_FALSE(lf_cancelQueuedStaticCreation("EZY1*"));
    EXPECT_TRUE(lf_cancelQueuedStaticCreation("DLH1*"));
    ASSERT_EQ(staticAcTable.size(), 1u);
    EXPECT_EQ(staticAcTable[0].desc.callsign, "BAW1*");
    ASSERT_EQ(staticCreationQueue.size(), 1u);
    EXPECT_EQ(staticCreationQueue[0].callsign, "BAW1*");
}

} // namespace
} // namespace enginetest
