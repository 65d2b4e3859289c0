// Jobs done in turn on a thread of their own: what a job throws reaches the exception report and
// the jobs after it are still done; the end of the thread waits for every job, and a later job
// starts the thread again.

#include "app/message_line.h"
#include "core/exceptions.h"
#include "core/serial_jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(SerialJobs, AJobThatThrowsIsReportedAndTheThreadEndsOnlyWithTheLastJob)
{
    std::vector<int> done; // read once the thread has ended
    SerialJobs jobs("lf_writeTest");
    jobs.post([&done] { done.push_back(1); });
    jobs.post([] { throw qmx::UserErrorException(99, "the disk is gone"); });
    jobs.post([&done] { done.push_back(3); });
    jobs.finish();
    EXPECT_EQ(done, (std::vector<int>{1, 3}));
    const MessageLineState line = gf_messageLineState();
    EXPECT_TRUE(line.isError);
    EXPECT_EQ(line.text, "the disk is gone");

    jobs.post([&done] { done.push_back(4); });
    jobs.finish();
    EXPECT_EQ(done, (std::vector<int>{1, 3, 4})) << "a job after the end starts the thread again";
    gf_clearError();
}

// Runs `rescue` when `finished` is not called within a generous deadline, so that a finish that
// would wait for ever ends the test as a failure instead of at the test's time limit.
class Watchdog {
public:
    explicit Watchdog(std::function<void()> rescue)
        : thread_([this, rescue = std::move(rescue)] {
              std::unique_lock lock(mutex_);
              if (!ended_.wait_for(lock, std::chrono::seconds(60), [this] { return finished_; })) {
                  rescued_ = true;
                  lock.unlock();
                  rescue();
              }
          })
    {
    }
    // True when the rescue had to run.
    bool finished()
    {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        ended_.notify_all();
        thread_.join();
        return rescued_;
    }

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool finished_ = false;
    bool rescued_ = false;
    std::thread thread_;
};

// The exit finishes while a work thread that it left behind posts and finishes too: each finish
// waits only for the jobs posted before it.
TEST(SerialJobs, AFinishReturnsOnceTheJobsPostedBeforeItAreDoneWhateverOthersPostOrFinish)
{
    SerialJobs jobs("lf_writeTest");
    std::atomic<bool> keepPosting{true};
    std::function<void()> next = [&] {
        if (keepPosting.load())
            jobs.post(next);
    };
    jobs.post(next);
    Watchdog watchdog([&] { keepPosting = false; });
    std::thread other([&] { jobs.finish(); });
    jobs.finish();
    other.join();
    EXPECT_FALSE(watchdog.finished()) << "a finish waited for jobs posted after it";
    keepPosting = false;
    jobs.finish();
}

} // namespace
