#pragma once
// A clock for the log's repeat limiters (core/repeat_limiter.h) that moves only when a test moves
// it; any thread may read it. Tests that use it put the steady clock back at their end
// (RepeatLimiter::setClock(nullptr)).

#include "core/repeat_limiter.h"

#include <atomic>

namespace testsupport {

inline std::atomic<RepeatLimiter::Clock::rep> limiterTicks{0};

inline RepeatLimiter::Clock::time_point limiterNow()
{
    return RepeatLimiter::Clock::time_point(RepeatLimiter::Clock::duration(limiterTicks.load()));
}

inline void moveLimiterClock(RepeatLimiter::Clock::duration by)
{
    limiterTicks += by.count();
}

// Every limited line is due again: the clock starts far ahead of anything a limiter saw.
inline void useLimiterClock()
{
    limiterTicks = (RepeatLimiter::Clock::now() + std::chrono::hours(1000)).time_since_epoch().count();
    RepeatLimiter::setClock(limiterNow);
}

} // namespace testsupport
