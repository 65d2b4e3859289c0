#include "core/clock.h"
#include "core/log.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

// Sets the traffic clock to a fixed stamp of the professional edition for one test.
class TrafficClockAt {
public:
    explicit TrafficClockAt(double stamp)
    {
        g_professionalEdition = true;
        g_latestTrafficStamp = stamp;
    }
    ~TrafficClockAt()
    {
        g_professionalEdition = false;
        g_latestTrafficStamp = 0.0;
    }
};

} // namespace

TEST(Clock, UtcTimeTextIsTheAsctimeForm)
{
    EXPECT_EQ(gf_utcTimeText(1796601599), "Sun Dec  6 23:59:59 2026");
    EXPECT_EQ(gf_utcTimeText(1592430720), "Wed Jun 17 21:52:00 2020");
    EXPECT_EQ(gf_utcTimeText(0), "Thu Jan  1 00:00:00 1970");
    // Times before 1970 and after 3000, which the C library of Windows cannot break down.
    EXPECT_EQ(gf_utcTimeText(-1), "Wed Dec 31 23:59:59 1969");
    EXPECT_EQ(gf_utcTimeText(-62135596800), "Mon Jan  1 00:00:00 1");
    EXPECT_EQ(gf_utcTimeText(253402300799), "Fri Dec 31 23:59:59 9999");
    EXPECT_EQ(gf_utcTimeText(253402300800), "Thu Jan  1 00:00:00 1970");
}

TEST(Clock, TimeOfWeekOfFixedInstants)
{
    struct Case {
        std::int64_t seconds;
        std::uint32_t weekday, slot;
    };
    const std::vector<Case> cases{
        {1796601599, 7, 47}, // Sunday 23:59:59
        {1796601600, 1, 0},  // Monday 00:00:00
        {1796603400, 1, 1},  // Monday 00:30:00
        {1796646540, 1, 24}, // 12:29
        {1796646600, 1, 25}, // 12:30
        {1796860740, 3, 47}, // Wednesday 23:59
    };
    for (const Case& c : cases) {
        const DaySlot at = gf_dayAndHalfHourAt(c.seconds);
        EXPECT_EQ(gf_weekdayOf(at), c.weekday) << c.seconds;
        EXPECT_EQ(gf_slotOf(at), c.slot) << c.seconds;
        TrafficClockAt clock(static_cast<double>(c.seconds) + 0.75);
        EXPECT_EQ(gf_dayAndHalfHour(), at) << "the traffic clock follows the stamp, truncated";
    }
}

TEST(Clock, TrafficClockIsTheWallClockWithoutProfessionalStamp)
{
    g_latestTrafficStamp = 1592430720.0;
    EXPECT_NE(gf_trafficClockSeconds(), 1592430720) << "not the professional edition";
    {
        TrafficClockAt clock(0.0);
        EXPECT_NEAR(static_cast<double>(gf_trafficClockSeconds()), static_cast<double>(gf_wallClockSeconds()), 2.0);
    }
    // Stamps no calendar can show are no time; the wall clock stands in.
    for (const double stamp : {1e17, 9.3e18, 1e300, -1e300, std::numeric_limits<double>::quiet_NaN()}) {
        TrafficClockAt clock(stamp);
        EXPECT_NEAR(static_cast<double>(gf_trafficClockSeconds()), static_cast<double>(gf_wallClockSeconds()), 2.0)
            << stamp;
    }
    EXPECT_EQ(gf_utcTimeText(std::numeric_limits<std::int64_t>::max()), "Thu Jan  1 00:00:00 1970");
    TrafficClockAt clock(1592430720.0);
    EXPECT_EQ(gf_clockText(), "21:52:00");
    EXPECT_EQ(gf_utcClockNow().size(), 8u);
}

TEST(Clock, DecodingAndNamingDays)
{
    testsupport::TempFolder folder(true);
    gf_openLog();
    EXPECT_EQ(lf_decodeDay("Mon"), 1u);
    EXPECT_EQ(lf_decodeDay("Sun"), 7u);
    EXPECT_EQ(lf_decodeDay("mon"), 0u);
    gf_closeLog();
    EXPECT_NE(testsupport::readTextFile("Log.txt").find("\nlf_decodeDay ?  mon\n"), std::string::npos);

    EXPECT_EQ(gf_weekdayName(1), "Monday");
    EXPECT_EQ(gf_weekdayName(7), "Sunday");
    EXPECT_EQ(gf_weekdayName(0), "wrong day");
    EXPECT_EQ(gf_weekdayName(8), "wrong day");
    EXPECT_EQ(lf_halfHourSlot("Mon Dec  7 2x:45:00 2026"), 5u) << "reading stops at the first non-digit";
    EXPECT_THROW(lf_halfHourSlot("Mon Dec  7 2"), std::out_of_range);
}

TEST(Clock, SlotDistancesWrapOnlyFromSundayToMonday)
{
    struct Case {
        DaySlot x, y;
        std::uint32_t expected;
    };
    const std::vector<Case> cases{
        {gf_packDaySlot(1, 3), gf_packDaySlot(7, 45), 6},
        {gf_packDaySlot(7, 45), gf_packDaySlot(1, 3), 6},
        {gf_packDaySlot(7, 47), gf_packDaySlot(1, 0), 1},
        {gf_packDaySlot(1, 47), gf_packDaySlot(2, 0), 1},
        {gf_packDaySlot(4, 9), gf_packDaySlot(4, 9), 0},
        {gf_packDaySlot(3, 10), gf_packDaySlot(2, 20), 38},
        {gf_packDaySlot(2, 20), gf_packDaySlot(3, 10), 38},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_slotDistance(c.x, c.y), c.expected);
}

TEST(Clock, FormatNumberAndDateText)
{
    EXPECT_EQ(gf_formatNumber(2.0f), "2");
    EXPECT_EQ(gf_formatNumber(2.5f), "2.5");
    EXPECT_EQ(gf_formatNumber(0.5f), "0.5");
    EXPECT_EQ(gf_formatNumber(-3.0f), "-3");
    const std::string date = lf_dateText();
    ASSERT_EQ(date.size(), 12u);
    EXPECT_EQ(date.substr(6, 2), ", ");
}
