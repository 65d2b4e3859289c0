#include "engine/traffic_queue.h"

std::mutex trafficQueueMutex;
std::deque<TrafficMessage> trafficQueue;
bool acceptTraffic = false;
std::atomic<std::int32_t> passCounter{0};

void gf_setAcceptTraffic(bool value)
{
    std::lock_guard lock(trafficQueueMutex);
    acceptTraffic = value;
}
