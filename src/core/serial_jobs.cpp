#include "core/serial_jobs.h"

#include "core/shell_port.h"

#include <utility>

SerialJobs::SerialJobs(std::string name) : name_(std::move(name)) {}

SerialJobs::~SerialJobs()
{
    finish();
}

void SerialJobs::post(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (!running_) {
            // A thread that has ended is out of run() and needs only to be joined.
            if (thread_.joinable())
                thread_.join();
            try {
                thread_ = std::thread([this] { run(); });
            } catch (...) {
                jobs_.pop_back();
                throw;
            }
            running_ = true;
        }
    }
    posted_.notify_one();
}

void SerialJobs::finish()
{
    std::thread ended;
    {
        std::unique_lock lock(mutex_);
        ending_ = true;
        posted_.notify_all();
        ended_.wait(lock, [this] { return !running_; });
        ending_ = false;
        ended = std::move(thread_);
    }
    if (ended.joinable())
        ended.join();
}

void SerialJobs::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        posted_.wait(lock, [this] { return !jobs_.empty() || ending_; });
        if (jobs_.empty()) {
            running_ = false;
            ended_.notify_all();
            return;
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        doJob(job);
        lock.lock();
    }
}

void SerialJobs::doJob(const std::function<void()>& job) const
{
    try {
        job();
    } catch (...) {
        gf_reportCurrentException(name_);
    }
}
