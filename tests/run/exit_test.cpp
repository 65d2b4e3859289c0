#include "airports/apf_state.h"
#include "airports/stand.h"
#include "app/app_messages.h"
#include "app/gui_queue.h"
#include "app/message_line.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "params/park_airport.h"
#include "platform/stream_connection.h"
#include "run/exit.h"
#include "run/work_thread.h"
#include "support/params_fixture.h"
#include "support/test_seams.h"
#include "traffic/own_position.h"
#include "traffic/rt_link.h"
#include "traffic/traffic_reader.h"

#include <gtest/gtest.h>


#include <condition_variable>
#include <future>
#include <mutex>
#include <regex>
#include <thread>

using namespace std::chrono_literals;

namespace {

class ExitMachine : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        gf_setExitTimings({1ms, 1ms, 1ms, 20ms});
        exitingFlag = false;
        quitFlag = false;
        restartFlag = false;
        exitReason = ExitReason::NotYetSet;
    }
    void TearDown() override
    {
        ASSERT_TRUE(gf_waitForExitIdle(10s));
        gf_setExitStepObserver(nullptr);
        gf_setAppMessageHandler(nullptr);
        gf_setExitTimings({});
        ParamsTest::TearDown();
    }
    std::size_t count(const std::string& text) const
    {
        const std::string log = logText();
        std::size_t n = 0;
        for (std::size_t pos = log.find(text); pos != std::string::npos; pos = log.find(text, pos + 1))
            ++n;
        return n;
    }
    static std::string storedValue(const char* key)
    {
        pugi::xml_document document;
        EXPECT_TRUE(gf_loadParametersDocument(document));
        return document.select_node(gf_parameterQuery(key).c_str()).node().attribute("value").value();
    }
};

// A work thread of the test's own that ends when told to.
class FakeWorkThread {
public:
    FakeWorkThread()
        : thread_([this] {
              WorkThreadScope scope;
              std::unique_lock lock(mutex_);
              started_ = true;
              changed_.notify_all();
              changed_.wait(lock, [this] { return release_; });
          })
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }
    ~FakeWorkThread() { end(); }
    void end()
    {
        {
            std::lock_guard lock(mutex_);
            release_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    bool release_ = false;
    std::thread thread_;
};

} // namespace

TEST_F(ExitMachine, ConcurrentRequestsStartOneExit)
{
    FakeWorkThread work; // keeps the first exit running until every request was made
    std::vector<std::thread> requesters;
    for (int i = 0; i < 8; ++i)
        requesters.emplace_back([i] { gf_requestExit(i % 2 ? ExitReason::SimWasClosed : ExitReason::SystemError, 0); });
    for (std::thread& t : requesters)
        t.join();
    work.end();
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    EXPECT_EQ(count("Exiting: "), 1u);
    EXPECT_FALSE(exitingFlag);
}

TEST_F(ExitMachine, FinalExitEmptiesDestinationAndBlockedCallsignARestartKeepsThem)
{
    gf_setParameterString(DESTINATION, "KLAX");
    gf_setParameterString(BLOCK_CALLSIGN, "DAL123");
    gf_requestExit(ExitReason::Restart, 0);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    EXPECT_TRUE(restartFlag);
    EXPECT_EQ(storedValue("DESTINATION"), "KLAX");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "DAL123");
    EXPECT_EQ(count("Restarting after"), 0u) << "no countdown for 0 seconds";

    gf_requestExit(ExitReason::UserClosedSim, 0);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    EXPECT_FALSE(restartFlag);
    EXPECT_TRUE(quitFlag);
    EXPECT_EQ(storedValue("DESTINATION"), "");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "");
    EXPECT_NE(logText().find("Exiting: RESTART\n"), std::string::npos);
    EXPECT_NE(logText().find("Exiting: USER CLOSED SIM\nUser closed Orvanta_P3D\n"), std::string::npos);
}

