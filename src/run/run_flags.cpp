#include "run/run_flags.h"

#include "core/shell_port.h"
#include "params/control_port.h"
#include "params/parameter_store.h"
#include "params/parameters.h"

#include <fmt/format.h>
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

void lf_newDestination(const std::string& code, LatLon position)
{
    gf_setParameterString(DESTINATION, code);
    gf_updateTextBoxString(DESTINATION);
    gf_reportMessage(fmt::format("New destination: {}", code), true);
    // The park-airport list is the work thread's: it takes the airport up from the request.
    gf_requestDestination(DestinationRequest{code, position});
    gf_disableControl(g_rereadButton);
}

std::atomic<bool> flightNotRunningFlag{false};
std::atomic<bool> parkingCollectingFlag{false};
