#include "run/main_loop.h"

#include "airports/airport_services.h"
#include "airports/parking_controls.h"
#include "airports/stand.h"
#include "airports/traffic_range.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "engine/ac_records.h"
#include "engine/clearance.h"
#include "engine/live_removal.h"
#include "engine/park_options.h"
#include "engine/parked_removal.h"
#include "engine/parking_adjustments.h"
#include "engine/removal_rules.h"
#include "engine/update_pass.h"
#include "liveries/livery_services.h"
#include "params/control_port.h"
#include "params/parameters.h"
#include "params/window_fields.h"
#include "platform/thread_cpu_time.h"
#include "platform/timer_period.h"
#include "run/exit.h"
#include "run/run_flags.h"
#include "simlink/sim_client.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "traffic/own_position.h"
#include "traffic/rt_link.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"
#include "traffic/traffic_status.h"

#include <algorithm>
#include <chrono>
#include <fmt/format.h>
#include <new>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPass = std::chrono::milliseconds(10);
constexpr auto kPassWatchPeriod = std::chrono::minutes(1);
constexpr auto kSlowPass = std::chrono::milliseconds(2);

// The longest work of a pass in each minute, logged when it left less than 8 of the 10 ms to
// sleep: a slow pass delays every aircraft's position write behind it. The pass's own processor
// time beside it tells its work from the waits (for the disk, or for a processor on a busy
// machine).
class PassTimeWatch {
public:
    explicit PassTimeWatch(Clock::time_point start) : periodEnd_(start + kPassWatchPeriod) {}

    void startPass()
    {
        begin_ = Clock::now();
        cpuBegin_ = platform::currentThreadCpuTime();
    }

    void endPass()
    {
        const auto end = Clock::now();
        if (end - begin_ > longest_) {
            longest_ = end - begin_;
            longestCpu_ = platform::currentThreadCpuTime() - cpuBegin_;
        }
        if (end < periodEnd_)
            return;
        if (longest_ > kSlowPass)
            gf_log(fmt::format("{} Longest pass of the last minute: {:.1f} ms ({:.1f} ms of processor time)",
                               gf_utcClockNow(), lf_milliseconds(longest_), lf_milliseconds(longestCpu_)));
        longest_ = {};
        periodEnd_ = end + kPassWatchPeriod;
    }

private:
    template <typename Duration>
    static double lf_milliseconds(Duration d)
    {
        return std::chrono::duration<double, std::milli>(d).count();
    }

    Clock::time_point periodEnd_;
    Clock::time_point begin_;
    std::chrono::nanoseconds cpuBegin_{};
    Clock::duration longest_{};
    std::chrono::nanoseconds longestCpu_{};
};

int notRunningCountdown = 100;

bool lf_exitRequested()
{
    return exitingFlag.load() || quitFlag.load();
}

// The periodic jobs log what they catch with their own name and pass it on to the main loop.
template <typename Job>
void lf_runJob(const char* name, Job job)
{
    try {
        job();
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", name, e.what()));
        throw;
    }
}

UserRangeSituation lf_userSituation()
{
    return {userOnGround.load(), userAc.altitude, {userAc.latitude, userAc.longitude}};
}

void lf_flushStaticRequest()
{
    if (!flushStaticRequestFlag.exchange(false))
        return;
    gf_removeAllStatics();
    if (!INITIAL_LOAD_ONLY.value.load()) {
        INITIAL_LOAD_ONLY.value = true; // in memory only
        gf_setCheckMark(INITIAL_LOAD_ONLY, true);
    }
}

// The first step of a requested recalculation collects the callsigns of the traffic for 15 ticks;
// the second adjusts the parking.
void lf_parkingRequest()
{
    if (!parkingRequestFlag.load())
        return;
    if (!parkingCollectingFlag.load()) {
        parkingCollectingFlag = true;
        gf_disableParkingControls();
        trafficReader.startCallsignCollection();
        return;
    }
    parkingCollectingFlag = false;
    gf_withdrawError();
    if (!gf_parkAirport().code.empty() && !standTable.empty())
        gf_parkingAdjustments();
    parkingRequestFlag = false;
}

void lf_everyMinuteJobs(std::uint32_t n)
{
    g_mainWindow.renewalCountdown = 20 - ((n / 60) % 20);
    gf_invalidateStatusArea();
    if (n % 1200 != 0)
        return;
    gf_logNoMatchList();
    if (staticParkingActive.load() && !INITIAL_LOAD_ONLY.value.load() && !parkingRequestFlag.load())
        parkingRequestFlag = true;
    if (n % 86400 != 0)
        return;
    tickCounter = 0;
    gf_logMatchingSummary();
    liveryByHexId.clear();
}

