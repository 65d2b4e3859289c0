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
// Oldest message at the front. The engine drains two per pass (200 a second), so a full queue
// is 50 seconds of backlog (about 4 MB): a flood cannot grow it further, while a burst of a real
// client (a few thousand lines) always fits.
extern std::deque<TrafficMessage> trafficQueue;
inline constexpr std::size_t kTrafficQueueLimit = 10000;
// The reader queues messages only while this is set; written only under trafficQueueMutex.
extern bool acceptTraffic;

// The update passes of the work thread (one per 10 ms); the traffic reader reads it.
extern std::atomic<std::int32_t> passCounter;

void gf_setAcceptTraffic(bool value);

// Appends a message at the back unless the queue is full; the caller holds trafficQueueMutex.
// A full queue drops the new message: the drops are counted and logged once a minute.
bool gf_appendTrafficMessage(TrafficMessage&& message);
// Messages dropped by a full queue since the program started.
std::uint64_t gf_droppedTrafficMessages();
