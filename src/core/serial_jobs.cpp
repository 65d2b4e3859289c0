#include "core/serial_jobs.h"

#include <utility>

SerialJobs::~SerialJobs()
{
    std::thread ending;
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        ending = std::move(thread_);
    }
    posted_.notify_all();
    if (ending.joinable())
        ending.join();
}

void SerialJobs::post(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    posted_.notify_one();
}

void SerialJobs::waitIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void SerialJobs::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        posted_.wait(lock, [this] { return !jobs_.empty() || ending_; });
        if (jobs_.empty())
            return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        if (jobs_.empty())
            idle_.notify_all();
    }
}
