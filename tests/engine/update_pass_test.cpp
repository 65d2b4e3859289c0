#include "engine_fixture.h"

#include "airports/stand.h"
#include "engine/live_removal.h"
#include "engine/neighbour_services.h"
#include "params/parameters.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

AcCreateRecord creation(std::uint32_t key)
{
    AcCreateRecord record;
    record.key = key;
    return record;
}

void runPasses(int count)
{
    for (int i = 0; i < count; ++i)
        gf_updateAI();
}

using UpdatePass = EngineTest;

TEST_F(UpdatePass, TenSecondsHandOverTwentyCreationsLiveFirst)
{
    for (std::uint32_t i = 0; i < 30; ++i) {
        liveCreationQueue.push_back(creation(20000 + i));
        staticCreationQueue.push_back(creation(1 + i));
    }
    runPasses(1000);
    EXPECT_EQ(passCounter.load(), 1000);
    EXPECT_EQ(liveCreationQueue.size(), 10u);
    EXPECT_EQ(staticCreationQueue.size(), 30u);
}

TEST_F(UpdatePass, StaticCreationOnlyInASlotWithoutLiveCreation)
{
    liveCreationQueue.push_back(creation(20000));
    staticCreationQueue.push_back(creation(1));
    staticCreationQueue.push_back(creation(2));
    runPasses(51); // slots 0 and 50
    EXPECT_TRUE(liveCreationQueue.empty());
    ASSERT_EQ(staticCreationQueue.size(), 1u);
    EXPECT_EQ(staticCreationQueue.front().key, 2u);
}

TEST_F(UpdatePass, OneRemovalEveryTenPasses)
{
    for (std::uint32_t id = 10; id < 20; ++id)
        removalsToHandOver.push_back(id);
    runPasses(21); // passes 0, 10 and 20
    ASSERT_EQ(removalsToHandOver.size(), 7u);
    EXPECT_EQ(removalsToHandOver.front(), 13u);
}

TEST_F(UpdatePass, CreationRequestFromTheLastSpawnedAircraft)
{
    StreamPosition first = position(48.1, 11.5, 0.0);
    LiveAc& ac = addLive(0x3C6444, AcState::Creating, AcPhase::Taxi, first);
    ac.pose.heading = 1.0;
    ac.pose.pitch = -0.1;
    ac.desc.liveryTitle = "Some livery";
    acToCreate = {0x123456, 0x3C6444};
    gf_updateAI();
    ASSERT_EQ(liveCreationQueue.size(), 1u);
    const AcCreateRecord& record = liveCreationQueue.front();
    EXPECT_EQ(record.key, 0x3C6444u);
    EXPECT_DOUBLE_EQ(record.heading, 57.29577951308232);
    EXPECT_DOUBLE_EQ(record.pitch, -5.729577951308232);
    EXPECT_EQ(record.onGround, 1u);
    EXPECT_EQ(record.airspeed, 0u);
    EXPECT_EQ(record.callsign, ac.desc.callsign);
    EXPECT_EQ(record.liveryTitle, "Some livery");
    // The hex id whose record is gone is dropped without a request.
    gf_updateAI();
    EXPECT_TRUE(acToCreate.empty());
    EXPECT_EQ(liveCreationQueue.size(), 1u);
}

