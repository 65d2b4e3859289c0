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
    ++postedCount_;
}

void SerialJobs::finish()
{
    std::thread ended;
    {
        std::unique_lock lock(mutex_);
        const std::uint64_t postedBefore = postedCount_;
        done_.wait(lock, [&] { return doneCount_ >= postedBefore; });
        // Jobs posted since keep the thread going; their poster, or the next finish, ends it.
        if (!running_)
            ended = std::move(thread_);
    }
    if (ended.joinable())
        ended.join();
}

void SerialJobs::run()
{
    std::unique_lock lock(mutex_);
    while (!jobs_.empty()) {
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        doJob(job);
        job = nullptr; // what the job holds goes before it counts as done
        lock.lock();
        ++doneCount_;
        done_.notify_all();
    }
    // Under the same lock as the last count: a finisher that saw its jobs done sees this too.
    running_ = false;
}

void SerialJobs::doJob(const std::function<void()>& job) const
{
    try {
        job();
    } catch (...) {
        gf_reportCurrentException(name_);
    }
}
