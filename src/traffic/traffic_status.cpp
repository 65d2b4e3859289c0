#include "traffic/traffic_status.h"

#include <mutex>

namespace {

std::mutex statusMutex; // guards status and sink
TrafficStatus status;
std::function<void()> sink;

// Applies one change and tells the painter, without holding the lock while it runs.
template <typename Change>
void lf_change(Change&& change)
{
    std::function<void()> invalidate;
    {
        std::lock_guard lock(statusMutex);
        change(status);
        invalidate = sink;
    }
    if (invalidate)
        invalidate();
}

} // namespace

TrafficStatus gf_trafficStatus()
{
    std::lock_guard lock(statusMutex);
    return status;
}

void gf_setTrafficIndicator(int value)
{
    lf_change([value](TrafficStatus& s) { s.trafficIndicator = value; });
}

void gf_setQnhIndicator(int value)
{
    lf_change([value](TrafficStatus& s) { s.qnhIndicator = value; });
}

void gf_setRtReady(bool ready)
{
    lf_change([ready](TrafficStatus& s) { s.rtReady = ready; });
}

void gf_setRtVersionText(std::string text)
{
    lf_change([&text](TrafficStatus& s) { s.rtVersionText = std::move(text); });
}

void gf_publishQnhDisplay(std::int32_t qnh)
{
    lf_change([qnh](TrafficStatus& s) {
        s.qnhDisplay = qnh;
        if (s.qnhIndicator == kIndicatorNoData)
            s.qnhIndicator = kIndicatorReceiving;
    });
}

void gf_resetTrafficStatus()
{
    lf_change([](TrafficStatus& s) { s = TrafficStatus{}; });
}

void gf_setTrafficStatusSink(std::function<void()> invalidate)
{
    std::lock_guard lock(statusMutex);
    sink = std::move(invalidate);
}
