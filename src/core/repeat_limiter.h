#pragma once
// Log lines that an outside peer (the simulator, the RealTraffic client) can make repeat at
// will: one per datagram, per received message, per reconnection. Such a line is written the
// first time and then at most once a period; the occurrences held back in between are counted,
// and the next line that is written tells how many there were. So a peer that floods the program
// fills neither the disk nor the time of the thread that logs.
//
// RepeatLimiter limits one line (one call site). It belongs to one thread (or is used under one
// lock) and takes no lock of its own. RepeatedLines limits each text by itself, for the lines of
// one peer, and may be used from any thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class RepeatLimiter {
public:
    using Clock = std::chrono::steady_clock;
    using Now = Clock::time_point (*)();

    explicit RepeatLimiter(Clock::duration period) : period_(period) {}

    // Counts one occurrence. When a line is due, the number of occurrences since the previous
    // line (this one included); nothing while the period of the previous line still runs.
    std::optional<std::uint64_t> occur();
    // The previous line's period is over and nothing is held back: forgetting it loses nothing.
    bool idle() const;
    // The occurrences held back, which the caller reports now; the next one is written at once.
    std::uint64_t takeHeldBack();

    // The time every limiter reads; the steady clock unless a test sets its own (nullptr: back
    // to the steady clock). Set it only while no thread that logs through a limiter runs.
    static void setClock(Now now);
    static Clock::time_point now();

private:
    Clock::duration period_;
    std::uint64_t pending_ = 0; // occurrences since the previous line
    std::optional<Clock::time_point> lastLine_;
};

// The text of a limited line: the text itself for a single occurrence, else the text followed
// by how many times it came since the previous line.
std::string gf_withRepeatCount(const std::string& text, std::uint64_t count);

// Writes one log line: gf_logLine, gf_logWarning, gf_logIndented.
using LineWriter = void (*)(const std::string& line);

class RepeatedLines {
public:
    // Texts followed at once; a peer that makes ever new texts shares one limiter beyond them.
    static constexpr std::size_t kFollowedTexts = 64;

    explicit RepeatedLines(RepeatLimiter::Clock::duration period)
        : period_(period), others_{{}, RepeatLimiter(period), {}, nullptr}
    {
    }

    // Writes `line` with `writer` unless a line of the same key was written less than a period
    // ago; then it is only counted, and the next line of that key carries the count. The key is
    // the line itself, or the line without what changes every time (a clock time).
    void write(const std::string& line, LineWriter writer) { write(line, line, writer); }
    void write(const std::string& key, const std::string& line, LineWriter writer);

    // Writes the counts still held back, each with the last line of its key, and forgets every
    // key (the end of a connection: the next peer starts afresh).
    void flush();

private:
    struct Followed {
        std::string key;
        RepeatLimiter limiter;
        std::string lastLine; // held back
        LineWriter writer;
    };
    struct Report {
        std::string line;
        LineWriter writer;
    };

    std::optional<Report> occur(const std::string& key, const std::string& line, LineWriter writer);
    Followed* follow(const std::string& key);

    RepeatLimiter::Clock::duration period_;
    std::mutex mutex_; // taken before the log mutex, never while writing
    std::vector<Followed> followed_;
    Followed others_;  // the texts beyond kFollowedTexts
};
