#pragma once
// Clocks and the time of the week. All times are UTC.
// The traffic clock follows the time stamps of the received traffic when the RealTraffic client
// is the professional edition (whose traffic may be replayed history), else the wall clock.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Inputs of the traffic clock, written by the live-traffic input.
extern std::atomic<bool> g_professionalEdition;
extern std::atomic<double> g_latestTrafficStamp; // Unix seconds of the latest traffic line; 0 = none

// Time of the week packed into 64 bits: half-hour slot 0..47 in the upper, weekday 1..7
// (Monday 1) in the lower 32 bits.
using DaySlot = std::uint64_t;
constexpr DaySlot gf_packDaySlot(std::uint32_t weekday, std::uint32_t slot)
{
    return (static_cast<DaySlot>(slot) << 32) | weekday;
}
constexpr std::uint32_t gf_weekdayOf(DaySlot daySlot) { return static_cast<std::uint32_t>(daySlot); }
constexpr std::uint32_t gf_slotOf(DaySlot daySlot) { return static_cast<std::uint32_t>(daySlot >> 32); }

// The asctime form of a UTC time without its line end: "Www Mmm dd hh:mm:ss yyyy"; a time
// that gmtime cannot break down gives the form of 0.
std::string gf_utcTimeText(std::int64_t unixSeconds);

std::int64_t gf_wallClockSeconds();
// A time the clocks can show: within the years 1 to 9999 (a NaN is none).
bool gf_isCalendarTime(double unixSeconds);
// The latest traffic stamp (whole seconds) for the professional edition, else the wall clock;
// a stamp of 0, not finite, or outside the years 1 to 9999 counts as none.
std::int64_t gf_trafficClockSeconds();

std::string gf_utcClockNow(); // hh:mm:ss of the wall clock
std::string gf_clockText();   // hh:mm:ss of the traffic clock

DaySlot gf_dayAndHalfHour();                         // of the traffic clock, read once
DaySlot gf_dayAndHalfHourAt(std::int64_t unixSeconds);

std::uint32_t lf_decodeDay(std::string_view abbreviation); // "Mon".."Sun" -> 1..7, else logs, 0
std::uint32_t lf_halfHourSlot(std::string_view asctimeText);
std::string gf_weekdayName(std::uint32_t weekday);          // "Monday".. or "wrong day"

// Half-hour slots from the earlier to the later of two times of the week; Monday follows Sunday.
std::uint32_t gf_slotDistance(DaySlot x, DaySlot y);

std::string lf_dateText(); // "Mmm dd, yyyy" of the current UTC date

// "{:.0f}" for a whole value, else "{:.1F}".
std::string gf_formatNumber(float value);

// The steady clock in ticks of 100 ns, the unit in which the aircraft records keep their times.
std::int64_t gf_steadyTicks();
