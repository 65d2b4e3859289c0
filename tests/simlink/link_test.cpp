// The SimConnect thread against the simulator stand-in: connection and version check, set-up,
// stop and restart, the tick and the user aircraft, teleport, new flight and the simulator's end.

#include "simlink_fixture.h"

#include "app/message_line.h"
#include "params/control_port.h"
#include "run/exit.h"
#include "simconnect/simconnect.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_internal.h"
#include "simlink/sim_queues.h"

#include <gtest/gtest.h>

namespace simlinktest {
namespace {

std::vector<std::pair<std::uint32_t, std::string>> lf_pairs(const std::vector<nlohmann::json>& lines,
                                                            const char* idKey, const char* nameKey)
{
    std::vector<std::pair<std::uint32_t, std::string>> pairs;
    for (const auto& line : lines)
        pairs.emplace_back(line[idKey].get<std::uint32_t>(), line[nameKey].get<std::string>());
    return pairs;
}

using LinkTest = SimLinkTest;

TEST_F(LinkTest, ConnectsChecksTheVersionAndRegistersWhatTheProgramUses)
{
    startConnected();
    EXPECT_TRUE(waitForLog("Lockheed Martin Prepar3D v5 (5.3.0.0) connected"));
    EXPECT_TRUE(logHas("Waiting for Prepar3Dv5 ..."));
    EXPECT_EQ(gf_simLinkStatus().simNameText, "Lockheed Martin Prepar3D v5 (5.3.0.0)");
    EXPECT_TRUE(waitFor([] { return gf_messageLineState().text.empty(); })) << "the waiting message stays";
    ASSERT_TRUE(waitForRequests("SetNotificationGroupPriority", 1));

    const auto opened = trace("opened");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]["app_name"], "Orvanta_P3D");

    const std::vector<std::pair<std::uint32_t, std::string>> subscriptions{
        {201, "Sim"}, {202, "ObjectAdded"}, {203, "ObjectRemoved"}, {205, "PositionChanged"}, {206, "FlightLoaded"},
        {204, "Frame"}};
    EXPECT_EQ(lf_pairs(trace("request", "SubscribeToSystemEvent"), "client_event", "event_name"), subscriptions);

    // Definitions in the order made, each with its datum count; a few datums in detail.
    std::vector<std::pair<std::uint32_t, int>> definitions;
    for (const auto& datum : trace("request", "AddToDataDefinition")) {
        const auto id = datum["definition"].get<std::uint32_t>();
        if (definitions.empty() || definitions.back().first != id)
            definitions.emplace_back(id, 0);
        ++definitions.back().second;
        EXPECT_EQ(datum["epsilon"], 0.0);
        EXPECT_EQ(datum["datum_id"], 0xFFFFFFFFu);
        const std::string name = datum["datum"];
        if (name == "TITLE" || name == "ATC ID" || name == "ATC MODEL") {
            EXPECT_EQ(datum["units"], "") << name;
        }
        if (name == "ZULU TIME") {
            EXPECT_EQ(datum["datum_type"], 2);
        }
        if (name == "TITLE") {
            EXPECT_EQ(datum["datum_type"], 11);
        }
        if (name == "Vertical Speed") {
            EXPECT_EQ(datum["units"], "feet per second");
        }
    }
    const std::vector<std::pair<std::uint32_t, int>> expectedDefinitions{
        {407, 1}, {408, 1}, {409, 1}, {402, 8}, {403, 12}, {405, 2}, {406, 1}, {404, 4}, {401, 3}};
    EXPECT_EQ(definitions, expectedDefinitions);

    const std::vector<std::pair<std::uint32_t, std::string>> mapped{
        {220, "GEAR_SET"}, {221, "ENGINE_AUTO_START"}, {222, "ENGINE_AUTO_SHUTDOWN"}, {223, "THROTTLE_SET"},
        {218, "FLAPS_SET"}, {219, "SPOILERS_SET"}, {208, "NAV_LIGHTS_SET"}, {207, "BEACON_LIGHTS_SET"},
        {211, "LANDING_LIGHTS_SET"}, {209, "TAXI_LIGHTS_SET"}, {210, "STROBES_SET"}, {213, "LOGO_LIGHTS_SET"},
        {212, "CABIN_LIGHTS_SET"}, {214, "ALL_LIGHTS_TOGGLE"}, {215, "FREEZE_LATITUDE_LONGITUDE_SET"},
        {216, "FREEZE_ALTITUDE_SET"}, {217, "FREEZE_ATTITUDE_SET"}};
    EXPECT_EQ(lf_pairs(trace("request", "MapClientEventToSimEvent"), "client_event", "event_name"), mapped);

