// AI objects through the outbound queues against the simulator stand-in: creation, binding,
// refusal, removal, client events and the one write per frame.

#include "simlink_fixture.h"

#include "simconnect/simconnect.h"
#include "simconnect/simconnect_connection.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_queues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <stdexcept>

namespace simlinktest {
namespace {

class AiObjectsTest : public SimLinkTest {
protected:
    void SetUp() override
    {
        SimLinkTest::SetUp();
        startConnected();
        gf_getUserAcPosition(); // the user's object id (1) keeps objects at or below it untouched
        ASSERT_TRUE(waitFor([] { return userObjectId.load() == 1; }));
    }

    // Waits for a command of the type and returns it; every command taken meanwhile is kept.
    std::optional<SimCommand> waitForCommand(SimCommandType type, std::uint32_t key)
    {
        std::optional<SimCommand> found;
        waitFor([&] {
            for (const SimCommand& command : gf_takeSimCommands())
                commands.push_back(command);
            const auto it = std::find_if(commands.begin(), commands.end(), [&](const SimCommand& c) {
                return c.type == type && c.key == key;
            });
            if (it != commands.end())
                found = *it;
            return found.has_value();
        });
        return found;
    }

    std::size_t countCommands(SimCommandType type) const
    {
        return static_cast<std::size_t>(
            std::count_if(commands.begin(), commands.end(), [&](const SimCommand& c) { return c.type == type; }));
    }

    std::uint32_t addObject(double latitude = 33.95)
    {
        fakesim::SimObject object;
        object.title = "Placed by the simulator";
        object.atcId = "SIM1";
        object.pose.latitudeDeg = latitude;
        object.pose.longitudeDeg = -118.40;
        object.pose.onGround = true;
        return sim->addSimObject(object);
    }

    // The (client event, value) pairs sent to the object, in the order sent.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> eventsSentTo(std::uint32_t objectId) const
    {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> events;
        for (const auto& line : trace("request", "TransmitClientEvent")) {
            if (line["object"] == objectId)
                events.emplace_back(line["client_event"], line["data"]);
        }
        return events;
    }

    std::vector<SimCommand> commands;
};

AcCreateRecord lf_creation(const std::string& callsign, std::uint32_t key, const std::string& title = "Boeing 737-800 Test")
{
    AcCreateRecord record;
    record.latitude = 33.95;
    record.longitude = -118.40;
    record.altitude = 200.0;
    record.heading = 90.0;
    record.onGround = 1;
    record.callsign = callsign;
    record.liveryTitle = title;
    record.key = key;
    return record;
}

TEST_F(AiObjectsTest, ACreationGoesOutAtTheNextFrameAndIsBoundByItsCallsign)
{
    const std::uint32_t key = 0xA1B2C3;
    gf_queueCreateAiAc(lf_creation("TST123", key));
    ASSERT_TRUE(waitForRequests("AICreateNonATCAircraft", 1));
    const auto sent = trace("request", "AICreateNonATCAircraft");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["tail"], "TST123");
    EXPECT_EQ(sent[0]["title"], "Boeing 737-800 Test");
    EXPECT_EQ(sent[0]["heading"], 90.0);
    EXPECT_EQ(sent[0]["on_ground"], 1);
    EXPECT_EQ(sent[0]["request_id"], 104);
    ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.aiObjects.size() == 1; }, kDeadline));
    const fakesim::SimObject created = sim->aiObjects().front();
    EXPECT_EQ(created.atcId, "TST123");

    // Bound by the in-range reply whose ATC ID is the callsign.
    gf_requestAircraftInRange(50000);
    const auto bound = waitForCommand(SimCommandType::LiveCreated, key);
    ASSERT_TRUE(bound);
    EXPECT_EQ(bound->objectId, created.id);
    EXPECT_DOUBLE_EQ(bound->second, created.altAboveGroundFt());
    // Released from AI control at once, frozen at the next frame.
    ASSERT_TRUE(waitForRequests("TransmitClientEvent", 3));
    const auto released = trace("request", "AIReleaseControl");
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0]["object"], created.id);
    EXPECT_EQ(released[0]["request_id"], 103);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> frozen{{215, 1}, {216, 1}, {217, 1}};
    EXPECT_EQ(eventsSentTo(created.id), frozen);

    // Bound once: the next reply for it is ground data.
    gf_requestAircraftInRange(50000);
    const auto ground = waitForCommand(SimCommandType::GroundData, 1);
    ASSERT_TRUE(ground);
    EXPECT_EQ(ground->objectId, created.id);
    EXPECT_EQ(countCommands(SimCommandType::LiveCreated), 1u);
}

