#include "platform/thread_cpu_time.h"

#include <pthread.h>
#include <windows.h>

namespace platform {

namespace {

// Kernel plus user time of a thread handle, which the system counts in 100-ns ticks.
std::chrono::nanoseconds lf_handleTime(HANDLE thread)
{
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (thread == nullptr || !::GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return {};
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    using Ticks = std::chrono::duration<long long, std::ratio<1, 10'000'000>>;
    return Ticks(static_cast<long long>(ticks(kernel) + ticks(user)));
}

} // namespace

std::chrono::nanoseconds currentThreadCpuTime()
{
    return lf_handleTime(::GetCurrentThread());
}

// std::thread of the posix thread model runs on winpthreads, whose thread owns a Windows handle.
std::chrono::nanoseconds threadCpuTime(std::thread::native_handle_type thread)
{
    return lf_handleTime(static_cast<HANDLE>(pthread_gethandle(thread)));
}

} // namespace platform
