#include "airports/scan_workers.h"

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

void ScanWorkers::work()
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
