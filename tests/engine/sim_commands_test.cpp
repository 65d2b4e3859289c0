#include "engine_fixture.h"

#include "airports/stand.h"
#include "engine/neighbour_services.h"
#include "engine/sim_command_handling.h"
#include "engine/live_removal.h"
#include "simlink/flight_plans.h"

#include <filesystem>
#include <limits>

#include <gtest/gtest.h>

namespace enginetest {
namespace {

SimCommand command(SimCommandType type, std::uint32_t objectId, std::uint32_t key, double first = 0.0,
                   double second = 0.0)
{
    SimCommand c;
    c.type = type;
    c.objectId = objectId;
    c.key = key;
    c.first = first;
    c.second = second;
    return c;
}

void drainPasses(int count)
{
    for (int i = 0; i < count; ++i)
        gf_SimCommands();
}

StaticAc& addStatic(std::uint32_t key, AcState state, std::uint32_t objectId = 0)
{
    AcIdentity id;
    id.callsign = "STA" + std::to_string(key);
    AcDescription desc = gf_makeAircraftDescription(id);
    desc.key = key;
    StaticAc& ac = staticAcTable.emplace_back(std::move(desc), 0, StandPose{}, false);
    ac.state = state;
    ac.objectId = objectId;
    return ac;
}

class SimCommands : public EngineTest {
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
        gf_clearSimCommands();
        standTable.clear();
        EngineTest::TearDown();
    }
};

TEST_F(SimCommands, LiveAircraftIsActivatedOnThe201stPassAfterBinding)
{
    addLive(0x3C6444, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5, 0.0));
    gf_pushSimCommand(command(SimCommandType::LiveCreated, 40, 0x3C6444, 0.0, 3.5));
    drainPasses(200); // the binding pass counts as the first
    LiveAc& ac = liveAcTable.front();
    EXPECT_EQ(ac.objectId, 40u);
    EXPECT_EQ(ac.groundMode, 1);
    EXPECT_EQ(ac.state, AcState::Creating);
    ASSERT_EQ(activationList.size(), 1u);
    EXPECT_EQ(activationList.front().reserved, 200u);
    drainPasses(1);
    EXPECT_EQ(ac.state, AcState::InSim);
    EXPECT_TRUE(activationList.empty());
}

TEST_F(SimCommands, ARemovedAircraftsActivationGoesWithIt)
{
    addLive(0x3C6444, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5, 0.0));
    gf_pushSimCommand(command(SimCommandType::LiveCreated, 40, 0x3C6444));
    drainPasses(10);
    gf_pushSimCommand(command(SimCommandType::Removed, 40, 0));
    drainPasses(1);
    EXPECT_TRUE(liveAcTable.empty());
    EXPECT_TRUE(activationList.empty());
    // The same hex id received again makes a new buffered aircraft, which nothing activates.
    addLive(0x3C6444, AcState::Buffered, AcPhase::New, position(48.1, 11.5, 0.0));
    drainPasses(200);
    EXPECT_EQ(liveAcTable.front().state, AcState::Buffered);
}

TEST_F(SimCommands, ObjectIdsBelowThreeAreNotBound)
{
    addLive(0x3C6444, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5, 0.0));
    gf_pushSimCommand(command(SimCommandType::LiveCreated, 2, 0x3C6444));
    drainPasses(1);
    EXPECT_EQ(liveAcTable.front().objectId, 0u);
    EXPECT_TRUE(activationList.empty());
}

TEST_F(SimCommands, StaticEntryWaitsForItsAircraftAndRemovesAnUnwantedOne)
{
    gf_pushSimCommand(command(SimCommandType::StaticCreated, 77, 5));
    drainPasses(250);
    ASSERT_EQ(activationList.size(), 1u); // no static aircraft with key 5 yet: looked up again
    StaticAc& ac = addStatic(5, AcState::Creating);
    ac.removeWhenCreated = 1;
    drainPasses(1);
    EXPECT_TRUE(activationList.empty());
    EXPECT_EQ(ac.objectId, 77u);
    EXPECT_EQ(ac.state, AcState::Removing);
    EXPECT_EQ(ac.throttleStep, 0u); // shut down
    ASSERT_EQ(removalsToHandOver.size(), 1u);
    EXPECT_EQ(removalsToHandOver.front(), 77u);
}

