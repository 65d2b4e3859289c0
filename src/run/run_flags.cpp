#include "run/run_flags.h"

#include <mutex>

std::atomic<bool> rereadRequestFlag{false};
std::atomic<bool> flushStaticRequestFlag{false};
std::atomic<bool> blockRequestFlag{false};
std::atomic<bool> matchingDepthChangedFlag{false};
std::atomic<bool> parkingRequestFlag{false};
std::atomic<bool> maxLiveRequestFlag{false};
std::atomic<bool> navLightsRequestFlag{false};
std::atomic<bool> liveryTablesResetRequestFlag{false};
std::atomic<bool> trafficRangeRequestFlag{false};

std::atomic<bool> startUpPhaseFlag{true};
std::atomic<std::uint32_t> tickCounter{0};
std::atomic<bool> airportParametersChanged{false};
std::atomic<std::int32_t> userMaxLive{-1};
std::atomic<bool> parkingBusyFlag{false};
std::atomic<std::int32_t> manualLateralRange{40};

namespace {

std::mutex destinationRequestMutex;
std::optional<DestinationRequest> destinationRequest;

} // namespace

void gf_requestDestination(DestinationRequest request)
{
    std::lock_guard lock(destinationRequestMutex);
    destinationRequest = std::move(request);
}

std::optional<DestinationRequest> gf_takeDestinationRequest()
{
    std::lock_guard lock(destinationRequestMutex);
    std::optional<DestinationRequest> taken = std::move(destinationRequest);
    destinationRequest.reset();
    return taken;
}

std::atomic<std::uint64_t> currentDaySlot{0};
std::atomic<bool> flightNotRunningFlag{false};
std::atomic<bool> parkingCollectingFlag{false};
