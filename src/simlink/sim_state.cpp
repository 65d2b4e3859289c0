#include "simlink/sim_state.h"

#include "simlink/sim_internal.h"

#include <bit>
#include <mutex>

std::atomic<bool> simRunningFlag{false};
std::atomic<bool> tickFlag{false};
std::atomic<bool> userPositionValid{false};
std::atomic<bool> userOnGround{false};
std::atomic<bool> userAcDataValid{false};
std::atomic<std::uint32_t> userObjectId{kInitialUserObjectId};

SharedText userAcTitle;
SharedText userAcModel;
std::atomic<double> userHalfWingspan{0.0};
std::atomic<bool> userHalfWingspanValid{false};
std::atomic<AcCategory> userAcCategory{AcCategory::Light};

std::atomic<std::int64_t> simUnixTime{0};
std::atomic<std::int32_t> expectedSimVersion{5};

UserAcData userAc;
std::string userAcStand;

std::atomic<bool> userStandCheckPending{false};
std::atomic<bool> recordUserParkAirportPending{false};

namespace {

std::atomic<std::uint32_t> frameRateBits{0};

// The live block: written by the SimConnect thread, copied by the work thread. A plain lock
// held only for the copy of 96 bytes; nothing else is locked inside it.
std::mutex liveUserAcMutex;
UserAcData liveUserAc;

std::mutex statusMutex;
SimLinkStatus status;
std::function<void()> repaint;

} // namespace

float gf_simFrameRate()
{
    return std::bit_cast<float>(frameRateBits.load(std::memory_order_relaxed));
}

void lf_storeFrameRate(float framesPerSecond)
{
    frameRateBits.store(std::bit_cast<std::uint32_t>(framesPerSecond), std::memory_order_relaxed);
}

UserAcData gf_liveUserAcData()
{
    std::lock_guard lock(liveUserAcMutex);
    return liveUserAc;
}

void lf_storeLiveUserAc(const UserAcData& data)
{
    std::lock_guard lock(liveUserAcMutex);
    liveUserAc = data;
}

SimLinkStatus gf_simLinkStatus()
{
    std::lock_guard lock(statusMutex);
    return status;
}

void gf_setSimLinkRepaint(std::function<void()> newRepaint)
{
    std::lock_guard lock(statusMutex);
    repaint = std::move(newRepaint);
}

void lf_changeStatus(const std::function<void(SimLinkStatus&)>& change)
{
    std::function<void()> tell;
    {
        std::lock_guard lock(statusMutex);
        change(status);
        tell = repaint;
    }
    if (tell)
        tell();
}
