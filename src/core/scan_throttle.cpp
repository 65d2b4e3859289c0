#include "core/scan_throttle.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

std::atomic<std::int32_t> g_scanTasksRunning{0};
std::atomic<std::int32_t> g_scanTasksLimit{1};

namespace {

// A waiting scanner sleeps until a task gives its slot back. The count and the limit may also
// be changed without a release (the scanners raise the count themselves, the start-up sets the
// limit), so a waiter looks again after this long even when nobody wakes it.
constexpr std::chrono::milliseconds kRecheckAfter{1};

std::mutex slotMutex;
std::condition_variable slotReleased;
// Scanners waiting for a slot: a release wakes nobody when there is none.
std::atomic<std::int32_t> slotWaiters{0};

bool lf_allSlotsTaken()
{
    return g_scanTasksRunning.load() >= g_scanTasksLimit.load();
}

void lf_wakeWaiters()
{
    // Taking the mutex once orders this wake-up after a waiter's test: a waiter that saw no
    // free slot is already waiting when it is woken, so the release is never missed.
    { const std::lock_guard<std::mutex> lock(slotMutex); }
    slotReleased.notify_all();
}

} // namespace

void gf_initScanThrottle()
{
    // The system may not know its thread count (0); a limit of 0 would never start a task.
    const auto threads = static_cast<std::int32_t>(std::min(std::thread::hardware_concurrency(), 1024u));
    g_scanTasksLimit.store(std::max(threads, 1));
    g_scanTasksRunning.store(0);
    lf_wakeWaiters();
}

void gf_waitForScanSlot()
{
    if (!lf_allSlotsTaken())
        return;
    std::unique_lock<std::mutex> lock(slotMutex);
    // Counted before the test: a release that this test misses sees the waiter and wakes it.
    ++slotWaiters;
    while (lf_allSlotsTaken())
        slotReleased.wait_for(lock, kRecheckAfter);
    --slotWaiters;
}

void gf_releaseScanSlot()
{
    g_scanTasksRunning.fetch_sub(1);
    if (slotWaiters.load() > 0)
        lf_wakeWaiters();
}
