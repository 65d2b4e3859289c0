// The stand-in in-process, driven over real sockets by the bare test client.

#include "fakesim.h"
#include "raw_client.h"
#include "test_helpers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>

namespace fakesim_test {
namespace {

using fakesim::FakeSim;
using fakesim::Status;

constexpr std::uint32_t kException = 1, kOpenReply = 2, kQuit = 3, kEvent = 4, kAddRemove = 5, kFileName = 6,
                        kFrame = 7, kData = 8, kDataByType = 9, kAssigned = 12;
constexpr double kDeg = std::numbers::pi / 180.0;

// The user-aircraft block as the program defines it.
void defineUserBlock(RawClient& client, std::uint32_t definition)
{
    const std::vector<std::pair<const char*, const char*>> doubles{
        {"Plane Latitude", "degree"},          {"Plane Longitude", "degree"},
        {"Plane Pitch degrees", "radians"},    {"Plane Bank degrees", "radians"},
        {"Plane Heading degrees true", "radians"}, {"Plane Altitude", "feet"},
        {"Plane Alt Above Ground", "feet"},    {"Ground Velocity", "knots"}};
    for (const auto& [name, units] : doubles)
        client.send(addDatumPacket(definition, name, units, 4));
    client.send(addDatumPacket(definition, "ZULU TIME", "Seconds", 2));
    client.send(addDatumPacket(definition, "ZULU DAY OF YEAR", "Number", 2));
    client.send(addDatumPacket(definition, "ZULU YEAR", "Number", 2));
    client.send(addDatumPacket(definition, "LIGHT STATES", "Mask", 2));
}

// The aircraft-in-range block as the program defines it.
void defineInRange(RawClient& client, std::uint32_t definition)
{
    client.send(addDatumPacket(definition, "Plane Alt Above Ground", "feet", 4));
    client.send(addDatumPacket(definition, "Ground Altitude", "feet", 4));
    client.send(addDatumPacket(definition, "SIM ON GROUND", "Bool", 2));
    client.send(addDatumPacket(definition, "ATC ID", "", 6));
}

// The position layout the program writes: 8 doubles.
void definePosition(RawClient& client, std::uint32_t definition)
{
    const std::vector<std::pair<const char*, const char*>> datums{
        {"Plane Latitude", "degree"},          {"Plane Longitude", "degree"},
        {"Plane Pitch degrees", "radians"},    {"Plane Bank degrees", "radians"},
        {"Plane Heading degrees true", "radians"}, {"Plane Altitude", "feet"},
        {"Vertical Speed", "feet per second"}, {"Airspeed True", "knots"}};
    for (const auto& [name, units] : datums)
        client.send(addDatumPacket(definition, name, units, 4));
}

class FakesimServer : public ::testing::Test {
protected:
    void start(fakesim::Config config) { sim_ = std::make_unique<FakeSim>(std::move(config)); }
    void start() { start(quickConfig(folder_.path())); }
    std::filesystem::path tracePath() const { return folder_.path() / "trace.jsonl"; }
    bool waitFor(const std::function<bool(const Status&)>& predicate)
    {
        return sim_->waitUntil(predicate, kDeadline);
    }
    // Creates an AI aircraft and returns its object id (0 when it failed).
    std::uint32_t create(RawClient& client, const std::string& tail, std::uint32_t requestId = 104)
    {
        client.send(createPacket("Boeing 737-800 Delta", tail, {33.95, -118.40, 130.0, 0, 0, 90.0, 1, 0}, requestId));
        auto assigned = client.receiveWhere(kAssigned, 12, requestId);
        return assigned ? assigned->u32(16) : 0;
    }

