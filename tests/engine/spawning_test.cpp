#include "engine_fixture.h"

#include "airports/park_airport_list.h"
#include "airports/stand.h"
#include "engine/live_update.h"
#include "engine/spawning.h"
#include "liveries/dbase.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"
#include "engine/update_pass.h"
#include "simlink/sim_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

namespace enginetest {
namespace {

constexpr double kMetreLat = 1.0 / 111120.0; // degrees of latitude per metre
constexpr double kA320HalfSpanNm = 0.0097;    // 18 m

class Spawning : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        userOnGround = false;
        standTable.clear();
        reservedStand.clear();
        liveryByHexId.clear();
        dbaseTables.DbaseRegcodes.clear();
    }
    void TearDown() override
    {
        standTable.clear();
        reservedStand.clear();
        liveryByHexId.clear();
        dbaseTables.DbaseRegcodes.clear();
        userOnGround = false;
        EngineTest::TearDown();
    }

    // A buffered aircraft as the intake makes it (no pose yet), with its livery known.
    static LiveAc& buffered(std::uint32_t hexId, std::initializer_list<StreamPosition> positions)
    {
        LiveAc& ac = addLive(hexId, AcState::Buffered, AcPhase::New, *positions.begin());
        ac.pose = {};
        for (auto it = positions.begin() + 1; it != positions.end(); ++it)
            ac.stream.push_back(*it);
        liveryByHexId[hexId] = "Airbus A320 Lufthansa";
        return ac;
    }
    static StreamPosition airborne(double lat, double lon, std::int32_t due, double track = 0.0)
    {
        StreamPosition p = position(lat, lon, 250.0, due);
        p.airborne = 1;
        p.altitude = 8000.0;
        p.track = track;
        return p;
    }
    static LiveAc& ac(std::uint32_t hexId) { return *gf_findLiveAc(hexId); }
    // One pass of every aircraft, as the update pass runs it (erased records are kept).
    static void passAll()
    {
        for (LiveAc& a : liveAcTable)
            updateLiveAc(a);
    }
    static Stand& addStand(const std::string& name, std::uint32_t id, double lat, double lon)
    {
        Stand& stand = standTable.emplace_back(name, std::vector<ParkPosOption>{}, StandPlacement{lat, lon, 1.0},
                                               30.0, 1, 1, 1);
        stand.id = id;
        return stand;
    }
    static StaticAc& addStatic(std::uint32_t key, std::uint32_t standId, std::uint32_t objectId)
    {
        AcIdentity id;
        id.type = "A320";
        id.callsign = "STAT" + std::to_string(key);
        StaticAc& parked = staticAcTable.emplace_back(gf_makeAircraftDescription(id), standId, StandPose{}, false);
        parked.desc.key = key;
        parked.state = AcState::InSim;
        parked.objectId = objectId;
        parked.desc.halfWingspan = kA320HalfSpanNm;
        return parked;
    }
};

TEST_F(Spawning, IsSpawnedWhenItsOldestPositionIsNearlyDue)
{
    buffered(30001, {position(1, 1, 10.0, 1000), position(1.001, 1, 10.0, 1100)});
    buffered(30002, {position(2, 1, 0.0, 1000), position(2.001, 1, 0.0, 1100)});
    buffered(30003, {airborne(3, 1, 1000), airborne(3.01, 1, 1100)});
    buffered(30004, {position(4, 1, 10.0, 1000)});
    passCounter = 699;
    passAll();
    EXPECT_EQ(ac(30001).state, AcState::Buffered);
    passCounter = 700; // taxiing: 3 seconds ahead
    passAll();
    EXPECT_EQ(ac(30001).state, AcState::Creating);
    EXPECT_EQ(ac(30001).phase, AcPhase::Taxi);
    EXPECT_EQ(ac(30002).state, AcState::Buffered);
    EXPECT_EQ(ac(30004).erase, 1); // a lone due position is no track to fly
    passCounter = 900; // standing or airborne: 1 second ahead
    passAll();
    EXPECT_EQ(ac(30002).state, AcState::Creating);
    EXPECT_EQ(ac(30003).state, AcState::Creating);
    EXPECT_EQ(ac(30003).phase, AcPhase::Airborne);
    EXPECT_EQ(acToCreate, (std::vector<std::uint32_t>{30001, 30002, 30003}));
    EXPECT_EQ(spawnCheckList, (std::deque<std::uint32_t>{30001, 30002, 30003}));
}

