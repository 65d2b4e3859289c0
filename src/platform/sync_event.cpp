#include "platform/sync_event.h"

namespace platform {

void SyncEvent::set()
{
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    signalled_.notify_all();
}

void SyncEvent::reset()
{
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool SyncEvent::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    if (!signalled_.wait_for(lock, timeout, [this] { return set_; }))
        return false;
    if (!manualReset_)
        set_ = false;
    return true;
}

} // namespace platform