    testsupport::TempFolder folder_;
    std::unique_ptr<FakeSim> sim_;
};

TEST_F(FakesimServer, OpenReplyFollowsTheClientsProtocol)
{
    struct Case {
        std::uint32_t protocol;
        fakesim::wire::OpenReplyFields fields;
    };
    fakesim::wire::OpenReplyFields v6;
    v6.applicationName = "Lockheed Martin Prepar3D v6";
    v6.applicationVersionMajor = 6;
    v6.applicationVersionMinor = 0;
    v6.applicationBuildMajor = 34;
    v6.applicationBuildMinor = 31011;
    start();
    for (const Case& c : {Case{35, {}}, Case{4, v6}}) {
        sim_->setOpenReply(c.fields);
        RawClient client(sim_->port());
        client.protocol = c.protocol;
        const Message reply = client.open("Orvanta_P3D");
        EXPECT_EQ(reply.size(), 308u);
        EXPECT_EQ(reply.version(), c.protocol);
        EXPECT_EQ(getText(reply.bytes, 12, 256), c.fields.applicationName);
        EXPECT_EQ(reply.u32(268), c.fields.applicationVersionMajor);
        EXPECT_EQ(reply.u32(272), c.fields.applicationVersionMinor);
        EXPECT_EQ(reply.u32(276), c.fields.applicationBuildMajor);
        EXPECT_EQ(reply.u32(280), c.fields.applicationBuildMinor);
    }
    const auto opened = traceOfType(tracePath(), "opened");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0]["app_name"], "Orvanta_P3D");
    EXPECT_EQ(opened[0]["alias"], "D3P");
    EXPECT_EQ(opened[1]["protocol"], 4);
}

TEST_F(FakesimServer, UnknownProtocolIsRefusedWithVersionMismatch)
{
    start();
    RawClient client(sim_->port());
    client.protocol = 99;
    client.nextSendId = 40;
    client.send(openPacket("too new"));
    auto refused = client.receive();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->id(), kException);
    EXPECT_EQ(refused->u32(12), 5u);
    EXPECT_EQ(refused->u32(16), 40u);
    // Not open: further requests are refused as unopened.
    client.send(subscribePacket(201, "Sim"));
    auto unopened = client.receive();
    ASSERT_TRUE(unopened);
    EXPECT_EQ(unopened->id(), kException);
    EXPECT_EQ(unopened->u32(12), 4u);
    EXPECT_EQ(unopened->u32(16), 41u);
}

TEST_F(FakesimServer, SimEventTellsTheStateAtOnceAndOnEveryChange)
{
    auto config = quickConfig(folder_.path());
    config.simRunning = false;
    start(config);
    RawClient client(sim_->port());
    client.open();
    client.send(subscribePacket(201, "Sim"));
    client.send(subscribePacket(210, "simstart"));  // names are not case-sensitive
    client.send(subscribePacket(211, "SimStop"));
    ASSERT_TRUE(waitFor([](const Status& s) { return s.requestCount("SubscribeToSystemEvent") == 3; }));
    auto first = client.receiveWhere(kEvent, 16, 201);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->u32(12), 0xFFFFFFFFu);
    EXPECT_EQ(first->u32(20), 0u);

    sim_->setSimRunning(true);
    EXPECT_TRUE(client.receiveWhere(kEvent, 16, 210));
    auto running = client.receiveWhere(kEvent, 16, 201);
    ASSERT_TRUE(running);
    EXPECT_EQ(running->u32(20), 1u);

    sim_->setSimRunning(false);
    EXPECT_TRUE(client.receiveWhere(kEvent, 16, 211));
    auto stopped = client.receiveWhere(kEvent, 16, 201);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->u32(20), 0u);

    client.send(subscribePacket(299, "NoSuchEvent"));
    auto unknown = client.receiveId(kException);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->u32(12), 7u);
}