TEST_F(ExitMachine, OnlyAPlainRestartSwitchesTheScansOff)
{
    for (ExitReason reason : {ExitReason::RestartIpp, ExitReason::Restart}) {
        SCAN_LIVERIES.value = true;
        SCAN_AIRPORTS.value = true;
        gf_requestExit(reason, 0);
        ASSERT_TRUE(gf_waitForExitIdle(10s));
        const bool kept = reason == ExitReason::RestartIpp;
        EXPECT_EQ(SCAN_LIVERIES.value.load(), kept);
        EXPECT_EQ(SCAN_AIRPORTS.value.load(), kept);
        EXPECT_EQ(exitReason.load(), ExitReason::NotYetSet) << "the reset forgets the reason";
    }
    EXPECT_EQ(storedValue("SCAN_LIVERIES"), "false");
}

TEST_F(ExitMachine, CountdownShowsEverySecondAndAFinalExitDuringItWins)
{
    gf_setExitTimings({1ms, 1ms, 1ms, 300ms});
    gf_requestExit(ExitReason::Restart, 3);
    // Wait until the countdown shows, then close the window.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (gf_messageLineState().text.rfind("Restarting after", 0) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(gf_messageLineState().text, "Restarting after 3 seconds");
    gf_requestExit(ExitReason::UserClosedSim, 0);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    EXPECT_FALSE(restartFlag) << "the restart was cancelled";
    EXPECT_TRUE(quitFlag);
    EXPECT_EQ(count("Exiting: "), 2u);
    EXPECT_NE(logText().find("Restarting after 3 seconds\n\n\n\n\n\n"), std::string::npos);
    EXPECT_NE(logText().find("Exiting: USER CLOSED SIM"), std::string::npos);
    EXPECT_EQ(storedValue("DESTINATION"), "");
}

TEST_F(ExitMachine, ARestartWaitsForThePreviousWorkThread)
{
    FakeWorkThread work;
    gf_requestExit(ExitReason::Restart, 0);
    EXPECT_FALSE(gf_waitForExitIdle(300ms)) << "the reset must not run beside the old work thread";
    EXPECT_TRUE(exitingFlag);
    work.end();
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    EXPECT_FALSE(exitingFlag);
}

TEST_F(ExitMachine, CountdownMessages)
{
    lf_restartCountdown(0);
    EXPECT_EQ(count("Restarting"), 0u);
    gf_setExitTimings({1ms, 1ms, 1ms, 1ms});
    std::vector<std::string> shown;
    gf_setMessageLineSink([&shown] { shown.push_back(gf_messageLineState().text); });
    lf_restartCountdown(2);
    gf_setMessageLineSink(nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"Restarting after 2 seconds", "Restarting after 1 second"}));
}

namespace {

std::mutex recordMutex;
std::vector<std::string> steps;
std::vector<AppMessage> posted;

void lf_recordPosted(AppMessage message)
{
    std::lock_guard lock(recordMutex);
    posted.push_back(message);
}

} // namespace

TEST_F(ExitMachine, StepsRunInTheirOrderAndEndInTheWindowsMessage)
{
    steps.clear();
    posted.clear();
    gf_setExitStepObserver([](std::string_view step) {
        std::lock_guard lock(recordMutex);
        steps.emplace_back(step);
    });
    gf_setAppMessageHandler(lf_recordPosted);
    gf_openGuiQueue(nullptr); // this thread stands in for the window's
    gf_requestExit(ExitReason::Restart, 1);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    gf_requestExit(ExitReason::SimWasClosed, 0);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    gf_drainGuiQueue();
    gf_closeGuiQueue();
    std::lock_guard lock(recordMutex);
    const std::vector<std::string> expected{"readers", "aircraft", "link", "simconnect", "flight plans", "reset",
                                            "countdown", "readers", "aircraft", "link", "simconnect",
                                            "flight plans", "final"};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(posted, (std::vector<AppMessage>{AppMessage::StartUp, AppMessage::FinalExit}));
}

