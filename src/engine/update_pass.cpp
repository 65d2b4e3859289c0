#include "engine/update_pass.h"

#include "core/log.h"
#include "engine/traffic_queue.h"
#include "params/parameters.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "traffic/rt_link.h"

#include <fmt/format.h>

std::deque<std::uint32_t> removalQueue;
std::deque<AcCreateRecord> liveCreationQueue;
std::deque<AcCreateRecord> staticCreationQueue;
std::atomic<bool> fastRangeRequest{false};

namespace {

constexpr int kMessagesPerPass = 2;

void lf_handOverQueues(std::int32_t pass)
{
    if (pass % 10 != 0)
        return;
    if (!removalQueue.empty()) {
        gf_queueRemoveAiAc(removalQueue.front());
        removalQueue.pop_front();
    }
    if (pass % 50 != 0)
        return;
    // A live creation always goes before a static one.
    std::deque<AcCreateRecord>& queue = !liveCreationQueue.empty() ? liveCreationQueue : staticCreationQueue;
    if (!queue.empty()) {
        gf_queueCreateAiAc(queue.front());
        queue.pop_front();
    }
}

void lf_requestAircraftInRange(std::int32_t pass)
{
    const int period = fastRangeRequest.load() ? 20 : 100;
    if (pass % period != 0 || simConnectFailed.load())
        return;
    gf_requestAircraftInRange(static_cast<std::uint32_t>(g_trafficRangeM.load()));
}

} // namespace

void gf_updateAI()
{
    try {
        const std::int32_t pass = passCounter.load();
        gf_SimCommands();
        gf_handOverPositions();
        lf_handOverQueues(pass);
        lf_handleUdpMessages();
        lf_requestAircraftInRange(pass);
        if (pass % 100 == 0) {
            gf_sendOwnPosition();
            userAc = gf_getUserAcPosition();
        }
        passCounter.store(pass + 1);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "gf_updateAI", e.what()));
    }
}

void gf_SimCommands()
{
    // Without aircraft records there is nothing to apply the commands to.
    (void)gf_takeSimCommands();
}

void lf_handleUdpMessages()
{
    std::lock_guard lock(trafficQueueMutex);
    for (int i = 0; i < kMessagesPerPass && !trafficQueue.empty(); ++i)
        trafficQueue.pop_front();
}

void gf_handOverAllRemovals()
{
    while (!removalQueue.empty()) {
        gf_queueRemoveAiAc(removalQueue.front());
        removalQueue.pop_front();
    }
}

void gf_removeAllStatics() {}

void gf_applyMaxLive() {}

void gf_applyNavLightsWhileParked() {}

void gf_resetEngineQueues()
{
    removalQueue.clear();
    liveCreationQueue.clear();
    staticCreationQueue.clear();
    fastRangeRequest = false;
    std::lock_guard lock(trafficQueueMutex);
    trafficQueue.clear();
}
