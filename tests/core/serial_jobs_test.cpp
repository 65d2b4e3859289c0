// Jobs done in turn on a thread of their own: what a job throws reaches the exception report and
// the jobs after it are still done; the end of the thread waits for every job, and a later job
// starts the thread again.

#include "app/message_line.h"
#include "core/exceptions.h"
#include "core/serial_jobs.h"

#include <gtest/gtest.h>
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

} // namespace
