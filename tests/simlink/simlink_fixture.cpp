#include "simlink_fixture.h"

#include "app/message_line.h"
#include "core/repeat_limiter.h"
#include "run/exit.h"
#include "simconnect/simconnect_config.h"
#include "simlink/sim_client.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_queues.h"
#include "support/test_seams.h"

#include <fstream>
#include <thread>

namespace simlinktest {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

void SimLinkTest::SetUp()
{
    ParamsTest::SetUp();
    gf_clearError();
    gf_setExitTimings({1ms, 1ms, 1ms, 1ms});
    gf_resetSimLinkState();
    gf_clearSimCommands();
    gf_resetSimQueues(5);
}

void SimLinkTest::TearDown()
{
    gf_requestSimClientStop();
    gf_joinSimClientThread();
    EXPECT_TRUE(gf_waitForExitIdle(kDeadline));
    gf_resetSimLinkState();
    gf_clearSimCommands();
    sim.reset();
    qmx::gf_scSetConfigFolders({});
    gf_setExitTimings({});
    gf_clearError();
    RepeatLimiter::setClock(nullptr);
    ParamsTest::TearDown();
}

void SimLinkTest::startSim(const std::function<void(fakesim::Config&)>& tweak)
{
    fakesim::Config config;
    config.tracePath = folder.path() / "trace.jsonl";
    config.secondLength = 100ms;
    config.frameRate = 10.0;
    config.openReply.applicationBuildMajor = 0;
    config.openReply.applicationBuildMinor = 0;
    if (tweak)
        tweak(config);
    sim = std::make_unique<fakesim::FakeSim>(config);
    const auto cfgFolder = folder.path() / "cfg";
    std::filesystem::create_directories(cfgFolder);
    std::ofstream(cfgFolder / "SimConnect.cfg")
        << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << sim->port() << "\n";
    qmx::gf_scSetConfigFolders({cfgFolder});
}

void SimLinkTest::connect()
{
    gf_startSimClientThread();
    ASSERT_TRUE(waitFor([] { return gf_simLinkStatus().simConnected && simRunningFlag.load(); }));
    // The flight runs once "Sim" is subscribed; the other events follow it. An event the test
    // raises before its subscription would be lost, so the connection counts as made only when
    // the program's one session has subscribed to all of them.
    ASSERT_TRUE(sim->waitUntil(
        [](const fakesim::Status& s) {
            const auto subscribed = [&s](const char* name) {
                const auto found = s.subscribers.find(name);
                return found != s.subscribers.end() && found->second == 1;
            };
            return s.connections == 1 && subscribed("ObjectAdded") && subscribed("ObjectRemoved") &&
                   subscribed("PositionChanged") && subscribed("FlightLoaded") && subscribed("Frame");
        },
        kDeadline));
}

void SimLinkTest::startConnected(const std::function<void(fakesim::Config&)>& tweak)
{
    startSim(tweak);
    connect();
}

std::vector<nlohmann::json> SimLinkTest::trace(const std::string& type, const std::string& request) const
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(folder.path() / "trace.jsonl");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
        if (entry.is_discarded() || entry["type"] != type)
            continue;
        if (!request.empty() && entry["request"] != request)
            continue;
        lines.push_back(std::move(entry));
    }
    return lines;
}

bool SimLinkTest::waitForLog(const std::string& text, std::chrono::milliseconds timeout) const
{
    return waitFor([&] { return logHas(text); }, timeout);
}

bool SimLinkTest::waitForRequests(const std::string& request, std::size_t count) const
{
    return sim->waitUntil([&](const fakesim::Status& s) { return s.requestCount(request) >= count; }, kDeadline);
}

} // namespace simlinktest