    std::vector<std::uint32_t> grouped;
    for (const auto& add : trace("request", "AddClientEventToNotificationGroup")) {
        EXPECT_EQ(add["group"], 301);
        EXPECT_EQ(add["maskable"], 1);
        grouped.push_back(add["client_event"]);
    }
    const std::vector<std::uint32_t> expectedGroup{208, 207, 211, 209, 210, 213, 212, 214,
                                                   218, 219, 220, 222, 223, 215, 216, 217};
    EXPECT_EQ(grouped, expectedGroup);
    const auto priority = trace("request", "SetNotificationGroupPriority");
    ASSERT_EQ(priority.size(), 1u);
    EXPECT_EQ(priority[0]["priority"], 1);
}

TEST_F(LinkTest, RefusesTheWrongSimulatorAndTheWrongVersionAndClosesTheConnection)
{
    struct Case {
        std::string name;
        std::uint32_t major;
        std::string installPath;
        std::int32_t expectedVersion;
        std::string error; // empty: accepted
    };
    const std::vector<Case> cases{
        {"Kitty-Hawk!", 1, "", 5, "78: KittyHawk, (MSFS) not being P3D connects ... ?"},
        {"Lockheed Martin Prepar3D v6", 6, "", 5,
         "78: wrong P3D version \"Lockheed Martin Prepar3D v6 (6.0.0.0)\" connects ... ?"},
        {"Lockheed Martin Prepar3D v5", 5, "D:\\Prepar3D V5", 6, ""},
        {"Lockheed Martin Prepar3D v6", 6, "D:\\Prepar3D v6", 5, ""},
        {"Lockheed Martin Prepar3D V5", 5, "D:\\Prepar3D v5", 5,
         "78: wrong P3D version \"Lockheed Martin Prepar3D V5 (5.0.0.0)\" connects ... ?"},
    };
    ASSERT_TRUE(gf_createEditBox(ALL_INSTALL_PATH, 10, 200));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " / " + c.installPath);
        gf_disableControl(ALL_INSTALL_PATH);
        ALL_INSTALL_PATH.value = c.installPath;
        startSim([&](fakesim::Config& config) {
            config.openReply.applicationName = c.name;
            config.openReply.applicationVersionMajor = c.major;
            config.openReply.applicationVersionMinor = 0;
        });
        gf_resetSimQueues(c.expectedVersion);
        gf_startSimClientThread();
        if (c.error.empty()) {
            EXPECT_TRUE(waitFor([] { return gf_simLinkStatus().simConnected && simRunningFlag.load(); }));
            EXPECT_FALSE(gf_messageLineState().isError);
        } else {
            EXPECT_TRUE(waitForLog("Error " + c.error));
            EXPECT_EQ(gf_messageLineState().text, c.error);
            EXPECT_TRUE(gf_messageLineState().isError);
            // The thread ends and takes its connection with it.
            EXPECT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.connections == 0; }, kDeadline));
            EXPECT_FALSE(exitingFlag.load()) << "a user error leaves the window open";
            // Only a wrong version lets the user type another install path.
            EXPECT_EQ(port.find(ALL_INSTALL_PATH.controlId)->enabled,
                      c.error.find("wrong P3D version") != std::string::npos);
        }
        gf_requestSimClientStop();
        gf_joinSimClientThread();
        gf_resetSimLinkState();
        gf_clearError();
        sim.reset();
    }
    EXPECT_FALSE(logHas("no longer connected"));
}

