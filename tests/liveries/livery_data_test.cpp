// Livery records: a title is claimed once per scan, also by tasks on many threads at once.

#include "liveries/livery_data.h"
#include "liveries/scan_problems.h"

#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <vector>

using qmx::LiveryData;

namespace {

class LiveryDataTest : public ::testing::Test {
protected:
    void SetUp() override { lf_clearScanCollections(); }
    void TearDown() override { lf_clearScanCollections(); }
};

TEST_F(LiveryDataTest, ATitleIsAcceptedOncePerScan)
{
    const LiveryData first(2, "DLH", "A320", false, "Airbus DLH", "D-AIBA");
    const LiveryData again(1, "BAW", "A319", true, "Airbus DLH", "");
    const LiveryData otherCase(1, "BAW", "A319", true, "airbus dlh", "");
    EXPECT_EQ(first.airline, "DLH");
    EXPECT_EQ(first.priority, 2);
    EXPECT_TRUE(first.cargo); // not a passenger livery
    EXPECT_TRUE(again.isEmpty());
    EXPECT_TRUE(again.title.empty() && again.model.empty() && again.priority == 0 && !again.cargo);
    EXPECT_FALSE(otherCase.isEmpty());
    EXPECT_FALSE(otherCase.cargo);

    lf_clearScanCollections(); // the next scan claims from scratch
    EXPECT_FALSE(LiveryData(1, "DLH", "A320", true, "Airbus DLH", "").isEmpty());
}

TEST_F(LiveryDataTest, EqualityLeavesOutThePriorityAndOrderIsAirlineModelTitle)
{
    LiveryData a;
    a.airline = "DLH", a.model = "A320", a.title = "t", a.priority = 1;
    LiveryData b = a;
    b.priority = 7;
    EXPECT_EQ(a, b);
    b.cargo = true;
    EXPECT_FALSE(a == b);
    b = a;
    b.atcid = "D-AIBA";
    EXPECT_FALSE(a == b);

    LiveryData c = a;
    c.model = "A319";
    c.title = "z";
    EXPECT_TRUE(qmx::gf_liveryBefore(c, a));
    c.airline = "DLHX";
    EXPECT_TRUE(qmx::gf_liveryBefore(a, c)); // a prefix comes first
    c = a;
    c.title = "t\xC3\xA9";
    EXPECT_TRUE(qmx::gf_liveryBefore(a, c));
    c.title = "T";
    EXPECT_TRUE(qmx::gf_liveryBefore(c, a)); // byte-wise: upper case first
}

TEST_F(LiveryDataTest, TasksOnManyThreadsClaimEachTitleOnce)
{
    constexpr int kThreads = 8;
    constexpr int kTitles = 200;
    std::vector<std::vector<LiveryData>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&made, t] {
            for (int i = 0; i < kTitles; ++i)
                made[t].emplace_back(t + 1, "DLH", "A320", true, "title " + std::to_string((i + t * 7) % kTitles), "");
        });
    for (std::thread& thread : threads)
        thread.join();
    std::map<std::string, int> winners;
    for (const auto& list : made)
        for (const LiveryData& livery : list)
            if (!livery.isEmpty())
                ++winners[livery.title];
    EXPECT_EQ(winners.size(), static_cast<std::size_t>(kTitles));
    for (const auto& [title, count] : winners)
        EXPECT_EQ(count, 1) << title;
}

} // namespace