// The live aircraft in the simulator that are not parked, and the parked live and static aircraft.
void lf_updateParkedCounts()
{
    const auto moving = static_cast<std::uint64_t>(std::count_if(liveAcTable.begin(), liveAcTable.end(), [](const LiveAc& ac) {
        return ac.state == AcState::InSim && ac.phase != AcPhase::Parked;
    }));
    if (g_mainWindow.liveCount.exchange(moving) != moving)
        gf_invalidateStatusArea();
    const std::uint64_t parkedLive = gf_updateLiveParkTime(true);
    const std::uint64_t parkedStatic = gf_updateStaticParkTime(true);
    if (parkedLive != g_mainWindow.parkedLiveCount.load() || parkedStatic != g_mainWindow.parkedStaticCount.load()) {
        g_mainWindow.parkedLiveCount = parkedLive;
        g_mainWindow.parkedStaticCount = parkedStatic;
        gf_invalidateParkingBand();
    }
}

// One freshly spawned aircraft a tick: its coupled callsigns, and the static aircraft it replaces.
void lf_checkOneSpawnedAc()
{
    if (spawnCheckList.empty())
        return;
    const std::uint32_t key = spawnCheckList.front();
    spawnCheckList.pop_front();
    if (LiveAc* ac = gf_findLiveAc(key))
        gf_checkSpawnedLiveAc(*ac);
}

void lf_keepClearOfUser()
{
    if (userOnGround.load()) {
        if (COLLISION_USER_GND.value.load())
            gf_clearUserAcSurroundings();
        return;
    }
    if (!COLLISION_USER_AIR.value.load())
        return;
    for (LiveAc& ac : liveAcTable)
        if (gf_isInUsersWay(ac))
            return;
}

// Live aircraft moving on the ground keep clear of the parked static aircraft: each is tested
// again once it has moved.
void lf_keepLiveClearOfStatics()
{
    if (!COLLISION_LIVE_PARKED_GND.value.load() || staticAcTable.empty() || liveAcTable.empty())
        return;
    const StaticsByLatitude statics;
    for (LiveAc& ac : liveAcTable) {
        const bool moving = ac.phase == AcPhase::Taxi || ac.phase == AcPhase::ToStand;
        if (ac.groundMode == 0 || !moving || ac.state != AcState::InSim || ac.rollingOut != 0 || ac.takeoffRun != 0)
            continue;
        if (ac.pose.latitude == ac.collisionTestLat && ac.pose.longitude == ac.collisionTestLon)
            continue;
        ac.collisionTestLat = ac.pose.latitude;
        ac.collisionTestLon = ac.pose.longitude;
        gf_collisionAvoidanceStatic(ac, statics);
    }
}

void lf_blockRequest()
{
    if (!blockRequestFlag.load())
        return;
    if (const std::string callsign = BLOCK_CALLSIGN.getValue(); !callsign.empty()) {
        const auto it = std::find_if(liveAcTable.begin(), liveAcTable.end(), [&callsign](const LiveAc& ac) {
            return ac.desc.callsign == callsign && ac.state == AcState::InSim;
        });
        if (it != liveAcTable.end())
            gf_removeAc(*it);
    }
    blockRequestFlag = false;
}

void lf_removeStaticTwins()
{
    if (staticAcTable.empty())
        return;
    for (const LiveAc& ac : liveAcTable)
        gf_removeStaticTwin(ac);
}

} // namespace

void mainLoop()
{
    // The 10 ms passes sleep to the millisecond.
    const platform::FineTimerPeriod finePeriod;
    try {
        gf_checkForParkAirportUpdates(true);
        gf_updateReaderIndicators();
        tickCounter = 0;
        gf_reserveAcTables();
        auto deadline = Clock::now() + kPass;
        currentDaySlot = gf_dayAndHalfHour();
        gf_setAcceptTraffic(true);
        PassTimeWatch passTimes(Clock::now());
        for (;;) {
            passTimes.startPass();
            const bool goOn = lf_workOrva();
            passTimes.endPass();
            if (!goOn)
                break;
            // Whole milliseconds left, truncated: less than one and the pass runs at once.
            if (std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count() > 0)
                std::this_thread::sleep_until(deadline);
            // A tick that this pass did not take aligns the grid to the simulator's second.
            if (tickFlag.load())
                deadline = Clock::now();
            deadline += kPass;
        }
    } catch (...) {
        gf_reportCurrentException("mainLoop");
    }
}

