#pragma once
// The processor time a thread has used, which tells a slow pass's own work from its waits (for
// the disk, or for a processor on a busy machine): the thread's CPU clock (clock_gettime) on
// Linux, GetThreadTimes (kernel plus user time) on Windows.

#include <chrono>
#include <thread>

namespace platform {

// The processor time the calling thread has used; zero where the system cannot tell.
std::chrono::nanoseconds currentThreadCpuTime();

// The processor time of another thread, running or ended but not yet joined; zero where the
// system cannot tell.
std::chrono::nanoseconds threadCpuTime(std::thread::native_handle_type thread);

} // namespace platform