TEST_F(FakesimServer, UserAircraftBlockOnceAndEverySecond)
{
    auto config = quickConfig(folder_.path());
    config.user.headingDeg = 90.0;
    config.user.groundSpeedKt = 3600.0;  // a nautical mile each simulated second
    config.user.lightStates = 0x12;
    start(config);
    RawClient client(sim_->port());
    client.open();
    defineUserBlock(client, 403);
    client.send(requestDataPacket(109, 403, 0, 1));
    auto once = client.receiveWhere(kData, 12, 109);
    ASSERT_TRUE(once);
    ASSERT_EQ(once->size(), 40u + 96u);
    EXPECT_EQ(once->u32(16), 1u);  // the user aircraft's own object id, not 0
    EXPECT_EQ(once->u32(20), 403u);
    EXPECT_EQ(once->u32(28), 1u);
    EXPECT_EQ(once->u32(32), 1u);
    EXPECT_NEAR(once->f64(40), 33.9425, 1e-3);
    EXPECT_NEAR(once->f64(56 + 16), 90.0 * kDeg, 1e-9);  // heading in radians
    EXPECT_DOUBLE_EQ(once->f64(80), 125.0);
    EXPECT_DOUBLE_EQ(once->f64(96), 3600.0);
    const std::int64_t zulu = get64(once->bytes, 104);
    EXPECT_EQ(get64(once->bytes, 112), 61);  // 1 March 2024
    EXPECT_EQ(get64(once->bytes, 120), 2024);
    EXPECT_EQ(get64(once->bytes, 128), 0x12);

    client.send(requestDataPacket(108, 403, 0, 4));
    double previousLon = -1000;
    std::int64_t previousZulu = zulu - 1;
    for (int i = 0; i < 3; ++i) {
        auto periodic = client.receiveWhere(kData, 12, 108);
        ASSERT_TRUE(periodic);
        EXPECT_GT(periodic->f64(48), previousLon);  // flying east
        EXPECT_GT(get64(periodic->bytes, 104), previousZulu);
        previousLon = periodic->f64(48);
        previousZulu = get64(periodic->bytes, 104);
    }
    // Period "never" ends it: no further data for 108 after the ones already under way.
    client.send(requestDataPacket(108, 403, 0, 0));
    ASSERT_TRUE(waitFor([](const Status& s) { return s.requestCount("RequestDataOnSimObject") == 3; }));
    const auto seconds = sim_->status().simSeconds;
    ASSERT_TRUE(waitFor([&](const Status& s) { return s.simSeconds >= seconds + 3; }));
    while (auto late = client.receiveWhere(kData, 12, 108, std::chrono::milliseconds(0)))
        ;
    EXPECT_FALSE(client.receiveWhere(kData, 12, 108, std::chrono::milliseconds(300)));
}

