#include "fakert/fakert.h"
#include "peers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fakert {
namespace {

using fakert_test::kPatience;
using std::chrono::milliseconds;

Options lf_linkOnly(const fakert_test::TinyServer& server)
{
    Options options;
    options.tcpPort = server.port();
    options.qnhPeriod = milliseconds(0);
    options.connectRetry = milliseconds(20);
    return options;
}

TEST(Link, RetriesUntilTheServerListensAnswersRecordsAndEndsOnExit)
{
    testsupport::TempFolder folder;
    fakert_test::TinyServer server; // bound, but refusing until it listens
    Options options = lf_linkOnly(server);
    options.recordFile = folder / "received.txt";
    FakeRt rt(options);
    rt.start({});
    ASSERT_TRUE(rt.waitUntil([&] { return rt.counters().connectAttempts >= 2; }, kPatience));
    EXPECT_FALSE(rt.connected());

    server.listen();
    ASSERT_TRUE(server.accept(kPatience));
    ASSERT_TRUE(rt.waitUntil([&] { return rt.connected(); }, kPatience));
    server.send("Qs999=version\r\n");
    const auto reply = server.readLine(kPatience);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, std::string(kDefaultVersionReply) + "\r\n");
    const auto version = nlohmann::json::parse(*reply);
    EXPECT_EQ(version.at("version"), "10.0.240");
    EXPECT_EQ(version.at("level"), 2);

    // Lines may arrive together or cut anywhere.
    server.send("Qs121=5e+03;0;1.570796;4e+07;250000;0.592539;-2.058910\r\nQs12");
    server.send("3=1593034598000\r\n");
    ASSERT_TRUE(rt.waitUntil([&] { return rt.counters().tcpLines == 3; }, kPatience));
    server.send("exit\r\n");
    EXPECT_TRUE(server.waitClosed(kPatience));
    ASSERT_TRUE(rt.waitUntil([&] { return rt.exitReceived() && !rt.connected(); }, kPatience));

    const std::vector<std::string> expected{"Qs999=version", "Qs121=5e+03;0;1.570796;4e+07;250000;0.592539;-2.058910",
                                            "Qs123=1593034598000", "exit"};
    EXPECT_EQ(rt.receivedLines(), expected);
    EXPECT_EQ(rt.counters().connections, 1U);
    EXPECT_EQ(testsupport::readFile(folder / "received.txt"),
              "Qs999=version\nQs121=5e+03;0;1.570796;4e+07;250000;0.592539;-2.058910\nQs123=1593034598000\nexit\n");
}

TEST(Link, EveryVersionQueryGetsTheConfiguredReply)
{
    for (const std::string reply : {R"({"version":"9.0.1","level":1})", R"({"version":"8.2"})"}) {
        SCOPED_TRACE(reply);
        fakert_test::TinyServer server;
        server.listen();
        Options options = lf_linkOnly(server);
        options.versionReply = reply;
        FakeRt rt(options);
        rt.start({});
        ASSERT_TRUE(server.accept(kPatience));
        for (int i = 0; i < 2; ++i) {
            server.send("Qs999=version\r\n");
            EXPECT_EQ(server.readLine(kPatience), reply + "\r\n");
        }
    }
}

TEST(Link, ConnectsAgainWhenTheProgramDropsTheLink)
{
    fakert_test::TinyServer server;
    server.listen();
    FakeRt rt(lf_linkOnly(server));
    rt.start({});
    ASSERT_TRUE(server.accept(kPatience));
    server.closeClient(); // as the program does after a failed send
    ASSERT_TRUE(server.accept(kPatience));
    server.send("Qs999=version\r\n");
    EXPECT_EQ(server.readLine(kPatience), std::string(kDefaultVersionReply) + "\r\n");
    EXPECT_EQ(rt.counters().connections, 2U);
    EXPECT_FALSE(rt.exitReceived());
}

TEST(Link, ConnectsAgainAfterExitOnlyWhenAsked)
{
    fakert_test::TinyServer server;
    server.listen();
    Options options = lf_linkOnly(server);
    options.reconnectAfterExit = true;
    FakeRt rt(options);
    rt.start({});
    ASSERT_TRUE(server.accept(kPatience));
    server.send("exit\r\n");
    ASSERT_TRUE(server.waitClosed(kPatience));
    ASSERT_TRUE(server.accept(kPatience)); // the next run of a restarting program
    EXPECT_TRUE(rt.exitReceived());
    EXPECT_TRUE(rt.waitUntil([&] { return rt.counters().connections == 2; }, kPatience));
}

TEST(Link, StopEndsAWaitingLink)
{
    fakert_test::TinyServer server;
    server.listen();
    FakeRt rt(lf_linkOnly(server));
    rt.start({});
    ASSERT_TRUE(server.accept(kPatience));
    rt.stop(); // fakert's side waits in a receive
    EXPECT_TRUE(server.waitClosed(kPatience));
    EXPECT_FALSE(rt.connected());
}

} // namespace
} // namespace fakert