TEST_F(UpdatePass, ErasedRecordsAreCompactedInOrder)
{
    // Buffered far ahead of their due pass: they wait.
    addLive(20001, AcState::Buffered, AcPhase::New, position(1, 1, 10.0, 5000));
    addLive(20002, AcState::Buffered, AcPhase::New, position(1, 1, 10.0, 5000)).erase = 1;
    addLive(20003, AcState::Buffered, AcPhase::New, position(1, 1, 10.0, 5000));
    lf_updateAllLiveAc();
    ASSERT_EQ(liveAcTable.size(), 2u);
    EXPECT_EQ(liveAcTable[0].desc.key, 20001u);
    EXPECT_EQ(liveAcTable[1].desc.key, 20003u);
    // The key index follows the records it points at.
    EXPECT_EQ(gf_findLiveAc(20003), &liveAcTable[1]);
    EXPECT_EQ(gf_findLiveAc(20002), nullptr);
    // So does the callsign index, through a new callsign, the first record of a callsign first.
    const auto any = [](const LiveAc&) { return true; };
    EXPECT_EQ(liveAcTable.findByCallsign("DLH3", any), &liveAcTable[1]);
    EXPECT_EQ(liveAcTable.findByCallsign("DLH2", any), nullptr);
    liveAcTable.setCallsign(liveAcTable[1], "DLH1");
    EXPECT_EQ(liveAcTable.findByCallsign("DLH3", any), nullptr);
    EXPECT_EQ(liveAcTable.findByCallsign("DLH1", any), &liveAcTable[0]);
    liveAcTable[0].erase = 1;
    EXPECT_EQ(liveAcTable.findByCallsign("DLH1", [](const LiveAc& ac) { return ac.erase == 0; }), &liveAcTable[1]);
}

TEST_F(UpdatePass, RemovalOfRecordsByState)
{
    LiveAc& buffered = addLive(20001, AcState::Buffered, AcPhase::New, position(1, 1));
    buffered.standId = 7;
    gf_removeAc(buffered);
    EXPECT_EQ(buffered.erase, 1);
    EXPECT_EQ(buffered.state, AcState::Buffered);
    EXPECT_TRUE(removalsToHandOver.empty());

    LiveAc& inSim = addLive(20002, AcState::InSim, AcPhase::Taxi, position(1, 1), 55);
    gf_removeAc(inSim);
    EXPECT_EQ(inSim.state, AcState::Removing);
    ASSERT_EQ(removalsToHandOver.size(), 1u);
    EXPECT_EQ(removalsToHandOver.front(), 55u);

    LiveAc& noObject = addLive(20003, AcState::InSim, AcPhase::Taxi, position(1, 1), 0);
    gf_removeAc(noObject);
    EXPECT_EQ(noObject.state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver.size(), 1u);
    EXPECT_NE(logText().find("removing act DLH3"), std::string::npos);

    // Being created again: the respawn queued its object's removal already.
    LiveAc& respawning = addLive(20004, AcState::Respawning, AcPhase::Taxi, position(1, 1), 56);
    removalsToHandOver.push_back(56);
    gf_removeAc(respawning);
    EXPECT_EQ(respawning.state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{55, 56}));
}

TEST_F(UpdatePass, RemovalFreesTheStandOfAnAircraftInTheSimulator)
{
    standTable.clear();
    for (std::uint32_t id = 1; id <= 2; ++id) {
        Stand& stand = standTable.emplace_back("A" + std::to_string(id), std::vector<ParkPosOption>{},
                                               StandPlacement{1.0, 1.0, 0.0}, 30.0, 0, 0, 0);
        stand.id = id;
        stand.occupied = true;
    }
    LiveAc& buffered = addLive(20001, AcState::Buffered, AcPhase::New, position(1, 1));
    buffered.standId = 2;
    gf_removeAc(buffered);
    EXPECT_TRUE(standTable[1].occupied); // never reached the simulator: the stand is left alone
    LiveAc& parked = addLive(20002, AcState::InSim, AcPhase::Parked, position(1, 1), 60);
    gf_occupyStand(parked, standTable[1]);
    gf_removeAc(parked);
    EXPECT_TRUE(standTable[0].occupied);
    EXPECT_FALSE(standTable[1].occupied);
    standTable.clear();
}