// A SimConnect thread slow to end makes the exit look hung: what was learned at the park airport
// is saved before the exit waits for that thread, so that killing the program loses nothing.
TEST_F(ExitMachine, WhatWasLearnedIsSavedBeforeTheExitWaitsForTheSimConnectThread)
{
    fs::create_directories(g_learnedStockFolder);
    const fs::path learned = g_learnedStockFolder / "KLAX.xml";
    gf_setParkAirport({"KLAX", "LAX", 33.94, -118.41, 125.0});
    parkApfInfo = {"Los Angeles Intl", "stock", 125, learned.string()};
    standTable.push_back(Stand("A1", {}, {33.94, -118.41, 0.0}, 30.0, 1, 1, 1));
    standTable.back().manual = true;
    standsLoaded = true;
    learnedUpdateCount = 1;
    static std::atomic<bool> savedBeforeTheWait{false};
    savedBeforeTheWait = false;
    gf_setExitStepObserver([learned](std::string_view step) {
        if (step == "simconnect")
            savedBeforeTheWait = fs::exists(learned);
    });
    gf_requestExit(ExitReason::SimWasClosed, 0);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    EXPECT_TRUE(savedBeforeTheWait.load());
    parkApfInfo = {};
}

TEST_F(ExitMachine, AnExceptionInTheExitThreadIsReportedAndTheProgramStillEnds)
{
    posted.clear();
    gf_setAppMessageHandler(lf_recordPosted);
    gf_setExitStepObserver([](std::string_view step) {
        if (step == "link")
            throw std::runtime_error("link would not close");
    });
    restartFlag = true;
    gf_openGuiQueue(nullptr);
    gf_requestExit(ExitReason::Restart, 0);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    gf_drainGuiQueue();
    gf_closeGuiQueue();
    EXPECT_NE(logText().find("Error FinalExit: link would not close\n"), std::string::npos);
    EXPECT_FALSE(exitingFlag) << "later exit requests still get through";
    EXPECT_FALSE(restartFlag);
    {
        std::lock_guard lock(recordMutex);
        EXPECT_EQ(posted, (std::vector<AppMessage>{AppMessage::FinalExit})) << "a final exit, not a restart";
    }
    gf_setExitStepObserver(nullptr);
    gf_requestExit(ExitReason::UserClosedSim, 0);
    ASSERT_TRUE(gf_waitForExitIdle(10s));
    EXPECT_NE(logText().find("Exiting: USER CLOSED SIM"), std::string::npos);
}

namespace {

// A RealTraffic client of the test that connects and then says nothing.
std::unique_ptr<platform::StreamConnection> lf_connectSilentClient(std::uint16_t port)
{
    auto client = platform::StreamConnection::openTcp(false, "127.0.0.1", std::to_string(port), 5s);
    EXPECT_TRUE(client);
    return client;
}

// Reads from the client up to the text, or to the end of the stream; true when the text came.
bool lf_clientReceives(platform::StreamConnection& client, std::string_view text)
{
    std::string received;
    std::uint8_t buffer[256];
    while (received.find(text) == std::string::npos) {
        const platform::StreamIo io = client.read(buffer);
        if (io.state == platform::StreamIo::State::Pending) {
            client.wait(false);
            continue;
        }
        if (io.state != platform::StreamIo::State::Done)
            return false;
        received.append(reinterpret_cast<const char*>(buffer), io.count);
    }
    return true;
}

void lf_clientSends(platform::StreamConnection& client, std::string_view text)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::size_t sent = 0; sent < text.size();) {
        const platform::StreamIo io = client.write({bytes + sent, text.size() - sent});
        if (io.state == platform::StreamIo::State::Pending) {
            client.wait(true);
            continue;
        }
        ASSERT_EQ(io.state, platform::StreamIo::State::Done);
        sent += io.count;
    }
}

} // namespace

