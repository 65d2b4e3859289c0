#include "platform/timer_period.h"

namespace platform {

FineTimerPeriod::FineTimerPeriod() = default;

FineTimerPeriod::~FineTimerPeriod() = default;

} // namespace platform
