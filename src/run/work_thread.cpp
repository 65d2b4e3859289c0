#include "run/work_thread.h"

#include <condition_variable>
#include <mutex>

namespace {

std::mutex workThreadMutex;
std::condition_variable workThreadEnded;
int workThreadsRunning = 0;

} // namespace

WorkThreadScope::WorkThreadScope()
{
    std::lock_guard lock(workThreadMutex);
    ++workThreadsRunning;
}

WorkThreadScope::~WorkThreadScope()
{
    // Notified under the lock: the thread is out of the condition variable before a waiter sees
    // it ended and the program may end.
    std::lock_guard lock(workThreadMutex);
    --workThreadsRunning;
    workThreadEnded.notify_all();
}

bool gf_workThreadRunning()
{
    std::lock_guard lock(workThreadMutex);
    return workThreadsRunning > 0;
}

bool gf_waitForWorkThreadEnd(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(workThreadMutex);
    return workThreadEnded.wait_for(lock, timeout, [] { return workThreadsRunning == 0; });
}