TEST_F(Spawning, TakeOffInTheBufferIsSpawnedOnceTheGroundPartHasPassed)
{
    buffered(30001, {position(1, 1, 150.0, 1000), position(1.01, 1, 160.0, 1050), airborne(1.02, 1, 1100),
                     airborne(1.03, 1, 1200)});
    passCounter = 1000;
    updateBufferAc(ac(30001));
    updateBufferAc(ac(30001));
    EXPECT_EQ(ac(30001).stream.size(), 2u);
    EXPECT_EQ(ac(30001).state, AcState::Buffered);
    updateBufferAc(ac(30001));
    EXPECT_EQ(ac(30001).state, AcState::Creating);
    EXPECT_EQ(ac(30001).pose.latitude, 1.02);
}

TEST_F(Spawning, FullCreationQueueHoldsOnlyNewAircraft)
{
    liveCreationQueue.resize(11);
    buffered(30001, {position(1, 1, 0.0, 100), position(1.001, 1, 0.0, 200), position(1.002, 1, 0.0, 300)});
    LiveAc& placed = buffered(30002, {position(2, 1, 0.0, 100), position(2.001, 1, 0.0, 200)});
    placed.phase = AcPhase::Taxi; // created before and to be created again
    passAll();
    EXPECT_EQ(ac(30001).state, AcState::Buffered);
    EXPECT_EQ(ac(30001).stream.size(), 2u);
    EXPECT_EQ(ac(30002).state, AcState::Creating);
}

TEST_F(Spawning, RegistrationTableGivesAirlineTypeAndCallsign)
{
    dbaseTables.DbaseRegcodes["D-AIAB"] = DbaseRegRecord{"DLH", "A321", "", false};
    dbaseTables.DbaseRegcodes["D-ABCD"] = DbaseRegRecord{"DLH", "", "CLH", true};
    LiveAc& longCallsign = buffered(30001, {position(1, 1, 0.0, 0), position(1.001, 1, 0.0, 100)});
    liveAcTable.setCallsign(longCallsign, "LONGCALLS");
    longCallsign.desc.registration = "DAIAB";
    LiveAc& operated = buffered(30002, {position(2, 1, 0.0, 0), position(2.001, 1, 0.0, 100)});
    operated.desc.registration = "DABCD";
    LiveAc& unknown = buffered(30003, {position(3, 1, 0.0, 0), position(3.001, 1, 0.0, 100)});
    liveAcTable.setCallsign(unknown, "LONGCALLS");
    unknown.desc.registration = "GXYZW";
    LiveAc& noAirline = buffered(30004, {position(4, 1, 0.0, 0), position(4.001, 1, 0.0, 100)});
    noAirline.desc.airline.clear();
    passAll();
    EXPECT_EQ(ac(30001).desc.callsign, "DAIAB");
    EXPECT_EQ(ac(30001).desc.type, "A321");
    EXPECT_EQ(ac(30001).state, AcState::Creating);
    EXPECT_EQ(ac(30002).desc.airline, "CLH");
    EXPECT_EQ(ac(30002).desc.type, "A320"); // no model in the record: the type stays
    EXPECT_EQ(ac(30002).desc.cargo, 1);
    EXPECT_EQ(ac(30003).erase, 1);
    EXPECT_EQ(ac(30004).desc.airline, "PVT");
    EXPECT_EQ(ac(30004).state, AcState::Creating);
}

TEST_F(Spawning, BlockedCallsignAndFlightsWithoutLiveryStayOut)
{
    BLOCK_CALLSIGN.value = "DLH1";
    buffered(30001, {position(1, 1, 0.0, 0), position(1.001, 1, 0.0, 100)});
    updateBufferAc(ac(30001));
    EXPECT_EQ(ac(30001).erase, 1);
    BLOCK_CALLSIGN.value = "";

    LiveAc& noLivery = buffered(30002, {position(2, 1, 0.0, 0), position(2.001, 1, 0.0, 100)});
    liveryByHexId.erase(30002);
    updateBufferAc(noLivery);
    EXPECT_EQ(ac(30002).erase, 1);
    EXPECT_TRUE(NoMatchList.contains(gf_flightKeyWithSuffix(ac(30002).desc)));
    // The same flight under another hex id is not tried again, livery or not.
    buffered(30003, {position(3, 1, 0.0, 0), position(3.001, 1, 0.0, 100)});
    updateBufferAc(ac(30003));
    EXPECT_EQ(ac(30003).erase, 1);
}

