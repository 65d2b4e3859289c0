#include "core/scan_throttle.h"

#include <algorithm>
#include <chrono>
#include <thread>

std::atomic<std::int32_t> g_scanTasksRunning{0};
std::atomic<std::int32_t> g_scanTasksLimit{1};

void gf_initScanThrottle()
{
    // The system may not know its thread count (0); a limit of 0 would never start a task.
    const auto threads = static_cast<std::int32_t>(std::min(std::thread::hardware_concurrency(), 1024u));
    g_scanTasksLimit.store(std::max(threads, 1));
    g_scanTasksRunning.store(0);
}

void gf_waitForScanSlot()
{
    while (g_scanTasksRunning.load() >= g_scanTasksLimit.load())
        std::this_thread::sleep_for(std::chrono::microseconds(10));
}

void gf_releaseScanSlot()
{
    g_scanTasksRunning.fetch_sub(1);
}