TEST_F(SimCommands, RemovedObjectsEraseTheirRecordsAndSendRespawnsBack)
{
    addLive(0x100001, AcState::Removing, AcPhase::Taxi, position(48.1, 11.5), 41);
    LiveAc& respawn = addLive(0x100002, AcState::Respawning, AcPhase::Taxi, position(48.1, 11.5), 42);
    respawn.throttleStep = 2;
    respawn.flapsStep = 1;
    addLive(0x100003, AcState::Buffered, AcPhase::New, position(48.1, 11.5));
    addStatic(7, AcState::Removing, 43);
    for (std::uint32_t id : {41u, 42u, 43u, 0u})
        gf_pushSimCommand(command(SimCommandType::Removed, id, 0));
    drainPasses(1);
    ASSERT_EQ(liveAcTable.size(), 2u); // the buffered one (object id 0) stays
    EXPECT_EQ(liveAcTable[0].desc.key, 0x100003u); // the last record took the erased one's place
    const LiveAc& back = liveAcTable[1];
    EXPECT_EQ(back.state, AcState::Buffered);
    EXPECT_EQ(back.objectId, 0u);
    EXPECT_EQ(back.throttleStep, 5u);
    EXPECT_EQ(back.flapsStep, 4u);
    EXPECT_TRUE(staticAcTable.empty());
}

TEST_F(SimCommands, StaticCgOutsideItsRangeKeepsTheOldValueAndOddPitchesBecomeDefault)
{
    LiveAc& ac = addLive(0x100001, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 41);
    const double deg = geo::kDegToRad;
    gf_pushSimCommand(command(SimCommandType::StaticCg, 41, 0, 10.0, 1.0 * deg));
    drainPasses(1);
    EXPECT_DOUBLE_EQ(ac.desc.staticCgHeight, 10.0);
    EXPECT_DOUBLE_EQ(ac.desc.staticPitch, 1.0 * deg);
    for (const double cg : {0.5, 40.0}) {
        gf_pushSimCommand(command(SimCommandType::StaticCg, 41, 0, cg, 3.0 * deg));
        drainPasses(1);
        EXPECT_DOUBLE_EQ(ac.desc.staticCgHeight, 10.0);
        EXPECT_DOUBLE_EQ(ac.desc.staticPitch, 0.012217304763960306);
    }
    gf_pushSimCommand(command(SimCommandType::StaticCg, 41, 0, 35.0, -1.0 * deg));
    drainPasses(1);
    EXPECT_DOUBLE_EQ(ac.desc.staticCgHeight, 35.0);
    EXPECT_DOUBLE_EQ(ac.desc.staticPitch, 0.012217304763960306);
    // Values that are not numbers are out of range as well, and never reach the ground pose.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    gf_pushSimCommand(command(SimCommandType::StaticCg, 41, 0, nan, nan));
    ac.groundMode = 1;
    ac.pose.altitude = 100.0;
    gf_pushSimCommand(command(SimCommandType::GroundData, 41, 1, nan, 0.0));
    drainPasses(1);
    EXPECT_DOUBLE_EQ(ac.desc.staticCgHeight, 35.0);
    EXPECT_DOUBLE_EQ(ac.desc.staticPitch, 0.012217304763960306);
    EXPECT_DOUBLE_EQ(ac.pose.altitude, 100.0);
}

TEST_F(SimCommands, AFlightPlanThatCannotBeDeletedLeavesNoRecordBehind)
{
    LiveAc& ac = addLive(0x100001, AcState::Removing, AcPhase::Taxi, position(48.1, 11.5), 41);
    ac.flightPlanSet = 1;
    // A folder in the file's place cannot be removed as a file.
    const fs::path plan = gf_flightPlanFolderPath() / gf_flightPlanFileName(41);
    fs::create_directories(plan / "busy");
    gf_pushSimCommand(command(SimCommandType::Removed, 41, 0));
    EXPECT_NO_THROW(drainPasses(1));
    EXPECT_TRUE(liveAcTable.empty());
    gf_waitForFlightPlans();
    EXPECT_NE(logText().find("flight plan " + plan.string() + " not deleted"), std::string::npos);
    fs::remove_all(plan);
}

