#include "core/scan_workers.h"

#include <algorithm>

ScanWorkers::ScanWorkers(std::size_t limit) : limit(std::max<std::size_t>(limit, 1)) {}

ScanWorkers::~ScanWorkers()
{
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    handed.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

void ScanWorkers::run(std::packaged_task<void()> task)
{
    {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(task));
        // A worker that runs a task takes the next one as soon as it is done, without sleeping
        // in between. Waking a sleeping worker costs more than a short task (on a busy machine
        // it waits for a processor as well), so one is woken, or started, only when no worker
        // runs or more tasks wait than one.
        const std::size_t running = threads.size() - idle;
        if (running > 0 && queue.size() < 2)
            return;
        if (idle < queue.size() && threads.size() < limit)
            lf_startThread();
    }
    handed.notify_one();
}

void ScanWorkers::lf_startThread()
{
    try {
        threads.emplace_back(&ScanWorkers::work, this);
    } catch (...) {
        if (!threads.empty())
            return; // the running threads take the task
        queue.pop_back();
        throw;
    }
}

namespace {

thread_local std::vector<std::uint8_t>* workerBuffer = nullptr;

} // namespace

std::vector<std::uint8_t>* gf_scanWorkerBuffer()
{
    return workerBuffer;
}

void ScanWorkers::work()
{
    std::vector<std::uint8_t> buffer;
    workerBuffer = &buffer;
    takeTasks();
    workerBuffer = nullptr;
}

void ScanWorkers::takeTasks()
{
    std::unique_lock lock(mutex);
    for (;;) {
        ++idle;
        handed.wait(lock, [this] { return closing || !queue.empty(); });
        --idle;
        if (queue.empty())
            return; // closing, and every task has run
        std::packaged_task<void()> task = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}
