#include "platform/thread_cpu_time.h"

#include <pthread.h>
#include <time.h>

namespace platform {

namespace {

std::chrono::nanoseconds lf_clockTime(clockid_t clock)
{
    timespec used{};
    if (clock_gettime(clock, &used) != 0)
        return {};
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

} // namespace

std::chrono::nanoseconds currentThreadCpuTime()
{
    return lf_clockTime(CLOCK_THREAD_CPUTIME_ID);
}

std::chrono::nanoseconds threadCpuTime(std::thread::native_handle_type thread)
{
    clockid_t clock{};
    if (pthread_getcpuclockid(thread, &clock) != 0)
        return {};
    return lf_clockTime(clock);
}

} // namespace platform