// The whole set-up of the program's SimConnect thread, in its order: nothing of it is refused.
TEST_F(FakesimServer, TheProgramsSetUpIsAcceptedWhole)
{
    start();
    RawClient client(sim_->port());
    client.nextSendId = 1;
    client.open("Orvanta_P3D");
    const std::vector<std::pair<std::uint32_t, const char*>> events{
        {201, "Sim"}, {202, "ObjectAdded"}, {203, "ObjectRemoved"}, {205, "PositionChanged"},
        {206, "FlightLoaded"}, {204, "Frame"}};
    for (const auto& [id, name] : events)
        client.send(subscribePacket(id, name));
    client.send(addDatumPacket(407, "TITLE", "", 11));
    client.send(addDatumPacket(408, "ATC MODEL", "", 6));
    client.send(addDatumPacket(409, "SIM ON GROUND", "Bool", 2));
    definePosition(client, 402);
    defineUserBlock(client, 403);
    client.send(addDatumPacket(405, "Static CG to Ground", "feet", 4));
    client.send(addDatumPacket(405, "Static Pitch", "radians", 4));
    client.send(addDatumPacket(406, "Light On States", "Mask", 2));
    defineInRange(client, 404);
    const std::vector<std::pair<std::uint32_t, const char*>> clientEvents{
        {220, "GEAR_SET"}, {221, "ENGINE_AUTO_START"}, {222, "ENGINE_AUTO_SHUTDOWN"}, {223, "THROTTLE_SET"},
        {218, "FLAPS_SET"}, {219, "SPOILERS_SET"}, {208, "NAV_LIGHTS_SET"}, {207, "BEACON_LIGHTS_SET"},
        {211, "LANDING_LIGHTS_SET"}, {209, "TAXI_LIGHTS_SET"}, {210, "STROBES_SET"}, {213, "LOGO_LIGHTS_SET"},
        {212, "CABIN_LIGHTS_SET"}, {214, "ALL_LIGHTS_TOGGLE"}, {215, "FREEZE_LATITUDE_LONGITUDE_SET"},
        {216, "FREEZE_ALTITUDE_SET"}, {217, "FREEZE_ATTITUDE_SET"}};
    for (const auto& [id, name] : clientEvents)
        client.send(mapEventPacket(id, name));
    client.send(addDatumPacket(401, "SPOILERS HANDLE POSITION", "percent", 4));
    client.send(addDatumPacket(401, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", 4));
    client.send(addDatumPacket(401, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", 4));
    for (std::uint32_t id : {208, 207, 211, 209, 210, 213, 212, 214, 218, 219, 220, 222, 223, 215, 216, 217})
        client.send(addToGroupPacket(301, id, 1));
    client.send(groupPriorityPacket(301, 1));
    client.send(requestDataPacket(108, 409, 0, 4));
    client.send(requestDataPacket(109, 403, 0, 1));
    client.send(requestDataPacket(106, 407, 0, 1));
    client.send(requestDataPacket(107, 408, 0, 1));

    auto title = client.receiveWhere(kData, 12, 106);
    ASSERT_TRUE(title);
    EXPECT_EQ(getText(title->bytes, 40, title->size() - 40), "Default Boeing 737-800");
    auto model = client.receiveWhere(kData, 12, 107);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->size(), 40u + 32u);
    EXPECT_EQ(getText(model->bytes, 40, 32), "B738");
    auto user = client.receiveWhere(kData, 12, 109);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->u32(16), 1u);
    for (int tick = 0; tick < 2; ++tick) {
        auto onGround = client.receiveWhere(kData, 12, 108);
        ASSERT_TRUE(onGround);
        EXPECT_EQ(get64(onGround->bytes, 40), 1);
    }
    EXPECT_TRUE(client.receiveWhere(kFrame, 16, 204));
    EXPECT_EQ(sim_->status().exceptionsSent, 0u);
    EXPECT_TRUE(traceOfType(tracePath(), "exception").empty());
}

TEST_F(FakesimServer, RequestFlagsLimitAndChangedAndTagged)
{
    start();
    RawClient client(sim_->port());
    client.open();
    client.send(addDatumPacket(1, "ATC ID", "", 6, 7));
    client.send(addDatumPacket(1, "ZULU TIME", "seconds", 2, 8));
    // Limit 2: two messages, then the request ends by itself.
    client.send(requestDataPacket(50, 1, 0, 4, 0, 0, 0, 2));
    // "Changed" on an unchanging text: one message only.
    client.send(addDatumPacket(2, "ATC ID", "", 6));
    client.send(requestDataPacket(51, 2, 0, 4, 1));
    // Tagged: each datum is preceded by its datum id.
    client.send(requestDataPacket(52, 1, 0, 1, 2));
    auto tagged = client.receiveWhere(kData, 12, 52);
    ASSERT_TRUE(tagged);
    EXPECT_EQ(tagged->u32(36), 2u);
    EXPECT_EQ(tagged->u32(40), 7u);
    EXPECT_EQ(getText(tagged->bytes, 44, 32), "N737FS");
    EXPECT_EQ(tagged->u32(76), 8u);

    ASSERT_TRUE(client.receiveWhere(kData, 12, 50));
    ASSERT_TRUE(client.receiveWhere(kData, 12, 50));
    ASSERT_TRUE(client.receiveWhere(kData, 12, 51));
    const auto seconds = sim_->status().simSeconds;
    ASSERT_TRUE(waitFor([&](const Status& s) { return s.simSeconds >= seconds + 3; }));
    EXPECT_FALSE(client.receiveWhere(kData, 12, 50, std::chrono::milliseconds(200)));
    EXPECT_FALSE(client.receiveWhere(kData, 12, 51, std::chrono::milliseconds(0)));
}

TEST_F(FakesimServer, CreationAnnouncesTheObjectAndListsItByType)
{
    start();
    RawClient client(sim_->port());
    client.open();
    client.send(subscribePacket(202, "ObjectAdded"));
    defineInRange(client, 404);
    const std::uint32_t id = create(client, "DAL123");
    ASSERT_GE(id, 100u);
    auto added = client.receiveWhere(kAddRemove, 16, 202);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->u32(20), id);
    EXPECT_EQ(added->u32(24), 2u);

    client.send(requestByTypePacket(101, 404, 20000, 2));
    std::vector<Message> replies;
    for (int i = 0; i < 2; ++i) {
        auto reply = client.receiveWhere(kDataByType, 12, 101);
        ASSERT_TRUE(reply);
        replies.push_back(*reply);
    }
    EXPECT_EQ(replies[0].u32(16), 1u);  // the user aircraft first
    EXPECT_EQ(replies[1].u32(16), id);
    EXPECT_EQ(replies[1].u32(28), 2u);  // entry 2 of 2
    EXPECT_EQ(replies[1].u32(32), 2u);
    EXPECT_EQ(getText(replies[1].bytes, 40 + 24, 32), "DAL123");
    EXPECT_EQ(get64(replies[1].bytes, 40 + 16), 1);  // on the ground
    EXPECT_DOUBLE_EQ(replies[1].f64(48), 125.0);     // ground altitude

    const auto created = traceOfType(tracePath(), "created");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]["object"], id);
    EXPECT_EQ(created[0]["tail"], "DAL123");
    EXPECT_EQ(created[0]["title"], "Boeing 737-800 Delta");
    EXPECT_EQ(created[0]["heading"], 90.0);
}

