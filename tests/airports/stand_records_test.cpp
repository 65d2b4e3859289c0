// Stand records, their neighbours and the quality factor of a stand table.

#include "airports/quality_factor.h"
#include "airports/stand.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr double kMetresPerDegreeLat = 1852.0 * 60.0;

Stand makeStand(const std::string& name, double northMetres, double radiusMetres)
{
    return Stand(name, {}, {northMetres / kMetresPerDegreeLat, 0.0, 0.0}, radiusMetres, 1, 1, 1);
}

ParkPosOption makeOption(std::uint32_t day, std::initializer_list<int> slots, std::uint32_t real = 1,
                         std::uint32_t number = 1)
{
    ParkPosOption option;
    option.day = day;
    option.real = real;
    option.number = number;
    for (int slot : slots)
        option.hours.set(static_cast<std::size_t>(slot));
    return option;
}

class StandTableTest : public ::testing::Test {
protected:
    void TearDown() override { standTable.clear(); }
    void number()
    {
        std::uint32_t id = 0;
        for (Stand& stand : standTable)
            stand.id = ++id;
    }
};

TEST(StandRecord, ConstructorFlagsAndRadius)
{
    const Stand stand("A1", {}, {1.0, 2.0, 0.5}, 36.0, 0, 1, 1);
    EXPECT_TRUE(stand.cargo);
    EXPECT_FALSE(stand.ramp);
    EXPECT_FALSE(stand.heli);
    EXPECT_DOUBLE_EQ(stand.radius, 0.019438444924406047);
    EXPECT_EQ(stand.id, 0u);
    EXPECT_FALSE(stand.manual || stand.taken || stand.occupied || stand.reserved || stand.neighbourBlocked);
    EXPECT_GE(stand.neighbours.capacity(), 8u);
}

TEST(StandRecord, PlausiblePosition)
{
    EXPECT_FALSE(lf_isPlausiblePosition({0.0, 0.0}));
    EXPECT_FALSE(lf_isPlausiblePosition({0.0009, 0.05}));
    EXPECT_FALSE(lf_isPlausiblePosition({0.0005, 0.01}));
    EXPECT_TRUE(lf_isPlausiblePosition({-0.0001, 0.01}));
    EXPECT_TRUE(lf_isPlausiblePosition({0.001, 0.0}));
    EXPECT_TRUE(lf_isPlausiblePosition({0.0, 0.06}));
}

TEST_F(StandTableTest, NeighboursOverlapStrictlyAndSymmetrically)
{
    standTable.push_back(makeStand("A", 0.0, 30.0));
    standTable.push_back(makeStand("B", 52.0, 25.0)); // 55 m is not more than 57.2 m
    standTable.push_back(makeStand("C", 97.0, 25.0)); // 45 m from B: 50 m > 49.5 m
    standTable.push_back(makeStand("D", 5000.0, 100000.0)); // overlaps all, never itself
    number();
    lf_computeStandNeighbours();
    EXPECT_EQ(standTable[0].neighbours, (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(standTable[1].neighbours, (std::vector<std::uint32_t>{3, 4}));
    EXPECT_EQ(standTable[2].neighbours, (std::vector<std::uint32_t>{2, 4}));
    EXPECT_EQ(standTable[3].neighbours, (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST_F(StandTableTest, StandsWithTheSameIdAreNoNeighbours)
{
    standTable.push_back(makeStand("A", 0.0, 30.0));
    standTable.push_back(makeStand("B", 1.0, 30.0));
    lf_computeStandNeighbours(); // both still have id 0
    EXPECT_TRUE(standTable[0].neighbours.empty());
    EXPECT_TRUE(standTable[1].neighbours.empty());
}

TEST_F(StandTableTest, QualityFactorWithoutOptions)
{
    EXPECT_EQ(gf_qualityFactor(), ~std::uint64_t{0});
    standTable.push_back(makeStand("A", 0.0, 37.0));
    const std::uint64_t pair = gf_qualityFactor();
    EXPECT_EQ(gf_realQuality(pair), -1);
    EXPECT_EQ(gf_softQuality(pair), -1);
    EXPECT_EQ(lf_slotPairText(-1, -1), "  ");
}

TEST_F(StandTableTest, QualityFactorOfOneAndTwoStands)
{
    standTable.push_back(makeStand("A", 0.0, 37.04));
    standTable[0].opts.push_back(makeOption(3, {10, 11}));
    std::uint64_t pair = gf_qualityFactor();
    EXPECT_EQ(gf_realQuality(pair), 63);
    EXPECT_EQ(gf_softQuality(pair), 0);
    EXPECT_EQ(lf_slotPairText(63, 0), "63");

    standTable.push_back(makeStand("B", 500.0, 37.04));
    pair = gf_qualityFactor();
    EXPECT_EQ(gf_realQuality(pair), 32); // 31.6375
    EXPECT_EQ(lf_slotPairText(32, 0), "32/ 0");
}

TEST_F(StandTableTest, QualityFactorCapsAndSkips)
{
    // One stand of weight 1 whose options pass both caps; each kind lies at a rounding edge, on
    // either side of the slot cap of 600.
    standTable.push_back(makeStand("A", 0.0, 11.0 * 1852.0));
    for (std::uint32_t n = 1; n <= 201; ++n)
        standTable[0].opts.push_back(makeOption(1 + n % 7, {0, 1, 2, 3}, 0, n));
    for (std::uint32_t n = 1; n <= 15; ++n) {
        standTable[0].opts.push_back(makeOption(1, {}, 1, n));
        standTable[0].opts.back().hours.set();
    }
    std::uint64_t pair = gf_qualityFactor();
    // soft: 10000 + 4000 (201 options, capped) + 700 + 1200 (804 slots, capped) = 15900 -> 99.375
    EXPECT_EQ(gf_softQuality(pair), 99);
    // real: 10000 + 300 + 100 + 1200 (720 slots, capped) = 11600 -> 72.5
    EXPECT_EQ(gf_realQuality(pair), 73);

    standTable[0].opts.clear();
    standTable[0].opts.push_back(makeOption(9, {1, 2, 3}));           // counts in n and bits, not in days
    standTable[0].opts.push_back(makeOption(2, {4, 5, 6}, 1, 0));     // given up: ignored
    pair = gf_qualityFactor();
    EXPECT_EQ(gf_realQuality(pair), static_cast<std::int32_t>(std::round((10000 + 20 + 0 + 6) * 0.00625)));
}

TEST_F(StandTableTest, LargeStandsWeighMore)
{
    // A huge stand (radius 8 nm, weight 1.5) with options beside a small one (0.3) without.
    standTable.push_back(makeStand("A", 0.0, 8.0 * 1852.0));
    standTable[0].opts.push_back(makeOption(1, {}));
    standTable.push_back(makeStand("B", 0.0, 37.0));
    const double expected = 1.5 * 10120.0 / (1.5 + static_cast<double>(0.3f)) * 0.00625;
    EXPECT_EQ(gf_realQuality(gf_qualityFactor()), static_cast<std::int32_t>(std::round(expected)));
}

} // namespace