bool lf_workOrva()
{
    if (!simRunningFlag.load()) {
        lf_workSimNotRunning();
        return !lf_exitRequested();
    }
    try {
        gf_updateAI();
        gf_applyUserAcUpdates();
        bool pending = true;
        if (!tickFlag.compare_exchange_strong(pending, false))
            return !lf_exitRequested();
        lf_everySecond();
        if (lf_exitRequested())
            return false;
        const std::uint32_t n = tickCounter.load();
        if (n % 15 == 0) {
            lf_every5Seconds();
            return true;
        }
        if (n % 16 == 0 && !parkingCollectingFlag.load())
            gf_checkForParkAirportUpdates(false);
        if (n % 59 == 0)
            gf_updateReaderIndicators();
        if (n % 61 == 0)
            lf_removeStaticTwins();
        return true;
    } catch (const std::bad_alloc& e) {
        gf_log(fmt::format("{}: {}", "lf_workOrva", e.what()));
        throw;
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "lf_workOrva", e.what()));
        throw;
    }
}

void lf_workSimNotRunning()
{
    lf_runJob("lf_workSimNotRunning", [] {
        if (!flightNotRunningFlag.load()) {
            gf_setAcceptTraffic(false);
            flightNotRunningFlag = true;
            notRunningCountdown = 100;
            gf_clearPositionBuffers();
            gf_log(fmt::format("{} Flight not running", gf_utcClockNow()));
        }
        gf_SimCommands();
        gf_applyUserAcUpdates();
        if (--notRunningCountdown > 0)
            return;
        lf_handleReReadRequest();
        lf_handleWindowRequests();
        gf_sendOwnPosition();
        notRunningCountdown = 100;
        lf_updateParkedCounts();
        currentDaySlot = gf_dayAndHalfHour();
    });
}

void lf_everySecond()
{
    if (flightNotRunningFlag.exchange(false)) {
        gf_log(fmt::format("{} Flight resumed", gf_utcClockNow()));
        gf_setAcceptTraffic(true);
    }
    gf_shellTick();
    lf_updateParkedCounts();
    currentDaySlot = gf_dayAndHalfHour();
    ++tickCounter;
    lf_checkOneSpawnedAc();
    lf_flushStaticRequest();
    lf_keepClearOfUser();
    lf_keepLiveClearOfStatics();
    lf_blockRequest();
    lf_handleWindowRequests();
}

void lf_every5Seconds()
{
    lf_runJob("lf_every5Seconds", [] {
        trafficReader.setReferencePosition({userAc.latitude, userAc.longitude});
        if (g_professionalEdition.load())
            lf_sendQs123(gf_simUnixTime());
        if (!reservedStand.empty())
            gf_clearReservedStand();
        lf_handleReReadRequest();
        lf_every15Seconds();
    });
}

void lf_every15Seconds()
{
    lf_runJob("lf_every15Seconds", [] {
        lf_parkingRequest();
        const TrafficStatus status = gf_trafficStatus();
        if (status.trafficIndicator == kIndicatorNoData || status.qnhIndicator == kIndicatorNoData)
            gf_updateReaderIndicators();
        if (tickCounter.load() % 30 == 0)
            lf_every30Seconds();
    });
}

void lf_every30Seconds()
{
    lf_runJob("lf_every30Seconds", [] {
        if (matchingDepthChangedFlag.exchange(false))
            gf_clearNoMatchList();
        if (AUTO_RANGE.value.load())
            gf_chooseTrafficRange(lf_userSituation());
        if (readerErrorFlag.load()) {
            gf_reportError("1001: RT error");
            gf_requestExit(ExitReason::SystemError, 0);
        }
        const std::uint32_t n = tickCounter.load();
        if (n % 60 == 0)
            lf_everyMinuteJobs(n);
    });
}

void lf_handleReReadRequest()
{
    if (!rereadRequestFlag.load() || parkingBusyFlag.load())
        return;
    std::string message;
    if (gf_checkReservedStand(true, message))
        gf_reportMessage(message, true);
    gf_enableControl(g_rereadButton);
    gf_enableControl(DESTINATION);
    rereadRequestFlag = false;
}

void lf_handleWindowRequests()
{
    if (maxLiveRequestFlag.exchange(false))
        gf_applyMaxLive();
    if (navLightsRequestFlag.exchange(false))
        gf_applyNavLightsWhileParked();
    if (trafficRangeRequestFlag.exchange(false) && AUTO_RANGE.value.load())
        gf_chooseTrafficRange(lf_userSituation());
    lf_applyDestinationRequest();
}

void lf_applyDestinationRequest()
{
    if (const std::optional<DestinationRequest> destination = gf_takeDestinationRequest())
        gf_setDestinationParkAirport(destination->code, destination->position);
}