TEST_F(AiObjectsTest, ACreationFarOutOfRangeIsBoundByItsOwnReplyAndAnUnboundOneIsRemoved)
{
    // 40 NM north of the user, and no in-range request at all.
    AcCreateRecord far = lf_creation("FAR40", 0xF40F40);
    far.latitude = 33.9425 + 40.0 / 60.0;
    far.altitude = 9000.0;
    far.onGround = 0;
    gf_queueCreateAiAc(far);
    const auto bound = waitForCommand(SimCommandType::LiveCreated, 0xF40F40);
    ASSERT_TRUE(bound);
    ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.aiObjects.size() == 1; }, kDeadline));
    const fakesim::SimObject created = sim->aiObjects().front();
    EXPECT_EQ(bound->objectId, created.id);
    EXPECT_DOUBLE_EQ(bound->second, created.altAboveGroundFt());

    // An object whose reply names no pending creation is removed by its id within seconds.
    gf_queueCreateAiAc(lf_creation("", 0xBAD));
    ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.aiObjects.size() == 2; }, kDeadline));
    ASSERT_TRUE(waitFor([this] { return trace("request", "AIRemoveObject").size() == 1; }));
    EXPECT_NE(trace("request", "AIRemoveObject")[0]["object"], created.id);
    EXPECT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.aiObjects.size() == 1; }, kDeadline));
    EXPECT_EQ(countCommands(SimCommandType::LiveCreated), 1u);
}

TEST_F(AiObjectsTest, ARefusedCreationIsMatchedByTheSendIdOfItsOwnPacket)
{
    sim->refuseTitle("Refused Livery");
    gf_queueCreateAiAc(lf_creation("AAA1", 20001));
    gf_queueCreateAiAc(lf_creation("BBB2", 777, "Refused Livery"));
    gf_queueCreateAiAc(lf_creation("CCC3", 20003));
    const auto refused = waitForCommand(SimCommandType::CreateRefused, 777);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->objectId, 0u);

    ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.aiObjects.size() == 2; }, kDeadline));
    gf_requestAircraftInRange(50000);
    EXPECT_TRUE(waitForCommand(SimCommandType::LiveCreated, 20001));
    EXPECT_TRUE(waitForCommand(SimCommandType::LiveCreated, 20003));

    // A refusal of a packet that no creation sent changes nothing.
    sim->sendException(22, 0xFFFFFF, 0);
    sim->sendException(24, 0, 0);
    ASSERT_TRUE(waitForLog("SIMCON EXCEP 24"));
    for (const SimCommand& command : gf_takeSimCommands())
        commands.push_back(command);
    EXPECT_EQ(countCommands(SimCommandType::CreateRefused), 1u);
}

TEST_F(AiObjectsTest, RefusalsAreMatchedWhileAnotherThreadSendsOnTheConnection)
{
    // A sender that does not take simConnectMutex: its packets land between the frame's, so the
    // connection's last send id after a creation is often another packet's.
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        // As fast as the stand-in takes them in: still sending when the creations go out, and
        // never so far ahead that they queue behind a long line of its packets (where every send
        // is slow, as under Wine, that line lasted seconds). With a bound, so that a slow machine
        // is not flooded for ever.
        for (std::size_t sent = 1; sent <= 100000 && !stop; ++sent) {
            qmx::SimConnect_TransmitClientEvent(gf_simConnectHandle(), 0, 214, 0, 301, 0);
            if (sent % 256 == 0)
                sim->waitUntil(
                    [&](const fakesim::Status& s) { return stop || s.requestCount("TransmitClientEvent") + 1024 >= sent; },
                    kDeadline);
        }
    });
    constexpr std::uint32_t kRefused = 40;
    sim->refuseNextCreation(kRefused);
    for (std::uint32_t key = 1; key <= kRefused; ++key)
        gf_queueCreateAiAc(lf_creation("REF" + std::to_string(key), key));
    for (std::uint32_t key = 1; key <= kRefused; ++key)
        EXPECT_TRUE(waitForCommand(SimCommandType::CreateRefused, key)) << key;
    stop = true;
    sender.join();
}

