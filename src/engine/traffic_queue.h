#pragma once
// The engine's intake of traffic messages, as far as the traffic reader and the run need it:
// the queue the reader appends to, its lock and the switch that lets messages in, and the
// update-pass counter that stamps each message's due pass.

#include "traffic/traffic_message.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

// Guards trafficQueue and acceptTraffic. Taken before simConnectMutex and the log mutex.
extern std::mutex trafficQueueMutex;
// Oldest message at the front; no length limit (the engine drains two per pass).
extern std::deque<TrafficMessage> trafficQueue;
// The reader queues messages only while this is set; written only under trafficQueueMutex.
extern bool acceptTraffic;

// The update passes of the work thread (one per 10 ms); the traffic reader reads it.
extern std::atomic<std::int32_t> passCounter;

void gf_setAcceptTraffic(bool value);