TEST_F(UpdatePass, FarthestAircraftOnlyBeyondTheDistanceWithMargin)
{
    // 5.05 NM north of the user: within the 0.1 NM margin of 5.0.
    addLive(20001, AcState::InSim, AcPhase::Airborne, position(5.05 / 60.0, 0.0), 31);
    EXPECT_TRUE(lf_removeFarthestLiveAc(5.0));
    EXPECT_TRUE(removalsToHandOver.empty());
    EXPECT_FALSE(lf_removeFarthestLiveAc(4.9));
    EXPECT_EQ(removalsToHandOver.size(), 1u);
}

TEST_F(UpdatePass, MaxLiveRemovesFarthestFirst)
{
    addLive(20001, AcState::InSim, AcPhase::Airborne, position(0.1, 0.0), 31);
    addLive(20002, AcState::InSim, AcPhase::Airborne, position(0.3, 0.0), 32);
    addLive(20003, AcState::InSim, AcPhase::Airborne, position(0.2, 0.0), 33);
    addLive(20004, AcState::Buffered, AcPhase::New, position(0.9, 0.0));
    gf_applyMaxLive(); // default: not in force
    EXPECT_TRUE(removalsToHandOver.empty());
    MAX_LIVE.value = 1;
    gf_applyMaxLive();
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{32, 33}));
    MAX_LIVE.value = 0;
    gf_applyMaxLive();
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{32, 33, 31}));
    EXPECT_EQ(liveAcTable[3].state, AcState::Buffered);
}

TEST_F(UpdatePass, RemoveAllLiveCancelsQueuedCreations)
{
    standTable.clear();
    standTable.emplace_back("A1", std::vector<ParkPosOption>{}, StandPlacement{1.0, 1.0, 0.0}, 30.0, 0, 0, 0).id = 1;
    gf_occupyStand(addLive(20001, AcState::Creating, AcPhase::Parked, position(1, 1)), standTable[0]);
    addLive(20002, AcState::Creating, AcPhase::Taxi, position(1, 1));
    addLive(20003, AcState::Creating, AcPhase::Taxi, position(1, 1));
    addLive(20004, AcState::InSim, AcPhase::Taxi, position(1, 1), 40);
    // Bound, but its configuration a few hundred passes later would come after the exit.
    addLive(20005, AcState::Creating, AcPhase::Taxi, position(1, 1), 41);
    liveCreationQueue.push_back(creation(20001));
    acToCreate.push_back(20002);
    gf_removeAllLiveAc();
    EXPECT_TRUE(liveCreationQueue.empty());
    EXPECT_EQ(liveAcTable[0].erase, 1);
    EXPECT_EQ(liveAcTable[1].erase, 1);
    EXPECT_EQ(liveAcTable[2].removeWhenCreated, 1); // already with the simulator
    EXPECT_EQ(liveAcTable[4].state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{40, 41}));
    lf_updateAllLiveAc();
    EXPECT_FALSE(standTable[0].occupied) << "a cancelled aircraft frees the stand it held";
    standTable.clear();
}

TEST_F(UpdatePass, QueuedLiveCreationCancelledByCallsign)
{
    LiveAc& ac = addLive(20001, AcState::Creating, AcPhase::Taxi, position(1, 1));
    AcCreateRecord record = creation(20001);
    record.callsign = ac.desc.callsign;
    liveCreationQueue = {creation(20002), record};
    EXPECT_FALSE(gf_cancelQueuedLiveCreation("NOPE"));
    EXPECT_TRUE(gf_cancelQueuedLiveCreation(ac.desc.callsign));
    ASSERT_EQ(liveCreationQueue.size(), 1u);
    EXPECT_EQ(liveCreationQueue.front().key, 20002u);
    EXPECT_EQ(ac.erase, 1);
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

// The exit hands every removal over while it holds simConnectMutex.
TEST_F(UpdatePass, AllRemovalsHandedOverUnderTheSimConnectLock)
{
    removalsToHandOver = {31, 32, 33};
    {
        std::lock_guard lock(simConnectMutex);
        gf_handOverAllRemovals();
    }
    EXPECT_TRUE(removalsToHandOver.empty());
}

} // namespace
} // namespace enginetest
