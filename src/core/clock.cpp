#include "core/clock.h"

#include "core/log.h"

#include <array>
#include <chrono>
#include <cmath>
#include <fmt/format.h>
#include <stdexcept>

std::atomic<bool> g_professionalEdition{false};
std::atomic<double> g_latestTrafficStamp{0.0};

namespace {

constexpr std::array<const char*, 7> kDayAbbreviations{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<const char*, 7> kAsctimeDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Leading decimal digits of text[pos, pos + 2); reading stops at the first non-digit.
std::uint32_t lf_twoDigits(std::string_view text, std::size_t pos)
{
    std::uint32_t value = 0;
    for (std::size_t i = pos; i < pos + 2 && i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            break;
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    return value;
}

// The Unix seconds of 0001-01-01 and of 9999-12-31 23:59:59: every time between has a
// four-digit year, so its asctime form keeps its 24 characters.
constexpr double kEarliestClockSecond = -62135596800.0;
constexpr double kLatestClockSecond = 253402300799.0;

} // namespace

std::string gf_utcTimeText(std::int64_t unixSeconds)
{
    using namespace std::chrono;
    // A time outside the four-digit years is shown as the Unix epoch rather than as garbage.
    if (unixSeconds < static_cast<std::int64_t>(kEarliestClockSecond) ||
        unixSeconds > static_cast<std::int64_t>(kLatestClockSecond))
        return gf_utcTimeText(0);
    // The calendar of the standard library, the same on every system (the C library of Windows
    // breaks down no time before 1970 or after 3000).
    const sys_seconds time{seconds(unixSeconds)};
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    return fmt::format("{} {} {:2} {:02}:{:02}:{:02} {}", kAsctimeDays.at(weekday(day).c_encoding()),
                       kMonths.at(static_cast<unsigned>(date.month()) - 1), static_cast<unsigned>(date.day()),
                       clock.hours().count(), clock.minutes().count(), clock.seconds().count(),
                       static_cast<int>(date.year()));
}

std::int64_t gf_wallClockSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool gf_isCalendarTime(double unixSeconds)
{
    return unixSeconds >= kEarliestClockSecond && unixSeconds <= kLatestClockSecond;
}

std::int64_t gf_trafficClockSeconds()
{
    if (g_professionalEdition.load(std::memory_order_relaxed)) {
        // A stamp outside the calendar (or not finite) is no time: the wall clock stands in.
        const double stamp = g_latestTrafficStamp.load(std::memory_order_relaxed);
        if (gf_isCalendarTime(stamp) && static_cast<std::int64_t>(stamp) != 0)
            return static_cast<std::int64_t>(stamp);
    }
    return gf_wallClockSeconds();
}

std::string gf_utcClockNow()
{
    const std::string text = gf_utcTimeText(gf_wallClockSeconds());
    return text.substr(text.size() - 13, 8);
}

std::string gf_clockText()
{
    const std::string text = gf_utcTimeText(gf_trafficClockSeconds());
    return text.substr(text.size() - 13, 8);
}

DaySlot gf_dayAndHalfHour()
{
    return gf_dayAndHalfHourAt(gf_trafficClockSeconds());
}

DaySlot gf_dayAndHalfHourAt(std::int64_t unixSeconds)
{
    const std::string text = gf_utcTimeText(unixSeconds);
    return gf_packDaySlot(lf_decodeDay(std::string_view(text).substr(0, 3)), lf_halfHourSlot(text));
}

std::uint32_t lf_decodeDay(std::string_view abbreviation)
{
    for (std::size_t i = 0; i < kDayAbbreviations.size(); ++i) {
        if (abbreviation == kDayAbbreviations[i])
            return static_cast<std::uint32_t>(i + 1);
    }
    gf_log(fmt::format("{} ?  {}", "lf_decodeDay", abbreviation));
    return 0;
}

std::uint32_t lf_halfHourSlot(std::string_view asctimeText)
{
    if (asctimeText.size() < 14)
        throw std::out_of_range("lf_halfHourSlot: text too short");
    const std::uint32_t hours = lf_twoDigits(asctimeText, 11);
    const std::uint32_t minutes = lf_twoDigits(asctimeText, 14);
    return (2 * hours + (minutes >= 30 ? 1 : 0)) % 48;
}

std::string gf_weekdayName(std::uint32_t weekday)
{
    static const std::array<std::string, 7> names{"Monday", "Tuesday", "Wednesday", "Thursday",
                                                  "Friday", "Saturday", "Sunday"};
    if (weekday < 1 || weekday > 7)
        return "wrong day";
    return names[weekday - 1];
}

std::uint32_t gf_slotDistance(DaySlot x, DaySlot y)
{
    constexpr std::uint32_t monday = 1;
    constexpr std::uint32_t sunday = 7;
    const bool mondayAfterSunday = gf_weekdayOf(x) == monday && gf_weekdayOf(y) == sunday;
    if (!mondayAfterSunday) {
        const bool swap = (gf_weekdayOf(x) == sunday && gf_weekdayOf(y) == monday) ||
                          gf_weekdayOf(y) > gf_weekdayOf(x) ||
                          (gf_weekdayOf(y) == gf_weekdayOf(x) && gf_slotOf(y) > gf_slotOf(x));
        if (swap)
            std::swap(x, y);
    }
    std::uint32_t distance = (gf_weekdayOf(x) - gf_weekdayOf(y)) * 48 + gf_slotOf(x) - gf_slotOf(y);
    if (gf_weekdayOf(x) == monday && gf_weekdayOf(y) == sunday)
        distance += 336;
    return distance;
}

std::string lf_dateText()
{
    const std::string text = gf_utcTimeText(gf_wallClockSeconds());
    return text.substr(4, 6) + ", " + text.substr(20, 4);
}

std::string gf_formatNumber(float value)
{
    if (std::fmod(value, 1.0f) == 0.0f)
        return fmt::format("{:.0f}", value);
    return fmt::format("{:.1F}", value);
}

std::int64_t gf_steadyTicks()
{
    return std::chrono::steady_clock::now().time_since_epoch().count() / 100;
}
