#include "traffic/repeat_limiter.h"

#include <atomic>
#include <fmt/format.h>

namespace {

std::atomic<RepeatLimiter::Now> limiterClock{nullptr};

RepeatLimiter::Clock::time_point lf_now()
{
    const RepeatLimiter::Now now = limiterClock.load(std::memory_order_relaxed);
    return now != nullptr ? now() : RepeatLimiter::Clock::now();
}

} // namespace

std::optional<std::uint64_t> RepeatLimiter::occur()
{
    ++pending_;
    const Clock::time_point now = lf_now();
    // A clock set back (a test's own clock left) makes the next line due.
    if (lastLine_ && now >= *lastLine_ && now - *lastLine_ < period_)
        return std::nullopt;
    lastLine_ = now;
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
