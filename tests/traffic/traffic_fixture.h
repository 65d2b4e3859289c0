#pragma once
// Shared set-up of the live-traffic tests: every global the traffic input reads or writes is put
// back to a known state before and after each test.

#include "airports/traffic_range.h"
#include "app/message_line.h"
#include "core/clock.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "run/exit.h"
#include "support/limiter_clock.h"
#include "traffic/own_position.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"
#include "traffic/traffic_status.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace traffic_test {

inline constexpr std::chrono::seconds kPatience{20}; // only a failing test waits this long
inline constexpr std::uint32_t kLoopbackHost = 0x7F000001; // 127.0.0.1, host order

using testsupport::moveLimiterClock;
using testsupport::useLimiterClock;

inline void resetTrafficGlobals()
{
    {
        std::lock_guard lock(trafficQueueMutex);
        trafficQueue.clear();
        acceptTraffic = true;
    }
    passCounter = 0;
    g_trafficRangeNm = 40.0;
    rtClientLocal = true;
    autoRangeGroundFlag = false;
    staticParkingActive = false;
    readerErrorFlag = false;
    currentQnh = kStandardQnh;
    g_professionalEdition = false;
    exitingFlag = false;
    exitReason = ExitReason::NotYetSet;
    gf_setParkAirport({});
    trafficReader.setReferencePosition({});
    trafficReader.setReferenceElevation(std::nullopt);
    (void)trafficReader.takeCollectedCallsigns();
    gf_resetReaders();
    gf_resetTrafficStatus();
    gf_storeOwnPosition({});
    gf_clearError();
    RepeatLimiter::setClock(nullptr);
}

inline std::vector<TrafficMessage> queuedMessages()
{
    std::lock_guard lock(trafficQueueMutex);
    return {trafficQueue.begin(), trafficQueue.end()};
}

inline std::size_t queueSize()
{
    std::lock_guard lock(trafficQueueMutex);
    return trafficQueue.size();
}

// Waits for a condition without sleeping a fixed time: polls with a short yield up to the deadline.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::duration_cast<std::chrono::milliseconds>(kPatience))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class TrafficTest : public ::testing::Test {
protected:
    void SetUp() override { resetTrafficGlobals(); }
    void TearDown() override { resetTrafficGlobals(); }
};

} // namespace traffic_test