TEST_F(AiObjectsTest, AStaticCreationIsReportedAsStatic)
{
    gf_queueCreateAiAc(lf_creation("STA1", 42));
    ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.aiObjects.size() == 1; }, kDeadline));
    gf_requestAircraftInRange(50000);
    const auto bound = waitForCommand(SimCommandType::StaticCreated, 42);
    ASSERT_TRUE(bound);
    EXPECT_EQ(bound->objectId, sim->aiObjects().front().id);
}

TEST_F(AiObjectsTest, ARemovalSendsTheRemovePacketAndTheSimulatorsRemovalIsReported)
{
    const std::uint32_t objectId = addObject();
    gf_queueRemoveAiAc(objectId);
    const auto removed = waitForCommand(SimCommandType::Removed, 0);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->objectId, objectId);
    const auto sent = trace("request", "AIRemoveObject");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["object"], objectId);
    EXPECT_EQ(sent[0]["request_id"], 105);

    // The user aircraft is never removed.
    gf_queueRemoveAiAc(1);
    EXPECT_TRUE(waitForLog("Simconnect call to remove ac with objectid 1"));
    EXPECT_EQ(trace("request", "AIRemoveObject").size(), 1u);
}

TEST_F(AiObjectsTest, FlapsGoBetweenTwoReleasesAndTheStepTablesGiveTheirValues)
{
    const std::uint32_t objectId = addObject();
    std::uint32_t flaps = 4;   // none sent yet
    std::uint32_t throttle = 5;
    gf_setFlaps(objectId, AcCategory::Large, flaps, 2);
    ASSERT_TRUE(waitForRequests("TransmitClientEvent", 1));
    ASSERT_TRUE(waitForRequests("AIReleaseControl", 2));
    std::vector<std::string> sequence;
    for (const auto& line : trace("request")) {
        if (line.contains("object") && line["object"] == objectId)
            sequence.push_back(line["request"]);
    }
    const std::vector<std::string> released{"AIReleaseControl", "TransmitClientEvent", "AIReleaseControl"};
    EXPECT_EQ(sequence, released);

    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected{{218, 10240}};
    for (const std::uint32_t step : {1u, 3u, 0u, 4u}) {
        gf_setFlaps(objectId, AcCategory::Large, flaps, step);
        EXPECT_EQ(flaps, step);
    }
    expected.insert(expected.end(), {{218, 3072}, {218, 16383}, {218, 0}, {218, 0}});
    gf_setFlaps(objectId, AcCategory::Large, flaps, 4); // the same step: nothing
    // A step outside the tables fails before anything is queued or stored.
    EXPECT_THROW(gf_setFlaps(objectId, AcCategory::Large, flaps, 5), std::out_of_range);
    EXPECT_EQ(flaps, 4u);
    for (const std::uint32_t step : {0u, 1u, 2u, 3u, 4u, 5u}) {
        gf_setThrottle(objectId, throttle, step);
        EXPECT_EQ(throttle, step);
    }
    expected.insert(expected.end(), {{223, 0}, {223, 4914}, {223, 8191}, {223, 11468}, {223, 16383}});
    EXPECT_THROW(gf_setThrottle(objectId, throttle, 6), std::out_of_range);
    EXPECT_EQ(throttle, 5u);
    gf_setGear(objectId, AcCategory::Heavy, true);
    gf_setGear(objectId, AcCategory::Heavy, false);
    expected.insert(expected.end(), {{220, 1}, {220, 0}});
    std::uint32_t rotorFlaps = 4;
    gf_setGear(objectId, AcCategory::Rotorcraft, true);
    gf_setFlaps(objectId, AcCategory::Rotorcraft, rotorFlaps, 1);
    EXPECT_EQ(rotorFlaps, 4u) << "a rotorcraft has no flaps";
    gf_setLights(objectId, {1, 0, 1, 0, 1, 1, 0});
    expected.insert(expected.end(), {{208, 1}, {207, 0}, {211, 1}, {209, 0}, {210, 1}, {213, 1}, {212, 0}});
    NAV_LIGHTS_WHILE_PARKED.value = true;
    RANDOM.value = false;
    throttle = 2;
    flaps = 1;
    gf_shutdownAc(objectId, AcCategory::Large, false, throttle, flaps);
    expected.insert(expected.end(), {{223, 0}, {218, 0}, {222, 0}, {208, 1}, {207, 0}, {211, 0}, {209, 0},
                                     {210, 0}, {213, 1}, {212, 1}});

    ASSERT_TRUE(waitForRequests("TransmitClientEvent", expected.size()));
    EXPECT_EQ(eventsSentTo(objectId), expected);
    for (const auto& line : trace("request", "TransmitClientEvent")) {
        EXPECT_EQ(line["group"], 301);
        EXPECT_EQ(line["flags"], 0);
    }
}

