// The control language that the program's standard input, control files and scheduled actions use.

#include "control.h"
#include "raw_client.h"
#include "test_helpers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace fakesim_test {
namespace {

using fakesim::FakeSim;

TEST(FakesimControl, WordsAndNumbers)
{
    EXPECT_EQ(fakesim::splitControlWords("  user title=\"Boeing 737 Paint 1\"  lat=1.5\t"),
              (std::vector<std::string>{"user", "title=Boeing 737 Paint 1", "lat=1.5"}));
    EXPECT_TRUE(fakesim::splitControlWords("   ").empty());
    double v = 0;
    EXPECT_TRUE(fakesim::parseNumber("-118.408", v));
    EXPECT_DOUBLE_EQ(v, -118.408);
    for (const char* bad : {"", "1.5x", "nan", "inf", "abc"})
        EXPECT_FALSE(fakesim::parseNumber(bad, v)) << bad;
    std::array<std::uint32_t, 4> parts{};
    EXPECT_TRUE(fakesim::parseVersion("6.0.34.31011", parts));
    EXPECT_EQ(parts, (std::array<std::uint32_t, 4>{6, 0, 34, 31011}));
    EXPECT_TRUE(fakesim::parseVersion("5", parts));
    EXPECT_EQ(parts, (std::array<std::uint32_t, 4>{5, 0, 0, 0}));
    for (const char* bad : {"", "1.2.3.4.5", "1..2", "1.", "a.b"})
        EXPECT_FALSE(fakesim::parseVersion(bad, parts)) << bad;
}

TEST(FakesimControl, BadLinesAreAnsweredWithAnError)
{
    testsupport::TempFolder folder;
    FakeSim sim(quickConfig(folder.path()));
    for (const char* line : {"bogus", "sim maybe", "frame-rate fast", "frame-rate -1", "fail-next Bogus 3",
                             "fail-next AIRemoveObject x", "exception", "user lat=abc", "user lat=91",
                             "user colour=red", "at x quit", "at 5", "remove-object 77", "remove-object x",
                             "add-aircraft title", "app-version 1.x", "refuse-create many", "flood assigned x 5",
                             "flood assigned 104", "flood unknown deaf"}) {
        EXPECT_TRUE(sim.control(line).starts_with("error: ")) << line;
    }
    EXPECT_EQ(sim.control("# a comment"), "ok");
    EXPECT_EQ(sim.control(""), "ok");
    EXPECT_FALSE(sim.status().ended);
}

TEST(FakesimControl, CommandsChangeTheStandIn)
{
    testsupport::TempFolder folder;
    FakeSim sim(quickConfig(folder.path()));
    RawClient client(sim.port());
    client.open();
    client.send(subscribePacket(201, "Sim"));
    client.send(subscribePacket(205, "PositionChanged"));
    ASSERT_TRUE(sim.waitUntil(
        [](const fakesim::Status& s) { return s.requestCount("SubscribeToSystemEvent") == 2; }, kDeadline));
    ASSERT_TRUE(client.receiveWhere(4, 16, 201));

    EXPECT_EQ(sim.control("sim stop"), "ok");
    auto stopped = client.receiveWhere(4, 16, 201);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->u32(20), 0u);

    EXPECT_EQ(sim.control("user lat=51.47 lon=-0.4543 alt=83 heading=270 speed=15 title=\"Test Jet\""), "ok");
    const auto user = sim.userAircraft();
    EXPECT_DOUBLE_EQ(user.latitudeDeg, 51.47);
    EXPECT_DOUBLE_EQ(user.headingDeg, 270.0);
    EXPECT_DOUBLE_EQ(user.groundSpeedKt, 15.0);
    EXPECT_EQ(user.title, "Test Jet");
    EXPECT_EQ(sim.control("position-changed"), "ok");
    EXPECT_TRUE(client.receiveWhere(4, 16, 205));

    const std::string added = sim.control("add-aircraft title=\"Other Traffic\" atc_id=N99 agl=0 heading=45");
    ASSERT_TRUE(added.starts_with("ok ")) << added;
    const auto id = static_cast<std::uint32_t>(std::stoul(added.substr(3)));
    const auto status0 = sim.status();
    const auto* object = status0.findObject(id);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->atcId, "N99");
    EXPECT_DOUBLE_EQ(object->pose.latitudeDeg, 51.47);  // where the user aircraft is
    EXPECT_DOUBLE_EQ(object->pose.altitudeFt, 83.0);

    EXPECT_EQ(sim.control("app-name Lockheed Martin Prepar3D v6"), "ok");
    EXPECT_EQ(sim.control("app-version 6.0.34.31011"), "ok");
    EXPECT_EQ(sim.openReply().applicationName, "Lockheed Martin Prepar3D v6");
    EXPECT_EQ(sim.openReply().applicationBuildMinor, 31011u);

    EXPECT_EQ(sim.control("fail-next 0x2C 3"), "ok");
    const auto failed = client.send(removePacket(id, 105));
    auto refusal = client.receiveWhere(1, 16, failed);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->u32(12), 3u);
    EXPECT_EQ(sim.control("exception 24 77 2"), "ok");
    auto sent = client.receiveWhere(1, 16, 77);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->u32(12), 24u);
    EXPECT_EQ(sent->u32(20), 2u);

    const auto status = nlohmann::json::parse(sim.control("status"));
    EXPECT_EQ(status["connections"], 1);
    EXPECT_EQ(status["ai_objects"], 1);
    EXPECT_EQ(status["requests"]["AIRemoveObject"], 1);
    const auto objects = nlohmann::json::parse(sim.control("objects"));
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]["object"], id);
    EXPECT_EQ(sim.control("remove-object " + std::to_string(id)), "ok");
    EXPECT_TRUE(sim.aiObjects().empty());

    // Creation replies of the given request id, for object ids above every id given (which only
    // count up).
    EXPECT_EQ(sim.control("flood assigned 104 1"), "ok");
    const auto bogus = client.receiveWhere(12, 12, 104);
    ASSERT_TRUE(bogus);
    EXPECT_GT(bogus->u32(16), id);
}

TEST(FakesimControl, ScheduledCommandsRunOnTheSimulatedClock)
{
    testsupport::TempFolder folder;
    FakeSim sim(quickConfig(folder.path()));
    RawClient client(sim.port());
    client.open();
    EXPECT_EQ(sim.control("at 2 sim stop"), "ok");
    EXPECT_EQ(sim.control("at 3 quit"), "ok");
    ASSERT_TRUE(sim.waitUntil([](const fakesim::Status& s) { return !s.simRunning; }, kDeadline));
    EXPECT_GE(sim.status().simSeconds, 2);
    EXPECT_TRUE(sim.waitForEnd(kDeadline));
    EXPECT_TRUE(client.receiveId(3));
}

} // namespace
} // namespace fakesim_test