TEST_F(FakesimServer, RefusedCreationsAnswerException22ForTheirSendIds)
{
    start();
    RawClient client(sim_->port());
    client.nextSendId = 5000;  // send ids are the client's own business
    client.open();
    sim_->refuseNextCreation();
    sim_->refuseTitle("Unknown Livery");
    const auto refusedSendId = client.send(createPacket("Boeing 737-800 Delta", "DAL1", {}, 104));
    const auto titleSendId = client.send(createPacket("unknown livery", "DAL2", {}, 104));
    const auto emptySendId = client.send(createPacket("", "DAL3", {}, 104));
    for (auto sendId : {refusedSendId, titleSendId, emptySendId}) {
        auto refusal = client.receiveWhere(kException, 16, sendId);
        ASSERT_TRUE(refusal) << sendId;
        EXPECT_EQ(refusal->u32(12), 22u);
    }
    EXPECT_NE(create(client, "DAL4"), 0u);
    EXPECT_EQ(sim_->aiObjects().size(), 1u);
    const auto exceptions = traceOfType(tracePath(), "exception");
    ASSERT_EQ(exceptions.size(), 3u);
    EXPECT_EQ(exceptions[0]["send_id"], refusedSendId);
    EXPECT_EQ(exceptions[0]["exception"], 22);
}

TEST_F(FakesimServer, TooManyObjectsIsException11)
{
    auto config = quickConfig(folder_.path());
    config.maxAiObjects = 1;
    start(config);
    RawClient client(sim_->port());
    client.open();
    ASSERT_NE(create(client, "A1"), 0u);
    const auto sendId = client.send(createPacket("Boeing 737-800 Delta", "A2", {}, 104));
    auto refusal = client.receiveWhere(kException, 16, sendId);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->u32(12), 11u);
}

TEST_F(FakesimServer, RemovalAnnouncesObjectRemovedAndRefusesWhatItCannotRemove)
{
    start();
    RawClient client(sim_->port());
    client.open();
    client.send(subscribePacket(203, "ObjectRemoved"));
    const std::uint32_t id = create(client, "UAL9");
    ASSERT_NE(id, 0u);
    client.send(removePacket(id, 105));
    auto removed = client.receiveWhere(kAddRemove, 16, 203);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->u32(20), id);
    EXPECT_TRUE(sim_->aiObjects().empty());

    struct Case {
        std::uint32_t object;
        std::uint32_t exception;
    };
    for (const Case& c : {Case{id, 3}, Case{1, 24}, Case{0, 24}, Case{424242, 3}}) {
        const auto sendId = client.send(removePacket(c.object, 105));
        auto refusal = client.receiveWhere(kException, 16, sendId);
        ASSERT_TRUE(refusal) << c.object;
        EXPECT_EQ(refusal->u32(12), c.exception) << c.object;
    }
    const auto gone = traceOfType(tracePath(), "removed");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0]["object"], id);
    EXPECT_EQ(gone[0]["by"], "client");
}

