// The TCP link to the RealTraffic client, served to fakert and to plain test clients.

#include "rt_link_fixture.h"
#include "engine/ac_records.h"
#include "engine/update_pass.h"
#include "simlink/sim_internal.h"
#include "support/test_seams.h"

#include <nlohmann/json.hpp>

#include <future>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using namespace traffic_test;

TEST_F(RtLink, VersionQueryPositionTimeAndExit)
{
    fakert::FakeRt client(fakertOptions());
    client.start({});
    ASSERT_TRUE(lf_connectRealTraffic());
    EXPECT_TRUE(rtConnected.load());
    EXPECT_TRUE(g_professionalEdition.load());
    EXPECT_TRUE(gf_trafficStatus().rtReady);
    EXPECT_EQ(gf_trafficStatus().rtVersionText, "RT prof edition: 10.0.240");
    EXPECT_EQ(gf_messageLineState().text, "") << "the waiting message is cleared";

    gf_storeOwnPosition(kAtKlax);
    gf_sendOwnPosition();
    lf_sendQs123(1700000000);
    lf_sendQs123(0); // no simulator time yet: nothing is sent
    EXPECT_FALSE(waitForClient()) << "no second client while one is connected";
    gf_closeRealTrafficServer();
    EXPECT_FALSE(rtConnected.load());
    ASSERT_TRUE(client.waitUntil([&] { return client.exitReceived(); }, kPatience));
    EXPECT_EQ(client.receivedLines(),
              (std::vector<std::string>{"Qs999=version", kAtKlaxLine, "Qs123=1700000000000", "exit"}));
    const std::string text = log();
    EXPECT_NE(text.find("Waiting for RealTraffic to connect to Orvanta_P3D ..."), std::string::npos);
    EXPECT_NE(text.find("RealTraffic connected"), std::string::npos);
}