// A close or restart while the work thread waits on the RealTraffic link: in accept for the first
// client, in recv for its version, in accept for a client that went away, in send to a client
// that answered its version and then reads nothing. The exit wakes it before it waits for it, so
// the exit ends without its bound.
TEST_F(ExitMachine, AWorkThreadWaitingOnTheRealTrafficLinkIsWokenByTheExit)
{
    enum class Wait { FirstClient, VersionReply, ReturningClient, ClientThatStopsReading };
    ExitTimings timings{1ms, 1ms, 1ms, 1ms};
    timings.workThreadEnd = std::chrono::hours(1);
    gf_setExitTimings(timings);
    gf_setRtSendPatienceForTest(std::chrono::hours(1)); // only the exit ends a send
    for (const Wait wait :
         {Wait::FirstClient, Wait::VersionReply, Wait::ReturningClient, Wait::ClientThatStopsReading}) {
        SCOPED_TRACE(static_cast<int>(wait));
        exitReason = ExitReason::NotYetSet; // the final exit keeps its reason
        quitFlag = false;
        rtClientLocal = true;
        gf_storeOwnPosition({0.0, 0.0, 0.0, 1000.0, 0.0, 33.94, -118.4});
        gf_startRealTrafficServer("0");
        std::promise<void> entered;
        std::thread work([&] {
            WorkThreadScope scope;
            entered.set_value();
            if (wait == Wait::ReturningClient)
                gf_sendOwnPosition();
            else if (lf_connectRealTraffic() && wait == Wait::ClientThatStopsReading) {
                // More than the buffers of both ends hold: this send waits for the client.
                sendDataPacket(std::string(std::size_t{64} << 20, 'x'));
            }
        });
        entered.get_future().wait();
        std::unique_ptr<platform::StreamConnection> client;
        if (wait == Wait::VersionReply || wait == Wait::ClientThatStopsReading) {
            client = lf_connectSilentClient(gf_realTrafficServerPort());
            ASSERT_TRUE(client && lf_clientReceives(*client, "Qs999=version\r\n"));
        }
        if (wait == Wait::ClientThatStopsReading) {
            lf_clientSends(*client, "{\"version\":\"10.0\",\"level\":2}\r\n");
            // The first byte of the send has come: the send is under way. The client reads no more.
            ASSERT_TRUE(lf_clientReceives(*client, "x"));
        }
        gf_requestExit(wait == Wait::FirstClient ? ExitReason::UserClosedSim : ExitReason::RestartIpp, 0);
        const bool ended = gf_waitForExitIdle(20s);
        if (!ended) {
            client.reset(); // ends a send to it
            gf_closeRealTrafficServer(); // lets the test end
        }
        work.join();
        ASSERT_TRUE(ended) << "the exit waited for a work thread blocked on the link";
        if (client && wait != Wait::ClientThatStopsReading)
            EXPECT_TRUE(lf_clientReceives(*client, "exit\r\n")) << "the woken link still says goodbye";
        EXPECT_EQ(count("waiting for the work thread to end"), 0u);
    }
    gf_setRtSendPatienceForTest(kRtSendPatience);
    gf_storeOwnPosition({});
    rtClientLocal = false;
}

// A close goes on without it; a restart ends the program instead of starting a second work thread.
TEST_F(ExitMachine, AWorkThreadThatDoesNotEndIsLeftBehindAfterTheBound)
{
    ExitTimings timings{1ms, 1ms, 1ms, 1ms};
    timings.workThreadEnd = 50ms;
    gf_setExitTimings(timings);
    for (const ExitReason reason : {ExitReason::UserClosedSim, ExitReason::Restart}) {
        SCOPED_TRACE(gf_exitReasonName(reason));
        quitFlag = false;
        posted.clear();
        gf_setAppMessageHandler(lf_recordPosted);
        gf_openGuiQueue(nullptr);
        FakeWorkThread work;
        gf_requestExit(reason, 0);
        ASSERT_TRUE(gf_waitForExitIdle(20s));
        gf_drainGuiQueue();
        gf_closeGuiQueue();
        EXPECT_EQ(quitFlag, reason == ExitReason::UserClosedSim);
        EXPECT_NE(logText().find("===> the work thread did not end, the exit goes on without it"), std::string::npos);
        std::lock_guard lock(recordMutex);
        EXPECT_EQ(posted, (std::vector<AppMessage>{AppMessage::FinalExit}));
    }
    EXPECT_NE(logText().find("The work thread did not end: Orvanta_P3D closes instead of restarting"),
              std::string::npos);
}