TEST_F(Spawning, FirstPoseComesFromTheOldestPosition)
{
    StreamPosition descending = airborne(1, 1, 0);
    descending.verticalSpeed = -2000.0;
    descending.roll = 0.1;
    StreamPosition climbing = airborne(2, 1, 0);
    climbing.verticalSpeed = 3000.0;
    buffered(30001, {descending, airborne(1, 1.01, 100)});
    buffered(30002, {climbing, airborne(2.01, 1, 100)});
    StreamPosition standing = position(3, 1, 0.0, 0);
    standing.track = 180.0;
    StreamPosition stillStanding = position(3, 1, 0.0, 100);
    stillStanding.stop = 1;
    buffered(30003, {standing, stillStanding});
    passAll();
    const AcPose& down = ac(30001).pose;
    EXPECT_NEAR(down.pitch, (-3.0 + 1000.0 / 600.0 * 2.2) * geo::kDegToRad, 1e-12); // descent counts half
    EXPECT_EQ(down.bank, 0.1);
    EXPECT_DOUBLE_EQ(down.verticalSpeed, -2000.0 / 60.0); // the pose keeps feet per second
    EXPECT_NEAR(down.heading, geo::kPi / 2, 1e-3); // toward the next position
    EXPECT_EQ(ac(30001).headingStep, 0.0);
    EXPECT_NEAR(ac(30002).pose.pitch, (-3.0 - 2400.0 / 600.0 * 2.2) * geo::kDegToRad, 1e-12);
    const LiveAc& still = ac(30003);
    EXPECT_EQ(still.pose.pitch, 0.010471975511965976);
    EXPECT_NEAR(still.pose.heading, geo::kPi, 1e-12); // standing: its track
    EXPECT_EQ(still.headingStep, 0.0);
    EXPECT_EQ(still.stream.front().stop, 1);
    EXPECT_EQ(still.stream.front().groundSpeed, 0.0);

    passCounter = 1; // the update pass builds the request of the last one spawned
    gf_updateAI();
    ASSERT_EQ(liveCreationQueue.size(), 1u);
    EXPECT_EQ(liveCreationQueue.front().key, 30003u);
    EXPECT_EQ(liveCreationQueue.front().onGround, 1u);
    EXPECT_EQ(liveCreationQueue.front().liveryTitle, "Airbus A320 Lufthansa");
}

class SpawningAtParkAirport : public Spawning {
protected:
    void SetUp() override
    {
        Spawning::SetUp();
        gf_setParkAirport({"EDDF", "FRA", 50.0, 8.5, 364.0});
        Stand& a1 = addStand("A1", 1, 50.0, 8.5);
        a1.neighbours = {2};
        addStand("A2", 2, 50.0, 8.5003); // 21 m east: too close for two A320
        addStand("B9", 3, 50.01, 8.5);
    }
    // Standing 10 m north of stand A1.
    static LiveAc& arriving(std::uint32_t hexId)
    {
        StreamPosition stopped = position(50.0 + 10 * kMetreLat, 8.5, 0.0, 100);
        stopped.stop = 1;
        LiveAc& ac = buffered(hexId, {position(50.0 + 10 * kMetreLat, 8.5, 0.0, 0), stopped});
        ac.desc.halfWingspan = kA320HalfSpanNm;
        return ac;
    }
};

TEST_F(SpawningAtParkAirport, StandingAircraftTakesTheStandAndStaticAircraftMakeWay)
{
    addStatic(1, 1, 501);
    addStatic(2, 2, 502);
    addStatic(3, 3, 503);
    StaticAc& queued = addStatic(4, 1, 0);
    queued.state = AcState::Creating;
    arriving(30001);
    updateBufferAc(ac(30001));
    const LiveAc& parked = ac(30001);
    EXPECT_EQ(parked.state, AcState::Creating);
    EXPECT_EQ(parked.phase, AcPhase::Parked);
    EXPECT_EQ(parked.standId, 1u);
    EXPECT_TRUE(standTable[0].occupied);
    ASSERT_EQ(parked.stream.size(), 1u);
    EXPECT_EQ(parked.stream.front().lat, 50.0);
    EXPECT_EQ(parked.pose.heading, 1.0);
    EXPECT_NEAR(parked.stream.front().track, 1.0 * geo::kRadToDeg, 1e-12);
    EXPECT_NE(parked.parkedSince, 0);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{501, 502}));
    EXPECT_EQ(staticAcTable[2].state, AcState::InSim);
    EXPECT_EQ(staticAcTable[3].removeWhenCreated, 0); // the first one on the stand made way
    EXPECT_NE(logText().find("A1      : STAT1     makes way for DLH1 "), std::string::npos);
    EXPECT_NE(logText().find("A2      : STAT2    removed by DLH1 parking at adjacent stand A1"), std::string::npos);
}