TEST_F(LinkTest, StopClosesTheConnectionAndTheNextRunConnectsAgain)
{
    startConnected();
    gf_requestSimClientStop();
    gf_joinSimClientThread();
    EXPECT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.connections == 0; }, kDeadline));
    EXPECT_EQ(gf_simConnectHandle(), nullptr);
    EXPECT_FALSE(gf_simLinkStatus().simConnected);
    EXPECT_FALSE(exitingFlag.load());

    connect();
    const fakesim::Status status = sim->status();
    EXPECT_EQ(status.connections, 1u);
    EXPECT_EQ(status.connectionsSeen, 2u);
    EXPECT_EQ(trace("request", "ClearDataDefinition").size(), 9u);
    EXPECT_EQ(trace("request", "UnsubscribeFromSystemEvent").size(), 6u);
    EXPECT_FALSE(logHas("no longer connected"));
}

// A stop wakes the thread wherever it waits, between two opens or for a message, even when it
// comes while the thread is waking anyway; every one of many ends the thread.
TEST_F(LinkTest, EveryStopEndsTheThreadWhereverItWaits)
{
    for (int i = 0; i < 100; ++i) { // no simulator yet: the thread pauses between opens
        gf_startSimClientThread();
        ASSERT_TRUE(waitFor([] { return gf_messageLineState().text.starts_with("Waiting for Prepar3Dv"); }));
        gf_requestSimClientStop();
        gf_joinSimClientThread();
        gf_clearError();
    }
    startSim();
    for (int i = 0; i < 30; ++i) {
        connect();
        gf_requestSimClientStop();
        gf_joinSimClientThread();
        ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.connections == 0; }, kDeadline));
    }
    EXPECT_FALSE(logHas("no longer connected"));
}

TEST_F(LinkTest, AConnectionLeftOpenIsClosedBeforeTheNextOpen)
{
    startSim();
    qmx::HANDLE leftover = nullptr;
    ASSERT_EQ(qmx::SimConnect_Open(&leftover, "Orvanta_P3D", nullptr, 0, nullptr, 0), qmx::S_OK);
    lf_setSimConnectHandle(leftover);
    ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.opened == 1; }, kDeadline));
    connect();
    EXPECT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.connections == 1 && s.connectionsSeen == 2; },
                               kDeadline));
    EXPECT_NE(gf_simConnectHandle(), leftover);
}

TEST_F(LinkTest, EveryOnGroundReplyIsOneTickAndTheUserPositionFollows)
{
    startConnected();
    // Three replies, each asked for once the tick of the one before was taken: every reply is
    // one tick, and nothing else raises it.
    for (std::uint64_t reply = 1; reply <= 3; ++reply) {
        {
            std::lock_guard lock(simConnectMutex);
            ASSERT_EQ(qmx::SimConnect_RequestDataOnSimObject(gf_simConnectHandle(), simid::kReqUserOnGround,
                                                             simid::kDefUserOnGround, qmx::SIMCONNECT_OBJECT_ID_USER,
                                                             qmx::SIMCONNECT_PERIOD_ONCE),
                      qmx::S_OK);
        }
        ASSERT_TRUE(waitFor([] {
            bool pending = true;
            return tickFlag.compare_exchange_strong(pending, false);
        }));
        EXPECT_EQ(sim->status().dataSent, reply);
    }
    // The program's own request asks every second.
    gf_requestUserOnGround();
    ASSERT_TRUE(waitFor([] { return tickFlag.load(); }));
    // No user block yet: the position is unknown, the on-ground flag not taken.
    EXPECT_FALSE(userPositionValid.load());
    EXPECT_FALSE(userAcDataValid.load());

    gf_getUserAcPosition();
    ASSERT_TRUE(waitFor([] { return userAcDataValid.load(); }));
    const UserAcData block = gf_getUserAcPosition();
    EXPECT_DOUBLE_EQ(block.latitude, 33.9425);
    EXPECT_DOUBLE_EQ(block.longitude, -118.408);
    EXPECT_DOUBLE_EQ(block.altitude, 125.0);
    EXPECT_EQ(userObjectId.load(), 1u);
    ASSERT_TRUE(waitFor([] { return userPositionValid.load(); }));
    EXPECT_TRUE(userOnGround.load());

    fakesim::UserAircraft airborne = sim->userAircraft();
    airborne.onGround = false;
    airborne.altitudeFt = -20.0; // below sea level: stored as 0
    airborne.altAboveGroundFt = 1500.0;
    sim->setUserAircraft(airborne);
    EXPECT_TRUE(waitFor([] { return !userOnGround.load(); }));
    gf_getUserAcPosition();
    EXPECT_TRUE(waitFor([] { return gf_liveUserAcData().altAboveGround == 1500.0; }));
    EXPECT_EQ(gf_liveUserAcData().altitude, 0.0);
    EXPECT_FALSE(logHas("Teleport"));
}

