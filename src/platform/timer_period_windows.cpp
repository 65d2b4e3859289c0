#include "platform/timer_period.h"

#include <windows.h>
#include <timeapi.h>

namespace platform {

FineTimerPeriod::FineTimerPeriod() : raised_(::timeBeginPeriod(1) == TIMERR_NOERROR)
{
}

FineTimerPeriod::~FineTimerPeriod()
{
    if (raised_)
        ::timeEndPeriod(1);
}

} // namespace platform