TEST_F(FakesimServer, PositionWritesMoveTheObjectAndAreTraced)
{
    start();
    RawClient client(sim_->port());
    client.open();
    definePosition(client, 402);
    defineInRange(client, 404);
    const std::uint32_t id = create(client, "SWA1");
    Bytes pose(64);
    putF64(pose, 0, 34.0);
    putF64(pose, 8, -118.5);
    putF64(pose, 16, 2.0 * kDeg);
    putF64(pose, 24, -5.0 * kDeg);
    putF64(pose, 32, 250.0 * kDeg);
    putF64(pose, 40, 3000.0);
    putF64(pose, 48, 20.0);
    putF64(pose, 56, 180.0);
    client.send(setDataPacket(402, id, pose, 64));
    ASSERT_TRUE(waitFor([&](const Status& s) {
        const auto* o = s.findObject(id);
        return o != nullptr && o->writeCount == 1;
    }));
    const auto object = *sim_->status().findObject(id);
    EXPECT_DOUBLE_EQ(object.pose.latitudeDeg, 34.0);
    EXPECT_NEAR(object.pose.headingDeg, 250.0, 1e-9);
    EXPECT_NEAR(object.pose.verticalSpeedFpm, 1200.0, 1e-9);
    EXPECT_FALSE(object.pose.onGround);

    // The by-type reply sees the new height.
    client.send(requestByTypePacket(101, 404, 200000, 2));
    auto reply = client.receiveWhere(kDataByType, 16, id);
    ASSERT_TRUE(reply);
    EXPECT_DOUBLE_EQ(reply->f64(40), 3000.0 - 125.0);
    EXPECT_EQ(get64(reply->bytes, 56), 0);

    // A unit size smaller than the definition is refused.
    const auto sendId = client.send(setDataPacket(402, id, Bytes(32), 32));
    auto refusal = client.receiveWhere(kException, 16, sendId);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->u32(12), 19u);

    const auto moved = traceOfType(tracePath(), "moved");
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0]["object"], id);
    EXPECT_DOUBLE_EQ(moved[0]["lon"].get<double>(), -118.5);
    EXPECT_NEAR(moved[0]["pitch"].get<double>(), 2.0, 1e-9);
    EXPECT_DOUBLE_EQ(moved[0]["alt"].get<double>(), 3000.0);
}

TEST_F(FakesimServer, ClientEventsReachTheObject)
{
    start();
    RawClient client(sim_->port());
    client.open();
    const std::uint32_t id = create(client, "AAL7");
    client.send(mapEventPacket(208, "NAV_LIGHTS_SET"));
    client.send(mapEventPacket(213, "LOGO_LIGHTS_SET"));
    client.send(transmitEventPacket(id, 208, 1));
    client.send(transmitEventPacket(id, 213, 1));
    ASSERT_TRUE(waitFor([&](const Status& s) { return s.requestCount("TransmitClientEvent") == 2; }));
    EXPECT_EQ(sim_->status().findObject(id)->lightStates, 0x0101u);
    const auto unmapped = client.send(transmitEventPacket(id, 999, 1));
    auto refusal = client.receiveWhere(kException, 16, unmapped);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->u32(12), 3u);
    const auto requests = traceOfType(tracePath(), "request");
    const auto transmit = std::find_if(requests.begin(), requests.end(),
                                       [](const auto& r) { return r["request"] == "TransmitClientEvent"; });
    ASSERT_NE(transmit, requests.end());
    EXPECT_EQ((*transmit)["event_name"], "NAV_LIGHTS_SET");
}

TEST_F(FakesimServer, FlightPlanIsReadOrRefusedWithException23)
{
    start();
    RawClient client(sim_->port());
    client.open();
    const std::uint32_t id = create(client, "DAL5");
    const auto plan = folder_.path() / (std::to_string(id) + ".pln");
    std::ofstream(plan) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n<FlightPlan.FlightPlan>\n"
                           "<FPType>IFR</FPType>\n<DepartureID>KLAX</DepartureID>\n"
                           "<DestinationID>KATL</DestinationID>\n</FlightPlan.FlightPlan>\n</SimBase.Document>\n";
    client.send(flightPlanPacket(id, plan.string(), 110));
    const auto missing = client.send(flightPlanPacket(id, (folder_.path() / "none.pln").string(), 110));
    auto refusal = client.receiveWhere(kException, 16, missing);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->u32(12), 23u);
    const auto object = *sim_->status().findObject(id);
    EXPECT_EQ(object.departure, "KLAX");
    EXPECT_EQ(object.destination, "KATL");
    ASSERT_TRUE(waitFor([&](const Status&) { return traceOfType(tracePath(), "flight_plan").size() == 1; }));
    EXPECT_EQ(traceOfType(tracePath(), "flight_plan")[0]["plan_type"], "IFR");
}