TEST_F(SpawningAtParkAirport, QueuedStaticAircraftIsRemovedOnceCreated)
{
    StaticAc& queued = addStatic(4, 1, 0);
    queued.state = AcState::Creating;
    arriving(30001);
    updateBufferAc(ac(30001));
    EXPECT_EQ(staticAcTable[0].removeWhenCreated, 1);
    // Created, it goes on its 201st pass; the stand stays the live aircraft's.
    gf_pushSimCommand({601, 4, 0, SimCommandType::StaticCreated, 0.0, 0.0});
    for (int pass = 0; pass <= 201; ++pass)
        gf_SimCommands();
    EXPECT_EQ(staticAcTable[0].state, AcState::Removing);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{601}));
    EXPECT_TRUE(standTable[0].occupied);
}

TEST_F(SpawningAtParkAirport, UsersStandStaysFree)
{
    reservedStand = "A1";
    arriving(30001);
    updateBufferAc(ac(30001));
    EXPECT_EQ(ac(30001).state, AcState::Creating);
    EXPECT_EQ(ac(30001).standId, 0u);
    EXPECT_EQ(ac(30001).phase, AcPhase::Taxi);
    EXPECT_EQ(ac(30001).headingStep, 0.0);
    EXPECT_FALSE(standTable[0].occupied);
}

TEST_F(SpawningAtParkAirport, TaxiingOrDistantAircraftTakesNoStand)
{
    buffered(30001, {position(50.0, 8.5, 12.0, 0), position(50.001, 8.5, 12.0, 100)});
    buffered(30002, {position(51.0, 8.5, 0.0, 0), position(51.0, 8.5, 0.0, 100)});
    ac(30002).stream.back().stop = 1;
    passAll();
    EXPECT_EQ(ac(30001).phase, AcPhase::Taxi);
    EXPECT_EQ(ac(30002).phase, AcPhase::Taxi);
    EXPECT_FALSE(standTable[0].occupied);
}

TEST_F(Spawning, AircraftWaitForTheUserAircraft)
{
    userAc.latitude = 1.0;
    userAc.longitude = 1.0;
    userAc.altAboveGround = 500.0; // heading north, low
    // On the ground 0.6 NM ahead of the user on its heading line: held, and held while on the ground.
    buffered(30001, {position(1.01, 1, 10.0, 0), position(1.011, 1, 10.0, 100), position(1.012, 1, 10.0, 200)});
    updateBufferAc(ac(30001));
    EXPECT_EQ(ac(30001).userHold, 1);
    EXPECT_EQ(ac(30001).stream.size(), 2u);
    updateBufferAc(ac(30001));
    EXPECT_EQ(ac(30001).stream.size(), 1u);

    // Airborne, level with the user: 3 NM north flying east passes clear; 3 NM east flying west does not.
    userAc.altitude = 8000.0;
    buffered(30002, {airborne(1.05, 1, 0, 90.0), airborne(1.05, 1.01, 100, 90.0)});
    buffered(30003, {airborne(1, 1.05, 0, 270.0), airborne(1, 1.04, 100, 270.0)});
    updateBufferAc(ac(30002));
    updateBufferAc(ac(30003));
    EXPECT_EQ(ac(30002).state, AcState::Creating);
    EXPECT_EQ(ac(30003).state, AcState::Buffered);
    EXPECT_EQ(ac(30003).userHold, 1);

    // The user on the ground: nothing on the ground within 150 m of it.
    userOnGround = true;
    buffered(30004, {position(1 + 100 * kMetreLat, 1, 0.0, 0), position(1.1, 1, 0.0, 100), position(1.2, 1, 0, 200)});
    buffered(30005, {position(1 + 200 * kMetreLat, 1, 0.0, 0), position(1.1, 1, 0.0, 100)});
    updateBufferAc(ac(30004));
    updateBufferAc(ac(30005));
    EXPECT_EQ(ac(30004).stream.size(), 2u);
    EXPECT_EQ(ac(30005).state, AcState::Creating);
}