TEST_F(LinkTest, APositionInTheNotYetKnownBoxIsNotTakenAndHidesUnknownIdExceptions)
{
    startConnected([](fakesim::Config& config) {
        config.user.latitudeDeg = 0.0005;
        config.user.longitudeDeg = 0.01;
    });
    gf_getUserAcPosition();
    ASSERT_TRUE(waitFor([] { return userAcDataValid.load(); }));
    gf_requestUserOnGround();
    ASSERT_TRUE(waitFor([] { return tickFlag.load(); }));
    EXPECT_FALSE(userPositionValid.load());
    sim->sendException(3, 0, 0);
    sim->sendException(24, 0, 0);
    ASSERT_TRUE(waitForLog("SIMCON EXCEP 24"));
    EXPECT_FALSE(logHas("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
}

TEST_F(LinkTest, AUserAircraftMovedMoreThanTenMilesRestarts)
{
    startConnected();
    gf_getUserAcPosition();
    ASSERT_TRUE(waitFor([] { return userAcDataValid.load(); }));
    // One minute of latitude is one nautical mile.
    const auto moveNorth = [&](double nm) {
        fakesim::UserAircraft moved = sim->userAircraft();
        moved.latitudeDeg += nm / 60.0;
        sim->setUserAircraft(moved);
        gf_getUserAcPosition();
        ASSERT_TRUE(waitFor([&] { return gf_liveUserAcData().latitude == moved.latitudeDeg; }));
    };
    moveNorth(9.9);
    EXPECT_FALSE(logHas("Teleport"));
    moveNorth(10.1);
    EXPECT_TRUE(waitForLog("Exiting: RESTART"));
    EXPECT_TRUE(logHas("Teleport"));
}

TEST_F(LinkTest, ANewFlightOrPositionRestartsAndTheSimEventFollowsTheFlight)
{
    startConnected();
    sim->setSimRunning(false);
    EXPECT_TRUE(waitFor([] { return !simRunningFlag.load() && !gf_simLinkStatus().simRunningDisplay; }));
    sim->setSimRunning(true);
    EXPECT_TRUE(waitFor([] { return simRunningFlag.load() && gf_simLinkStatus().simRunningDisplay; }));

    sim->sendFlightLoaded("flights/KLAX.fxml");
    EXPECT_TRUE(waitForLog("===> New file loaded"));
    EXPECT_TRUE(waitForLog("Exiting: RESTART"));
    ASSERT_TRUE(gf_waitForExitIdle(kDeadline));
    connect(); // the next run connects again
    sim->sendPositionChanged();
    EXPECT_TRUE(waitForLog("===> User ac position changed"));
}

TEST_F(LinkTest, TheSimulatorQuittingEndsTheProgram)
{
    startConnected();
    sim->quit();
    EXPECT_TRUE(waitForLog("Exiting: SIM WAS CLOSED"));
    EXPECT_TRUE(logHas("Flight Simulator no longer connected, Orvanta_P3D will stop ..."));
    EXPECT_FALSE(simRunningFlag.load());
    EXPECT_FALSE(gf_simLinkStatus().simConnected);
    EXPECT_EQ(gf_simConnectHandle(), nullptr);
}

TEST_F(LinkTest, ABrokenConnectionEndsTheProgramAsTheSimulatorQuittingDoes)
{
    startConnected();
    sim->dropConnections();
    EXPECT_TRUE(waitForLog("Exiting: SIM WAS CLOSED"));
    EXPECT_EQ(gf_simConnectHandle(), nullptr);
    EXPECT_FALSE(simRunningFlag.load()) << "no flight runs without a connection";
    EXPECT_FALSE(gf_simLinkStatus().simRunningDisplay);
}

} // namespace
} // namespace simlinktest
