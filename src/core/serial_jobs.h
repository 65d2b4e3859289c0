#pragma once
// Jobs done one after another, in the order they were posted, on a thread of their own that
// starts with the first job and ends once no job is left: work that must not make its poster
// wait (a file written for the work thread's pass) and that must still be done in turn.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class SerialJobs {
public:
    // `name`: the context under which the program's exception report shows what a job throws.
    explicit SerialJobs(std::string name);
    SerialJobs(const SerialJobs&) = delete;
    SerialJobs& operator=(const SerialJobs&) = delete;
    ~SerialJobs();

    // What a job throws goes to the program's exception report; the jobs after it are still done.
    void post(std::function<void()> job);
    // Returns once every job posted before the call is done, whatever other threads post or
    // finish meanwhile; when no later job keeps it busy, the thread has ended too. The exit calls
    // it, so that no job runs past the program's end.
    void finish();

private:
    void run();
    void doJob(const std::function<void()>& job) const;

    const std::string name_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<std::function<void()>> jobs_; // under mutex_
    std::uint64_t postedCount_ = 0;          // under mutex_: jobs posted since construction
    std::uint64_t doneCount_ = 0;            // under mutex_: of them, those done
    bool running_ = false;                   // under mutex_: the thread takes jobs
    std::thread thread_;                     // under mutex_
};
