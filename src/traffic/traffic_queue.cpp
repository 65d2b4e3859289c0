#include "traffic/traffic_queue.h"

#include "core/log.h"
#include "core/repeat_limiter.h"

#include <fmt/format.h>

std::mutex trafficQueueMutex;
std::deque<TrafficMessage> trafficQueue;
bool acceptTraffic = false;
std::atomic<std::int32_t> passCounter{0};

namespace {

// Both under trafficQueueMutex.
std::uint64_t droppedMessages = 0;
RepeatLimiter queueFullLog{std::chrono::minutes(1)};

} // namespace

void gf_setAcceptTraffic(bool value)
{
    std::lock_guard lock(trafficQueueMutex);
    acceptTraffic = value;
}

bool gf_appendTrafficMessage(TrafficMessage&& message)
{
    if (trafficQueue.size() < kTrafficQueueLimit) {
        trafficQueue.push_back(std::move(message));
        return true;
    }
    ++droppedMessages;
    if (const std::optional<std::uint64_t> count = queueFullLog.occur())
        gf_logWarning(fmt::format("traffic queue full ({} messages): {} new messages dropped since the previous "
                                  "report, {} in all",
                                  kTrafficQueueLimit, *count, droppedMessages));
    return false;
}

std::uint64_t gf_droppedTrafficMessages()
{
    std::lock_guard lock(trafficQueueMutex);
    return droppedMessages;
}