TEST_F(AiObjectsTest, AFramesPositionsLeaveInOneWriteWithTheirValues)
{
    std::vector<std::uint32_t> objects;
    for (int i = 0; i < 40; ++i)
        objects.push_back(addObject(33.95 + i * 0.001));
    const auto connection = qmx::scFindConnection(gf_simConnectHandle());
    ASSERT_TRUE(connection);
    // Let the stand-in's ObjectAdded messages and the frames settle before counting writes.
    ASSERT_TRUE(waitFor([&] { return sim->status().framesSent > 5; }));
    for (const std::uint32_t objectId : objects) {
        AcPositionRecord pose;
        pose.latitude = 34.0 + objectId * 1e-4;
        pose.longitude = -118.5;
        pose.heading = 1.5707963267948966; // 90 degrees
        pose.altitude = 1000.0 + objectId;
        pose.verticalSpeed = 10.0;
        pose.trueAirspeed = 180.0;
        pose.objectId = objectId;
        gf_updateAircraft(pose);
    }
    AcPositionRecord user;
    user.objectId = 1; // never moved
    gf_updateAircraft(user);
    const std::uint64_t writesBefore = connection->writeCalls();
    gf_handOverPositions();
    ASSERT_TRUE(waitForRequests("SetDataOnSimObject", objects.size()));
    EXPECT_EQ(connection->writeCalls() - writesBefore, 1u);
    EXPECT_EQ(sim->requestCount("SetDataOnSimObject"), objects.size());

    const auto moves = trace("moved");
    ASSERT_EQ(moves.size(), objects.size());
    for (const auto& move : moves) {
        const std::uint32_t objectId = move["object"];
        EXPECT_NE(objectId, 1u);
        EXPECT_DOUBLE_EQ(move["lat"].get<double>(), 34.0 + objectId * 1e-4);
        EXPECT_DOUBLE_EQ(move["alt"].get<double>(), 1000.0 + objectId);
        EXPECT_NEAR(move["heading"].get<double>(), 90.0, 1e-9);
        EXPECT_NEAR(move["vs"].get<double>(), 600.0, 1e-9);
        EXPECT_DOUBLE_EQ(move["tas"].get<double>(), 180.0);
    }
    for (const auto& set : trace("request", "SetDataOnSimObject")) {
        EXPECT_EQ(set["definition"], 402);
        EXPECT_EQ(set["array_count"], 1);
        EXPECT_EQ(set["unit_size"], 64);
    }
}

} // namespace
} // namespace simlinktest
