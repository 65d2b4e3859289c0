#pragma once
// The system timer resolution, raised to 1 ms while a loop that sleeps in 1 ms to 10 ms steps
// runs. Windows sleeps in steps of the timer period (15.6 ms unless raised); Linux sleeps are
// fine-grained and nothing is changed there.

namespace platform {

// Raises the timer resolution to 1 ms for the lifetime of the object (the requests of several
// holders add up, as the system counts them).
class FineTimerPeriod {
public:
    FineTimerPeriod();
    ~FineTimerPeriod();
    FineTimerPeriod(const FineTimerPeriod&) = delete;
    FineTimerPeriod& operator=(const FineTimerPeriod&) = delete;

private:
    bool raised_ = false;
};

} // namespace platform
