// The processor time of threads: it grows with a thread's work, never faster than the wall clock,
// and is read the same way for the calling thread and for another one.

#include "platform/thread_cpu_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Works until the calling thread has used `work` of processor time (or a generous deadline
// passes); gives the wall-clock time that took.
std::chrono::nanoseconds spinFor(std::chrono::nanoseconds work)
{
    const auto wallStart = std::chrono::steady_clock::now();
    const auto deadline = wallStart + 60s;
    const auto cpuStart = platform::currentThreadCpuTime();
    volatile unsigned sink = 0;
    while (platform::currentThreadCpuTime() - cpuStart < work && std::chrono::steady_clock::now() < deadline)
        for (int i = 0; i < 10000; ++i)
            sink = sink + static_cast<unsigned>(i);
    return std::chrono::steady_clock::now() - wallStart;
}

TEST(ThreadCpuTime, GrowsWithWorkAndNeverOutrunsTheWallClock)
{
    const auto before = platform::currentThreadCpuTime();
    const auto wall = spinFor(50ms);
    const auto used = platform::currentThreadCpuTime() - before;
    EXPECT_GE(used, 50ms);
    // One thread cannot use more processor time than the time that passed (plus one clock tick
    // of the system's accounting).
    EXPECT_LE(used, wall + 20ms);
}

// A worker that works for `work` of processor time, then waits; its reading, taken by another
// thread while it waits.
std::chrono::nanoseconds workerReading(std::chrono::nanoseconds work)
{
    std::promise<void> worked;
    std::promise<void> release;
    std::thread worker([&] {
        spinFor(work);
        worked.set_value();
        release.get_future().wait();
    });
    worked.get_future().wait();
    const auto reading = platform::threadCpuTime(worker.native_handle());
    release.set_value();
    worker.join();
    return reading;
}

TEST(ThreadCpuTime, AnotherThreadIsReadByItsHandle)
{
    // The reading thread has worked more than either worker, so a reading of the caller's own
    // time shows.
    spinFor(150ms);
    EXPECT_GE(workerReading(50ms), 50ms);
    EXPECT_LT(workerReading(0ms), 50ms);
}

} // namespace
