#pragma once
// A simulator stand-in of the test's own, found through a SimConnect.cfg in the test folder, and
// the SimConnect layer reset before and after every test.

#include "fakesim.h"

#include "support/params_fixture.h"
#include "support/temp_folder.h"

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace simlinktest {

using namespace std::chrono_literals;
inline constexpr std::chrono::milliseconds kDeadline = 20s;

// Polls the condition every 2 ms until it holds or the deadline passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kDeadline);

class SimLinkTest : public paramstest::ParamsTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the stand-in (trace in the test folder, one simulated second = 100 ms, 10 frames a
    // simulated second, open reply "Lockheed Martin Prepar3D v5" 5.3.0.0) after `tweak`.
    void startSim(const std::function<void(fakesim::Config&)>& tweak = {});
    // Starts the SimConnect thread and waits until it is connected and the flight runs.
    void connect();
    // The simulator stand-in and the thread together.
    void startConnected(const std::function<void(fakesim::Config&)>& tweak = {});

    // Trace lines of one type (and, for "request", one request name).
    std::vector<nlohmann::json> trace(const std::string& type, const std::string& request = {}) const;
    bool waitForLog(const std::string& text, std::chrono::milliseconds timeout = kDeadline) const;
    bool logHas(const std::string& text) const { return logText().find(text) != std::string::npos; }
    bool waitForRequests(const std::string& request, std::size_t count) const;

    std::unique_ptr<fakesim::FakeSim> sim;

private:
    testsupport::ScopedEnv wine_{"WINEPREFIX", (folder.path() / "wine").string()};
};

} // namespace simlinktest
