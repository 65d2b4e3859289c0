#include "liveries/scan_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

TEST(ScanMessages, TasksAddTheirLinesConcurrentlyAndTheWriterTakesThemAll)
{
    gf_takeScanMessages();
    constexpr int kTasks = 8;
    constexpr int kLines = 500;
    std::vector<std::thread> tasks;
    for (int t = 0; t < kTasks; ++t)
        tasks.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                gf_addScanMessage("task " + std::to_string(t) + " line " + std::to_string(i));
        });
    for (std::thread& task : tasks)
        task.join();

    std::vector<std::string> lines = gf_takeScanMessages();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kTasks * kLines));
    // Each task's lines keep their order among the others'.
    const auto first = std::find(lines.begin(), lines.end(), "task 3 line 0");
    const auto last = std::find(lines.begin(), lines.end(), "task 3 line 499");
    EXPECT_LT(first, last);
    EXPECT_TRUE(scanMessages.empty());
    EXPECT_TRUE(gf_takeScanMessages().empty());
}