TEST_F(FakesimServer, FramesSecondsAndFlightLoaded)
{
    start();
    RawClient client(sim_->port());
    client.open();
    client.send(subscribePacket(204, "Frame"));
    client.send(subscribePacket(1, "1sec"));
    client.send(subscribePacket(206, "FlightLoaded"));
    ASSERT_TRUE(waitFor([](const Status& s) { return s.requestCount("SubscribeToSystemEvent") == 3; }));
    auto frame = client.receiveWhere(kFrame, 16, 204);
    ASSERT_TRUE(frame);
    EXPECT_FLOAT_EQ(getF32(frame->bytes, 24), 10.0f);
    EXPECT_TRUE(client.receiveWhere(kEvent, 16, 1));
    sim_->sendFlightLoaded("C:\\Users\\me\\Documents\\Prepar3D v5 Files\\KLAX.fxml");
    auto loaded = client.receiveWhere(kFileName, 16, 206);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(getText(loaded->bytes, 24, 260), "C:\\Users\\me\\Documents\\Prepar3D v5 Files\\KLAX.fxml");
    // Unsubscribed: no more frames after those under way.
    client.send(unsubscribePacket(204));
    ASSERT_TRUE(waitFor([](const Status& s) { return s.requestCount("UnsubscribeFromSystemEvent") == 1; }));
    while (client.receiveWhere(kFrame, 16, 204, std::chrono::milliseconds(0)))
        ;
    const auto frames = sim_->status().framesSent;
    const auto seconds = sim_->status().simSeconds;
    ASSERT_TRUE(waitFor([&](const Status& s) { return s.simSeconds >= seconds + 2; }));
    EXPECT_EQ(sim_->status().framesSent, frames);
}

TEST_F(FakesimServer, SimulatorPlacedTrafficAndAFailedRequestByCommand)
{
    start();
    RawClient client(sim_->port());
    client.open();
    client.send(subscribePacket(202, "ObjectAdded"));
    client.send(subscribePacket(203, "ObjectRemoved"));
    ASSERT_TRUE(waitFor([](const Status& s) { return s.requestCount("SubscribeToSystemEvent") == 2; }));
    fakesim::SimObject traffic;
    traffic.title = "Other traffic";
    traffic.atcId = "N1*";
    traffic.pose.latitudeDeg = 33.94;
    traffic.pose.longitudeDeg = -118.41;
    const auto id = sim_->addSimObject(traffic);
    auto added = client.receiveWhere(kAddRemove, 16, 202);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->u32(20), id);
    sim_->failNextRequest(0x2C, 3);
    const auto failed = client.send(removePacket(id, 105));
    auto refusal = client.receiveWhere(kException, 16, failed);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->u32(12), 3u);
    EXPECT_EQ(sim_->aiObjects().size(), 1u);
    EXPECT_TRUE(sim_->removeSimObject(id));
    auto removed = client.receiveWhere(kAddRemove, 16, 203);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->u32(20), id);
    EXPECT_FALSE(sim_->removeSimObject(id));
}

TEST_F(FakesimServer, AClientsObjectsGoWithItsConnection)
{
    start();
    RawClient watcher(sim_->port());
    watcher.open("watcher");
    watcher.send(subscribePacket(203, "ObjectRemoved"));
    ASSERT_TRUE(waitFor([](const Status& s) { return s.requestCount("SubscribeToSystemEvent") == 1; }));
    std::uint32_t id = 0;
    {
        RawClient creator(sim_->port());
        creator.open("creator");
        id = create(creator, "JBU1");
        ASSERT_NE(id, 0u);
    }
    auto removed = watcher.receiveWhere(kAddRemove, 16, 203);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->u32(20), id);
    const auto gone = traceOfType(tracePath(), "removed");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0]["by"], "disconnect");
}

TEST_F(FakesimServer, DropClosesWithoutAWordAndQuitSaysQuit)
{
    start();
    {
        RawClient client(sim_->port());
        client.open();
        sim_->dropConnections();
        EXPECT_TRUE(client.waitClosed());
    }
    RawClient again(sim_->port());  // still listening after a drop
    again.open();
    EXPECT_FALSE(again.receiveId(kQuit, std::chrono::milliseconds(0)));
    sim_->quit();
    auto quit = again.receiveId(kQuit);
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->size(), 12u);
    EXPECT_TRUE(again.waitClosed());
    EXPECT_TRUE(sim_->waitForEnd(kDeadline));
    EXPECT_THROW(RawClient{sim_->port()}, std::runtime_error);
    const auto trace = readTrace(tracePath());
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.front()["type"], "listen");
    EXPECT_EQ(traceOfType(tracePath(), "drop").size(), 1u);
    EXPECT_EQ(traceOfType(tracePath(), "quit").size(), 1u);
}