// An in-range reply brings a command per aircraft; records erased in the same drain move others,
// and a command for an erased object finds no record.
TEST_F(SimCommands, ObjectsAreFoundAfterRecordsMovedInOneDrain)
{
    addLive(0x100100, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5));
    for (std::uint32_t i = 0; i < 12; ++i)
        addLive(0x100000 + i, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 40 + i);
    for (std::uint32_t i = 0; i < 12; ++i)
        gf_pushSimCommand(command(SimCommandType::GroundData, 40 + i, 0, 500.0 + i, 3.0));
    gf_pushSimCommand(command(SimCommandType::Removed, 45, 0)); // 51 moves into its place
    gf_pushSimCommand(command(SimCommandType::GroundData, 45, 0, 900.0, 3.0));
    gf_pushSimCommand(command(SimCommandType::StaticCg, 51, 0, 20.0, 0.0));
    // An object bound in the same drain is found by its id right after.
    gf_pushSimCommand(command(SimCommandType::LiveCreated, 60, 0x100100));
    gf_pushSimCommand(command(SimCommandType::StaticCg, 60, 0, 21.0, 0.0));
    drainPasses(1);
    ASSERT_EQ(liveAcTable.size(), 12u);
    const LiveAc& moved = liveAcTable[6];
    EXPECT_EQ(moved.objectId, 51u);
    EXPECT_EQ(moved.reportedGround, 511.0);
    EXPECT_EQ(moved.desc.staticCgHeight, 20.0);
    EXPECT_EQ(liveAcTable[0].objectId, 60u);
    EXPECT_EQ(liveAcTable[0].desc.staticCgHeight, 21.0);

    // The pass's erasure closes the gaps: the records after them move up, found by their ids.
    liveAcTable.eraseIf([](const LiveAc& ac) { return ac.objectId == 41 || ac.objectId == 43; });
    gf_pushSimCommand(command(SimCommandType::StaticCg, 51, 0, 22.0, 0.0));
    gf_pushSimCommand(command(SimCommandType::StaticCg, 44, 0, 23.0, 0.0));
    drainPasses(1);
    ASSERT_EQ(liveAcTable.size(), 10u);
    EXPECT_EQ(liveAcTable[4].objectId, 51u);
    EXPECT_EQ(liveAcTable[4].desc.staticCgHeight, 22.0);
    EXPECT_EQ(liveAcTable[3].objectId, 44u);
    EXPECT_EQ(liveAcTable[3].desc.staticCgHeight, 23.0);

    // Two records of one object id, another between them: the first is found, and once it has
    // gone, the other.
    addLive(0x100200, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 70);
    addLive(0x100201, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 71);
    addLive(0x100202, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 70);
    gf_pushSimCommand(command(SimCommandType::StaticCg, 70, 0, 24.0, 0.0));
    drainPasses(1);
    EXPECT_EQ(liveAcTable[10].desc.staticCgHeight, 24.0);
    EXPECT_NE(liveAcTable[12].desc.staticCgHeight, 24.0);
    liveAcTable.eraseIf([](const LiveAc& ac) { return ac.desc.key == 0x100200; });
    gf_pushSimCommand(command(SimCommandType::StaticCg, 70, 0, 25.0, 0.0));
    drainPasses(1);
    ASSERT_EQ(liveAcTable.size(), 12u);
    EXPECT_EQ(liveAcTable[11].desc.key, 0x100202u);
    EXPECT_EQ(liveAcTable[11].desc.staticCgHeight, 25.0);
    EXPECT_NE(liveAcTable[10].desc.staticCgHeight, 25.0);
}

TEST_F(SimCommands, BlockedAircraftGoFromBufferOrSimulator)
{
    addLive(0x100001, AcState::Buffered, AcPhase::New, position(48.1, 11.5));
    addLive(0x100002, AcState::InSim, AcPhase::Taxi, position(48.1, 11.5), 42);
    addLive(0x100003, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5));
    for (std::uint32_t key : {0x100001u, 0x100002u, 0x100003u})
        gf_pushSimCommand(command(SimCommandType::Block, 0, key));
    drainPasses(1);
    EXPECT_EQ(liveAcTable[0].erase, 1);
    EXPECT_EQ(liveAcTable[1].state, AcState::Removing);
    EXPECT_EQ(liveAcTable[2].state, AcState::Creating);
    EXPECT_EQ(removalsToHandOver.size(), 1u);
}

