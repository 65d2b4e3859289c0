#include "core/repeat_limiter.h"

#include <algorithm>
#include <atomic>
#include <fmt/format.h>

namespace {

std::atomic<RepeatLimiter::Now> limiterClock{nullptr};

} // namespace

RepeatLimiter::Clock::time_point RepeatLimiter::now()
{
    const Now now = limiterClock.load(std::memory_order_relaxed);
    return now != nullptr ? now() : Clock::now();
}

std::optional<std::uint64_t> RepeatLimiter::occur()
{
    ++pending_;
    const Clock::time_point time = now();
    // A clock set back (a test's own clock left) makes the next line due.
    if (lastLine_ && time >= *lastLine_ && time - *lastLine_ < period_)
        return std::nullopt;
    lastLine_ = time;
    return takeHeldBack();
}

bool RepeatLimiter::idle() const
{
    if (pending_ != 0)
        return false;
    const Clock::time_point time = now();
    return !lastLine_ || time < *lastLine_ || time - *lastLine_ >= period_;
}

std::uint64_t RepeatLimiter::takeHeldBack()
{
    const std::uint64_t count = pending_;
    pending_ = 0;
    return count;
}

void RepeatLimiter::setClock(Now now)
{
    limiterClock.store(now);
}

std::string gf_withRepeatCount(const std::string& text, std::uint64_t count)
{
    if (count <= 1)
        return text;
    return fmt::format("{} ({} times since the previous report)", text, count);
}

namespace {

// A line that stands for lines of many texts says so.
std::string lf_withOthersCount(const std::string& line, std::uint64_t count)
{
    if (count <= 1)
        return line;
    return fmt::format("{} ({} lines of changing texts since the previous report)", line, count);
}

} // namespace

RepeatedLines::Followed* RepeatedLines::follow(const std::string& key)
{
    const auto known = std::find_if(followed_.begin(), followed_.end(), [&](const Followed& f) { return f.key == key; });
    if (known != followed_.end())
        return &*known;
    if (followed_.size() < kFollowedTexts)
        return &followed_.emplace_back(Followed{key, RepeatLimiter(period_), {}, nullptr});
    // A key whose period is over and that holds nothing back makes room.
    const auto idle = std::find_if(followed_.begin(), followed_.end(), [](const Followed& f) { return f.limiter.idle(); });
    if (idle == followed_.end())
        return nullptr;
    *idle = Followed{key, RepeatLimiter(period_), {}, nullptr};
    return &*idle;
}

std::optional<RepeatedLines::Report> RepeatedLines::occur(const std::string& key, const std::string& line,
                                                          LineWriter writer)
{
    std::lock_guard lock(mutex_);
    Followed* followed = follow(key);
    const bool other = followed == nullptr;
    if (other)
        followed = &others_;
    followed->writer = writer;
    const std::optional<std::uint64_t> count = followed->limiter.occur();
    if (!count) {
        followed->lastLine = line;
        return std::nullopt;
    }
    followed->lastLine.clear();
    return Report{other ? lf_withOthersCount(line, *count) : gf_withRepeatCount(line, *count), writer};
}

void RepeatedLines::write(const std::string& key, const std::string& line, LineWriter writer)
{
    if (const std::optional<Report> report = occur(key, line, writer))
        report->writer(report->line);
}

void RepeatedLines::flush()
{
    std::vector<Report> reports;
    {
        std::lock_guard lock(mutex_);
        for (Followed& followed : followed_)
            if (const std::uint64_t count = followed.limiter.takeHeldBack(); count > 0)
                reports.push_back({gf_withRepeatCount(followed.lastLine, count), followed.writer});
        if (const std::uint64_t count = others_.limiter.takeHeldBack(); count > 0)
            reports.push_back({lf_withOthersCount(others_.lastLine, count), others_.writer});
        followed_.clear();
        others_ = Followed{{}, RepeatLimiter(period_), {}, nullptr};
    }
    for (const Report& report : reports)
        report.writer(report.line);
}