TEST_F(FakesimServer, PipeSpeaksTheSameProtocol)
{
    auto config = quickConfig(folder_.path());
    config.listenTcp = false;
    config.pipePath = testPipe(folder_.path());
    start(config);
    EXPECT_EQ(sim_->port(), 0);
    {
        RawClient client(config.pipePath);
        const Message reply = client.open();
        EXPECT_EQ(reply.size(), 308u);
    }
    ASSERT_TRUE(waitFor([](const Status& s) { return s.connectionsSeen == 1 && s.connections == 0; }));
    RawClient again(config.pipePath);  // the next client finds the pipe too
    again.open();
    sim_->quit();
    EXPECT_TRUE(again.receiveId(kQuit));
    EXPECT_TRUE(again.waitClosed());
    EXPECT_TRUE(sim_->waitForEnd(kDeadline));
    EXPECT_THROW(RawClient{config.pipePath}, std::runtime_error);
    const auto connects = traceOfType(tracePath(), "connect");
    ASSERT_EQ(connects.size(), 2u);
    EXPECT_EQ(connects[0]["via"], connects[1]["via"]);
    EXPECT_NE(connects[0]["via"], "tcp");
}

TEST_F(FakesimServer, BadInputNeverBreaksTheStandIn)
{
    start();
    // Impossible size fields end the connection.
    for (std::uint32_t size : {0u, 8u, 15u, 0x7FFFFFFFu}) {
        RawClient client(sim_->port());
        Bytes bytes(24, 0);
        put32(bytes, 0, size);
        client.sendRaw(bytes);
        EXPECT_TRUE(client.waitClosed()) << size;
    }
    RawClient client(sim_->port());
    client.nextSendId = 0;
    client.open();
    // A creation cut short: SIZE_MISMATCH for its send id.
    Packet shortCreate = createPacket("B738", "X", {}, 104);
    shortCreate.bytes.resize(100);
    const auto shortId = client.send(shortCreate);
    auto sizeMismatch = client.receiveWhere(kException, 16, shortId);
    ASSERT_TRUE(sizeMismatch);
    EXPECT_EQ(sizeMismatch->u32(12), 2u);
    // Set data whose counts would reach far beyond the packet.
    client.send(addDatumPacket(9, "Plane Latitude", "degree", 4));
    Packet huge = setDataPacket(9, 1, Bytes(8), 8);
    put32(huge.bytes, 28, 0xFFFFFFFF);
    put32(huge.bytes, 32, 0xFFFFFFFF);
    const auto hugeId = client.send(huge);
    auto invalid = client.receiveWhere(kException, 16, hugeId);
    ASSERT_TRUE(invalid);
    EXPECT_EQ(invalid->u32(12), 19u);
    // Tagged data with a datum cut off.
    client.send(addDatumPacket(10, "Plane Latitude", "degree", 4, 5));
    Bytes tagged(8);
    put32(tagged, 0, 5);
    const auto taggedId = client.send(setDataPacket(10, 1, tagged, 8, 1));
    auto cut = client.receiveWhere(kException, 16, taggedId);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->u32(12), 19u);

    // Random packets with valid size fields and any content.
    std::mt19937 random(20240301);
    for (int i = 0; i < 300; ++i) {
        Bytes bytes(16 + random() % 600);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        put32(bytes, 0, static_cast<std::uint32_t>(bytes.size()));
        if (i % 2 == 0)
            put32(bytes, 8, 0xF0000000 | (random() % 0x30));  // mostly known request numbers
        client.sendRaw(bytes);
    }
    // Requests are answered in order: once this one is, every random packet has been handled.
    const auto last = client.send(removePacket(999999, 105));
    ASSERT_TRUE(client.receiveWhere(kException, 16, last));
    // The stand-in still answers a new client.
    RawClient fresh(sim_->port());
    EXPECT_EQ(fresh.open().size(), 308u);
    readTrace(tracePath());  // every line is still JSON
}

} // namespace
} // namespace fakesim_test