TEST_F(SimCommands, RefusedCreationErasesStaticUpToKey10000AndLiveAbove)
{
    for (std::uint32_t id : {1u, 2u}) {
        standTable.emplace_back("A" + std::to_string(id), std::vector<ParkPosOption>{},
                                StandPlacement{48.1, 11.5, 0.0}, 20.0, 0, 0, 0);
        standTable.back().id = id;
        standTable.back().occupied = true;
    }
    // A static aircraft that made way for a live one on stand 1 while its creation was queued.
    addStatic(10000, AcState::Creating).standId = 1;
    addStatic(9, AcState::Creating);
    gf_occupyStand(addLive(10001, AcState::Creating, AcPhase::Parked, position(48.1, 11.5)), standTable[1]);
    gf_pushSimCommand(command(SimCommandType::CreateRefused, 0, 10000));
    gf_pushSimCommand(command(SimCommandType::CreateRefused, 0, 10001));
    drainPasses(1);
    ASSERT_EQ(staticAcTable.size(), 1u);
    EXPECT_EQ(staticAcTable.front().desc.key, 9u);
    EXPECT_TRUE(liveAcTable.empty());
    EXPECT_TRUE(standTable[0].occupied); // the live aircraft's: the static one never held it
    EXPECT_FALSE(standTable[1].occupied); // a refused aircraft frees the stand it held
}

TEST_F(SimCommands, AFailingCommandDoesNotLoseTheOthers)
{
    LiveAc& broken = addLive(0x100001, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5));
    broken.stream.clear();
    addStatic(9, AcState::Creating);
    gf_pushSimCommand(command(SimCommandType::LiveCreated, 40, 0x100001));
    gf_pushSimCommand(command(SimCommandType::CreateRefused, 0, 9));
    EXPECT_THROW(gf_SimCommands(), std::out_of_range);
    EXPECT_TRUE(staticAcTable.empty());
    EXPECT_TRUE(gf_takeSimCommands().empty());
}

TEST_F(SimCommands, AnAircraftRemovedBeforeItsActivationStaysRemoved)
{
    LiveAc& ac = addLive(0x3C6444, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5, 0.0));
    gf_pushSimCommand(command(SimCommandType::LiveCreated, 40, 0x3C6444));
    drainPasses(10);
    gf_removeAc(ac);
    drainPasses(200);
    EXPECT_EQ(ac.state, AcState::Removing);
    EXPECT_TRUE(activationList.empty());
}

TEST_F(SimCommands, AnAircraftTakenOutWhileItsCreationIsUnderWayLeavesNoObject)
{
    // Its request not built yet, built and queued, and with the simulator.
    LiveAc& pending = addLive(0x100001, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5));
    acToCreate.push_back(0x100001);
    LiveAc& queued = addLive(0x100002, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5));
    liveCreationQueue.emplace_back().key = 0x100002;
    LiveAc& sent = addLive(0x100003, AcState::Creating, AcPhase::Taxi, position(48.1, 11.5));
    StaticAc& sentStatic = addStatic(9, AcState::Creating);
    for (StaticAc* ac : std::initializer_list<StaticAc*>{&pending, &queued, &sent, &sentStatic})
        gf_removeAc(*ac);
    EXPECT_TRUE(acToCreate.empty());
    EXPECT_TRUE(liveCreationQueue.empty());
    EXPECT_EQ(pending.erase, 1);
    EXPECT_EQ(queued.erase, 1);
    EXPECT_EQ(sent.state, AcState::Removing);
    gf_pushSimCommand(command(SimCommandType::LiveCreated, 40, 0x100003));
    gf_pushSimCommand(command(SimCommandType::StaticCreated, 41, 9));
    drainPasses(1);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{40, 41}));
    EXPECT_TRUE(activationList.empty());
    gf_removeAc(sent); // removed already: nothing more is queued
    EXPECT_EQ(removalsToHandOver.size(), 2u);
}

} // namespace
} // namespace enginetest
