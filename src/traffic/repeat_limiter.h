#pragma once
// A log line that an outside peer can repeat at will (one per datagram, one per dropped message)
// is let through at most once a period; the occurrences held back in between are counted, and
// the next line that is let through tells how many there were.
//
// A limiter belongs to one thread (or is used under one lock); it takes no lock of its own.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class RepeatLimiter {
public:
    using Clock = std::chrono::steady_clock;
    using Now = Clock::time_point (*)();

    explicit RepeatLimiter(Clock::duration period) : period_(period) {}

    // Counts one occurrence. When a line is due, the number of occurrences since the previous
    // line (this one included); nothing while the period of the previous line still runs.
    std::optional<std::uint64_t> occur();

    // The time every limiter reads; the steady clock unless a test sets its own (nullptr: back
    // to the steady clock). Set it only while no reader thread runs.
    static void setClock(Now now);

private:
    Clock::duration period_;
    std::uint64_t pending_ = 0; // occurrences since the previous line
    std::optional<Clock::time_point> lastLine_;
};

// The text of a limited line: the text itself for a single occurrence, else the text followed
// by how many times it came since the previous line.
std::string gf_withRepeatCount(const std::string& text, std::uint64_t count);