TEST_F(RtLink, OwnPositionTexts)
{
    struct Case {
        OwnPosition position;
        const char* line;
    };
    const std::vector<Case> cases{
        {kAtKlax, kAtKlaxLine},
        {{0.0, 0.0, 0.0, 0.0, 12.5, 50.0, 7.0}, "Qs121=0;0;0.000000;0;12500;0.872665;0.122173"},
        {{0.05, 0.0, 6.2, 950.0, 100.0, -33.85, 152.7}, "Qs121=5e+03;0;6.200000;1e+06;1e+05;-0.590794;2.665118"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_ownPositionLine(c.position), std::string(c.line) + "\r\n");
}

TEST_F(RtLink, NoPositionIsSentBeforeTheSimulatorToldWhereTheUserIs)
{
    gf_storeOwnPosition({0.0, 0.0, 0.0, 0.0, 0.0, 0.0009, 0.05});
    const auto call = std::async(std::launch::async, gf_sendOwnPosition);
    // Would block in accept if it tried to reach the (absent) client.
    EXPECT_EQ(call.wait_for(kPatience), std::future_status::ready);
    EXPECT_FALSE(rtConnected.load());
}

TEST_F(RtLink, VersionReplies)
{
    struct Case {
        const char* reply;
        bool professional;
        const char* text;
    };
    const std::vector<Case> cases{
        {R"({"version":"10.0.240"})", true, "RT prof edition: 10.0.240"},
        {R"({"version":"9.0","level":1})", false, "RT stnd edition: 9.0"},
        {R"({"version":"9.0","level":2})", true, "RT prof edition: 9.0"},
        {R"({"level":1})", false, "RT stnd edition: ?"},
        {R"({"version":null,"level":null})", true, "RT prof edition: ?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        g_professionalEdition = !c.professional;
        lf_readRealTrafficVersion(c.reply);
        EXPECT_EQ(g_professionalEdition.load(), c.professional);
        EXPECT_EQ(gf_trafficStatus().rtVersionText, c.text);
    }
    g_professionalEdition = true;
    lf_readRealTrafficVersion("");
    EXPECT_FALSE(g_professionalEdition.load());
    EXPECT_EQ(gf_messageLineState().text, "No RealTraffic version received?");
}

TEST_F(RtLink, RepliesOfTheWrongShapeRaiseTheJsonError)
{
    for (const char* reply : {"garbage", "[1,2]", "42", R"({"version":5})", R"({"level":"2"})", R"({"level":2.0})",
                              R"({"level":1e300})", R"({"version":"1.0")"}) {
        SCOPED_TRACE(reply);
        EXPECT_THROW(lf_readRealTrafficVersion(reply), nlohmann::json::exception);
    }
}

TEST_F(RtLink, AClientThatSendsGarbageEndsTheConnectionStepWithTheError)
{
    fakert::Options options = fakertOptions();
    options.versionReply = "no version here";
    fakert::FakeRt client(options);
    client.start({});
    EXPECT_THROW(lf_connectRealTraffic(), nlohmann::json::parse_error);
    // The run reports the error and closes the link, which still says goodbye.
    gf_closeRealTrafficServer();
    EXPECT_TRUE(client.waitUntil([&] { return client.exitReceived(); }, kPatience));
}

// A client that answers without a line end and stays connected does not hold up the start.
TEST_F(RtLink, AReplyWithoutALineEndIsTakenAsItCame)
{
    fakert::Options options = fakertOptions();
    options.versionReply = R"({"version":"10.0.240","level":1})";
    options.versionLineEnd = false;
    fakert::FakeRt client(options);
    client.start({});
    auto connecting = std::async(std::launch::async, lf_connectRealTraffic);
    const bool answered = connecting.wait_for(kPatience) == std::future_status::ready;
    if (!answered)
        gf_closeRealTrafficServer(); // lets the test end
    ASSERT_TRUE(answered) << "the reply was waited on for a line end";
    EXPECT_TRUE(connecting.get());
    EXPECT_EQ(gf_trafficStatus().rtVersionText, "RT stnd edition: 10.0.240");
}

TEST_F(RtLink, AReplyInPiecesIsReadToTheEndOfItsObject)
{
    auto connecting = std::async(std::launch::async, lf_connectRealTraffic);
    TestClient client(port_);
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.readLine(), "Qs999=version");
    client.send(R"({"version":"9.)");
    // Apart in time, so that the program's first read finds only the first piece.
    std::this_thread::sleep_for(50ms);
    client.send("5\",\"level\":1}\r\n");
    ASSERT_EQ(connecting.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(connecting.get());
    EXPECT_EQ(gf_trafficStatus().rtVersionText, "RT stnd edition: 9.5");
}

TEST_F(RtLink, AClientThatDoesNotAnswerTheVersionQueryIsNamedWhileTheLinkWaits)
{
    std::future<bool> connecting; // made before the client, which ends its wait when it goes first
    TestClient client(port_);
    connecting = std::async(std::launch::async, lf_connectRealTraffic);
    ASSERT_EQ(client.readLine(), "Qs999=version");
    const std::string notice = "A RealTraffic client is connected and has not answered the version query ...";
    ASSERT_TRUE(eventually([&] { return gf_messageLineState().text == notice; }));
    EXPECT_EQ(connecting.wait_for(0s), std::future_status::timeout) << "the link still waits for the reply";
    client.send(R"({"version":"10.0.240","level":1})");
    ASSERT_EQ(connecting.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(connecting.get());
    EXPECT_EQ(gf_trafficStatus().rtVersionText, "RT stnd edition: 10.0.240");
    EXPECT_EQ(gf_messageLineState().text, "");
}

TEST_F(RtLink, ALostClientIsWaitedForAndComesBackWithoutAVersionQuery)
{
    gf_storeOwnPosition(kAtKlax);
    // The client's traffic in the simulator.
    for (std::uint32_t i = 0; i < 30; ++i) {
        LiveAc& ac = liveAcTable.emplace_back(StreamPosition{}, AcDescription{.key = 0x100000 + i}, 0.0);
        ac.state = AcState::InSim;
        liveAcTable.setObjectId(ac, 100 + i);
    }
    {
        fakert::FakeRt first(fakertOptions());
        first.start({});
        ASSERT_TRUE(lf_connectRealTraffic());
        gf_sendOwnPosition();
        ASSERT_TRUE(first.waitUntil([&] { return first.receivedLines().size() == 2; }, kPatience));
    } // the client goes away
    g_latestTrafficStamp = 1700000000.0;
    // The first send after the close may still be taken by the system; a later one fails. (Once
    // the link is down, a call would wait for the client: none is made then.)
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (rtConnected.load() && std::chrono::steady_clock::now() < deadline) {
        gf_sendOwnPosition();
        std::this_thread::yield();
    }
    ASSERT_FALSE(rtConnected.load());
    EXPECT_FALSE(gf_trafficStatus().rtReady);
    EXPECT_EQ(trafficReader.lastTimeStamp(), 0.0) << "the readers are reset for the next client";
    EXPECT_NE(gf_messageLineState().text.find("RealTraffic gone? Wait for RealTraffic to re-connect ..."),
              std::string::npos);
    const std::string text = log();
    EXPECT_NE(text.find("sendDataPacket to RealTraffic failed: 10054 Connection reset by peer"), std::string::npos)
        << text;
    EXPECT_NE(text.find("RealTraffic client socket closed"), std::string::npos);
    EXPECT_EQ(removalsToHandOver.size(), 30u) << "its aircraft are removed";

    // The next own position waits for the client and takes it back; the aircraft leave the
    // simulator before the wait, in which no pass hands them over.
    auto waiting = std::async(std::launch::async, gf_sendOwnPosition);
    fakert::FakeRt second(fakertOptions());
    second.start({});
    ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(removalsToHandOver.empty());
    gf_resetEngineQueues();
    lf_clearOutboundQueues();
    EXPECT_TRUE(rtConnected.load());
    EXPECT_TRUE(gf_trafficStatus().rtReady);
    EXPECT_NE(log().find(" RealTraffic re-connected"), std::string::npos);
    gf_sendOwnPosition();
    ASSERT_TRUE(second.waitUntil([&] { return !second.receivedLines().empty(); }, kPatience));
    EXPECT_EQ(second.receivedLines(), (std::vector<std::string>{kAtKlaxLine}));
}

// A client that answers its version query and then reads nothing: once the buffers are full, a
// position it does not take within the patience drops it as a lost client, and the link closes
// without waiting for it.
TEST_F(RtLink, AClientThatStopsReadingIsDroppedAfterThePatience)
{
    gf_setRtSendPatienceForTest(200ms);
    gf_storeOwnPosition(kAtKlax);
    std::optional<TestClient> client(std::in_place, port_);
    ASSERT_TRUE(client->connected());
    ASSERT_TRUE(client->limitReceiveBuffer());
    auto connecting = std::async(std::launch::async, lf_connectRealTraffic);
    ASSERT_EQ(client->readLine(), "Qs999=version");
    client->send("{\"version\":\"10.0\",\"level\":2}\r\n");
    ASSERT_EQ(connecting.wait_for(kPatience), std::future_status::ready);
    ASSERT_TRUE(connecting.get());
    auto sending = std::async(std::launch::async, [] {
        while (rtConnected.load())
            gf_sendOwnPosition();
    });
    // Under Wine the buffers take long to fill on a busy machine: the bound is for a failure only.
    const bool dropped = sending.wait_for(kPatience * 6) == std::future_status::ready;
    gf_setRtSendPatienceForTest(kRtSendPatience);
    if (!dropped)
        client.reset(); // lets the test end
    ASSERT_TRUE(dropped) << "the work thread waits for a client that does not read";
    EXPECT_FALSE(gf_trafficStatus().rtReady);
    EXPECT_NE(gf_messageLineState().text.find("RealTraffic gone? Wait for RealTraffic to re-connect ..."),
              std::string::npos);
    EXPECT_NE(log().find("sendDataPacket to RealTraffic failed: 10060 Connection timed out"), std::string::npos);
}

// A client that comes and goes as often as it likes: each line of the link is logged once a
// minute with the number of its repeats, and what was held back when the link closes.
TEST_F(RtLink, AClientThatKeepsComingAndGoingIsLoggedOnceAMinute)
{
    useLimiterClock();
    gf_setMessageLineSink([] {}); // a window shows the messages (without one they are logged)
    gf_storeOwnPosition(kAtKlax);
    auto client = std::make_unique<fakert::FakeRt>(fakertOptions());
    client->start({});
    ASSERT_TRUE(lf_connectRealTraffic());
    for (int cycle = 0; cycle < 3; ++cycle) {
        client.reset(); // the client goes
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (rtConnected.load() && std::chrono::steady_clock::now() < deadline) {
            gf_sendOwnPosition();
            std::this_thread::yield();
        }
        ASSERT_FALSE(rtConnected.load());
        auto waiting = std::async(std::launch::async, gf_sendOwnPosition);
        client = std::make_unique<fakert::FakeRt>(fakertOptions());
        client->start({});
        ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
        ASSERT_TRUE(rtConnected.load());
    }
    gf_closeRealTrafficServer();
    gf_setMessageLineSink(nullptr);
    const auto linesWith = [this](const std::string& part) {
        std::vector<std::string> found;
        std::istringstream lines(log());
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r')   // Log.txt ends its lines in CR LF on Windows
                line.pop_back();
            if (line.find(part) != std::string::npos)
                found.push_back(line);
        }
        return found;
    };
    for (const char* part : {"RealTraffic client socket closed", " RealTraffic gone? Wait for RealTraffic to re-connect ...",
                             " RealTraffic re-connected"}) {
        const std::vector<std::string> found = linesWith(part);
        ASSERT_EQ(found.size(), 2u) << part;
        EXPECT_TRUE(found[0].ends_with(part)) << found[0];
        EXPECT_TRUE(found[1].ends_with(std::string(part) + " (2 times since the previous report)")) << found[1];
    }
}

TEST_F(RtLink, AClientWhoseOptionsFailIsClosedNotLeaked)
{
    // The first refusal also makes what the log and its limiter keep for good (on Windows the
    // handles of their first locks); the second shows that a refusal leaves nothing open.
    int before = 0;
    std::vector<std::unique_ptr<TestClient>> refused;
    for (int attempt = 0; attempt < 2; ++attempt) {
        gf_failNextClientOptionForTest();
        before = openDescriptors();
        refused.push_back(std::make_unique<TestClient>(port_));
        ASSERT_TRUE(refused.back()->connected());
        EXPECT_FALSE(waitForClient());
        EXPECT_FALSE(rtConnected.load());
        EXPECT_TRUE(refused.back()->closedByProgram());
    }
    EXPECT_EQ(openDescriptors(), before + 1) << "only the test's own client is open";
    EXPECT_NE(log().find("waitForClient interrupted: sys error 7: "), std::string::npos);
    EXPECT_NE(log().find(" setsockopt failed with error 10022 Invalid argument"), std::string::npos);

    TestClient accepted(port_);
    EXPECT_TRUE(waitForClient()) << "the server goes on listening";
}

TEST_F(RtLink, TheExitWakesAWorkThreadWaitingForTheClient)
{
    auto waiting = std::async(std::launch::async, waitForClient);
    gf_closeRealTrafficServer();
    ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
    TestClient late(port_);
    EXPECT_FALSE(late.connected()) << "nobody listens after the close";
}

} // namespace