TEST_F(Spawning, MaxLiveMakesRoomOnlyByRemovingFartherAircraft)
{
    MAX_LIVE.setValue(1);
    userAc.latitude = 1.0;
    userAc.longitude = 1.0;
    addLive(20001, AcState::InSim, AcPhase::Airborne, airborne(1.1, 1, 0), 71); // 6 NM away
    buffered(30001, {airborne(1.2, 1, 0), airborne(1.21, 1, 100)});             // 12 NM away
    updateBufferAc(ac(30001));
    EXPECT_EQ(ac(30001).erase, 1);
    EXPECT_EQ(ac(20001).state, AcState::InSim);
    buffered(30002, {airborne(1.01, 1, 0), airborne(1.02, 1, 100)}); // 0.6 NM away
    updateBufferAc(ac(30002));
    EXPECT_EQ(ac(20001).state, AcState::Removing);
    EXPECT_EQ(ac(30002).state, AcState::Creating);
    MAX_LIVE.setValue(-1);
}

TEST_F(Spawning, BufferedAircraftTakesTheNewIdentity)
{
    LiveAc& a = buffered(30001, {position(1, 1, 0.0, 0)});
    a.desc.registration = "D-AIAB";
    TrafficMessage m = message(30001, 2000.0, 1, 1, 0.0);
    m.identity.callsign = "DLH9";
    m.identity.destination = "EDDF";
    EXPECT_TRUE(lf_respawnOnIdentityChange(a, m));
    EXPECT_EQ(a.desc.callsign, "DLH9");
    EXPECT_EQ(a.desc.destination, "EDDF");
    EXPECT_EQ(a.desc.registration, "D-AIAB"); // an empty text changes nothing
}

TEST_F(Spawning, AircraftInTheSimulatorRespawnsOnANewCallsignOrRoute)
{
    gf_setParkAirport({"EDDF", "FRA", 50.0, 8.5, 364.0});
    LiveAc& a = addLive(20001, AcState::InSim, AcPhase::Taxi, position(1, 1), 61);
    a.stream.push_back(position(1.001, 1));
    a.desc.origin = "FRA";
    a.desc.destination = "JFK";
    TrafficMessage m = message(20001, 2000.0, 1, 1, 10.0);
    m.identity.callsign = "DLH1";
    m.identity.departure = "FRA";
    m.identity.destination = "EWR"; // one field differs: the route is kept
    EXPECT_TRUE(lf_respawnOnIdentityChange(a, m));
    EXPECT_EQ(a.desc.destination, "JFK");
    m.identity.departure = "LHR";
    m.identity.destination = "FRA"; // returning to the park airport: kept too
    EXPECT_TRUE(lf_respawnOnIdentityChange(a, m));
    EXPECT_EQ(a.desc.origin, "FRA");

    GUID_CHANGES.value = false;
    m.identity.callsign = "CLH7";
    EXPECT_TRUE(lf_respawnOnIdentityChange(a, m));
    EXPECT_EQ(a.desc.callsign, "CLH7");
    EXPECT_EQ(a.desc.cs, "CLH7");
    EXPECT_EQ(a.state, AcState::InSim);

    GUID_CHANGES.value = true;
    a.groundMode = 1;
    a.phase = AcPhase::PushBackDone;
    a.pose.heading = 2.0;
    m.identity.departure = "MUC";
    m.identity.destination = "LIS";
    EXPECT_FALSE(lf_respawnOnIdentityChange(a, m));
    EXPECT_EQ(a.desc.origin, "MUC");
    EXPECT_EQ(a.phase, AcPhase::Taxi);
    EXPECT_EQ(a.legBearing, 2.0);
    EXPECT_EQ(a.state, AcState::Respawning);
    EXPECT_EQ(removalsToHandOver, (std::deque<std::uint32_t>{61}));
    EXPECT_NE(logText().find("CLH7              MUC->LIS respawns"), std::string::npos);
}

} // namespace
} // namespace enginetest
