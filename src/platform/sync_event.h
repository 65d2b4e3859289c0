#pragma once
// Stand-in for a Windows event object: one thread sets it, another waits for it. An auto-reset
// event lets one wait through per set and is reset by that wait; a manual-reset event stays set
// until reset.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class SyncEvent {
public:
    explicit SyncEvent(bool manualReset = false) : manualReset_(manualReset) {}
    SyncEvent(const SyncEvent&) = delete;
    SyncEvent& operator=(const SyncEvent&) = delete;

    void set();
    void reset();
    // True when the event was set within the timeout.
    bool waitFor(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool set_ = false;
    bool manualReset_;
};

} // namespace platform
