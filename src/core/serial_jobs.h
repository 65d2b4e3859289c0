#pragma once
// Jobs done one after another, in the order they were posted, on a thread of their own that
// starts with the first job: work that must not make its poster wait (a file written for the
// work thread's pass) and that must still be done in turn.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class SerialJobs {
public:
    SerialJobs() = default;
    SerialJobs(const SerialJobs&) = delete;
    SerialJobs& operator=(const SerialJobs&) = delete;
    // Every job posted is done before the thread ends.
    ~SerialJobs();

    // A job's exceptions are its own to catch: one that escapes ends the program.
    void post(std::function<void()> job);
    // Returns once every job posted before the call is done.
    void waitIdle();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable posted_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_; // under mutex_
    bool busy_ = false;                      // under mutex_: a job taken from the queue is being done
    bool ending_ = false;                    // under mutex_
    std::thread thread_;                     // under mutex_
};
