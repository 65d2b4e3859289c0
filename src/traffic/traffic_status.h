#pragma once
// What the main window shows of the live-traffic input: the two reader indicators, the published
// QNH, whether the RealTraffic side is ready, and the client's edition and version. Written by the
// reader threads and the work thread, painted by the GUI thread: kept under one lock and handed
// out as a copy.

#include <cstdint>
#include <functional>
#include <string>

inline constexpr int kIndicatorReceiving = 1;
inline constexpr int kIndicatorNoData = 2;
inline constexpr int kIndicatorStopped = 3; // the traffic indicator only

struct TrafficStatus {
    int trafficIndicator = kIndicatorStopped;
    int qnhIndicator = kIndicatorStopped;
    std::int32_t qnhDisplay = 0;   // hPa; 0 until a QNH was published
    bool rtReady = false;          // the traffic client side is ready
    std::string rtVersionText;     // "RT{} edition: {}"
};

TrafficStatus gf_trafficStatus();

void gf_setTrafficIndicator(int value);
void gf_setQnhIndicator(int value);
void gf_setRtReady(bool ready);
void gf_setRtVersionText(std::string text);
// Shows a published QNH; an indicator that shows no data goes back to receiving.
void gf_publishQnhDisplay(std::int32_t qnh);
// The restart reset: back to the start values above.
void gf_resetTrafficStatus();

// Whoever paints the status (the main window) is told after every change; called on the
// writer's thread, outside the lock.
void gf_setTrafficStatusSink(std::function<void()> invalidate);
