// Random choices under the RANDOM setting, and the scan-task throttle.

#include "params/random.h"
#include "core/scan_throttle.h"
#include "params/parameters.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

class RandomTest : public ::testing::Test {
protected:
    void TearDown() override { RANDOM.value = RANDOM.defaultValue; }
};

TEST_F(RandomTest, RandomOffTakesTheFirstChoiceAndDrawsNothing)
{
    RANDOM.value = false;
    gf_seedRandomEngine(7);
    const std::mt19937 before = gf_randomEngine();
    for (std::int64_t n : {0, 1, 2, 5, 1000})
        EXPECT_EQ(gf_randomIndex(n), 0) << n;
    std::vector<std::string> texts = {"A320", "A321", "B738"};
    gf_shuffleIfRandom(texts);
    EXPECT_EQ(texts, (std::vector<std::string>{"A320", "A321", "B738"}));
    EXPECT_TRUE(gf_randomEngine() == before);
}

TEST_F(RandomTest, RandomOnDrawsFromTheThreadsEngine)
{
    RANDOM.value = true;
    gf_seedRandomEngine(12345);
    std::mt19937 twin(12345);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(gf_randomIndex(5), static_cast<std::int64_t>(twin() % 5));
    EXPECT_EQ(gf_randomIndex(1), 0);
    EXPECT_EQ(gf_randomIndex(-3), 0);

    std::vector<std::string> single = {"only"};
    const std::mt19937 before = gf_randomEngine();
    gf_shuffleIfRandom(single);
    EXPECT_TRUE(gf_randomEngine() == before);

    std::vector<std::string> texts = {"a", "b", "c", "d", "e", "f", "g", "h"};
    std::vector<std::string> expected = texts;
    std::mt19937 shuffleTwin = gf_randomEngine();
    std::shuffle(expected.begin(), expected.end(), shuffleTwin);
    gf_shuffleIfRandom(texts);
    EXPECT_EQ(texts, expected);
}

TEST_F(RandomTest, VariationIgnoresRandomAndAlwaysDraws)
{
    RANDOM.value = false;
    gf_seedRandomEngine(99);
    std::mt19937 twin(99);
    for (int i = 0; i < 50; ++i) {
        const double expected = twin() % 2 == 0 ? 110.0 : 90.0;
        EXPECT_DOUBLE_EQ(gf_randomVariation(100.0, 10.0), expected);
    }
    const std::mt19937 before = gf_randomEngine();
    EXPECT_DOUBLE_EQ(gf_randomVariation(100.0, 0.0), 100.0);
    EXPECT_FALSE(gf_randomEngine() == before);
}

TEST(ScanThrottle, WaiterGoesOnWhenASlotIsReleased)
{
    gf_initScanThrottle();
    EXPECT_GE(g_scanTasksLimit.load(), 1);
    EXPECT_EQ(g_scanTasksRunning.load(), 0);

    g_scanTasksLimit.store(2);
    g_scanTasksRunning.store(2);
    std::atomic<bool> passed{false};
    auto waiter = std::async(std::launch::async, [&] {
        gf_waitForScanSlot();
        passed.store(true);
    });
    EXPECT_FALSE(passed.load());
    gf_releaseScanSlot();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(passed.load());
    EXPECT_EQ(g_scanTasksRunning.load(), 1);
    gf_initScanThrottle();
}

} // namespace
