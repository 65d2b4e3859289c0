#include "run/exit.h"

#include "airports/airport_services.h"
#include "airports/park_airport_choice.h"
#include "airports/stand.h"
#include "core/clock.h"
#include "core/download.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "engine/live_removal.h"
#include "engine/update_pass.h"
#include "liveries/livery_services.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "params/window_fields.h"
#include "run/run_flags.h"
#include "run/startup.h"
#include "run/work_thread.h"
#include "simlink/flight_plans.h"
#include "simlink/sim_client.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_queues.h"
#include "simlink/user_stand_services.h"
#include "simlink/sim_state.h"
#include "traffic/rt_link.h"
#include "traffic/traffic_reader.h"
#include "traffic/traffic_status.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <fmt/format.h>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>


namespace {

// The one exit machine. Idle: no exit thread. Running: the exit thread works; requests are
// ignored. CountingDown: a restart counts down; a final exit request is kept for the thread.
enum class MachineState { Idle, Running, CountingDown };

std::mutex exitMachineMutex;
std::condition_variable exitMachineIdle;
MachineState machineState = MachineState::Idle;
std::optional<ExitReason> pendingFinalExit;
ExitTimings timings;
ExitStepObserver stepObserver;

void lf_step(std::string_view name)
{
    ExitStepObserver observer;
    {
        std::lock_guard lock(exitMachineMutex);
        observer = stepObserver;
    }
    if (observer)
        observer(name);
}

ExitTimings lf_timings()
{
    std::lock_guard lock(exitMachineMutex);
    return timings;
}

void lf_setState(MachineState state)
{
    // Notified under the lock: the detached exit thread must be out of the condition variable
    // before a waiter can see the machine idle and let the process end.
    std::lock_guard lock(exitMachineMutex);
    machineState = state;
    if (state == MachineState::Idle)
        exitMachineIdle.notify_all();
}

// The work thread's tables are its own: the exit touches them only after that thread ended. A
// work thread that does not end within the bound is logged and left behind, so that the program
// can always be closed. False when it was left behind.
bool lf_waitForWorkThread(std::chrono::milliseconds bound)
{
    const std::chrono::milliseconds first = std::min<std::chrono::milliseconds>(bound, std::chrono::seconds(5));
    if (gf_waitForWorkThreadEnd(first))
        return true;
    gf_logWarning("waiting for the work thread to end");
    if (gf_waitForWorkThreadEnd(bound - first))
        return true;
    gf_logWarning("the work thread did not end, the exit goes on without it");
    return false;
}

// Steps 1 to 12: take everything out of the simulator and stop the connections. False when the
// work thread of the run did not end.
bool lf_stopRun(ExitReason reason)
{
    const ExitTimings pause = lf_timings();
    gf_logf("Exiting: {}", gf_exitReasonName(reason));
    // A download from a slow server would hold the thread that waits for it, and with it the exit.
    gf_stopDownloads();
    if (reason == ExitReason::Restart)
        gf_reportMessage("Prepare for a restart ...", true);
    lf_step("readers");
    gf_stopReaders();
    std::this_thread::sleep_for(pause.afterReaders);
    // The work thread may wait on the link in accept or recv: it is woken before anyone waits for it.
    gf_wakeRealTrafficLink();
    const bool workThreadEnded = lf_waitForWorkThread(pause.workThreadEnd);
    // The stand-file reader belongs to the work thread's checks.
    if (workThreadEnded)
        gf_endParkFileRead();
    lf_step("aircraft");
    gf_removeAllLiveAc();
    gf_removeAllStatics();
    {
        std::lock_guard lock(simConnectMutex);
        gf_handOverAllRemovals();
    }
    std::this_thread::sleep_for(pause.afterRemovals);
    lf_step("link");
    gf_closeRealTrafficServer();
    if (reason == ExitReason::SystemError) {
        std::this_thread::sleep_for(pause.onSystemError);
    } else if (reason == ExitReason::UserClosedSim) {
        gf_logf("User closed {}", "Orvanta_P3D");
        quitFlag = true;
    }
    // A SimConnect thread busy with a backlog makes the exit look hung: what was learned is saved
    // before the wait, so that a user who kills the program loses nothing.
    lf_saveLearnedData();
    lf_step("simconnect");
    gf_requestSimClientStop();
    gf_joinSimClientThread();
    // With both threads ended, what the connection left for the work thread is applied here.
    gf_applyUserAcUpdates();
    lf_step("flight plans");
    liveryByHexId.clear();
    gf_removeFlightPlanFolder();
    return workThreadEnded;
}

void lf_finishFinalExit()
{
    lf_step("final");
    restartFlag = false;
    gf_setParameterString(DESTINATION, "");
    gf_setParameterString(BLOCK_CALLSIGN, "");
    gf_logMatchingSummary();
    gf_logNoMatchList();
}

void lf_resetRunFlags()
{
    for (std::atomic<bool>* flag : {&tickFlag, &readerErrorFlag, &quitFlag, &exitingFlag, &flightNotRunningFlag,
                                    &g_professionalEdition, &parkingRequestFlag, &parkingCollectingFlag,
                                    &blockRequestFlag, &userPositionValid, &parkingBusyFlag})
        flag->store(false);
    tickCounter = 0;
    startUpPhaseFlag = true;
    userAc = UserAcData{};
    g_stockSceneryPath.clear();
}

// lf_resetParkAndLists: the park airport and every list of the run.
void lf_resetParkAndLists()
{
    gf_setParkAirport({});
    trafficReader.setReferenceElevation(std::nullopt);
    gf_clearSimCommands();
    liveryByHexId.clear();
    parkAirportList.clear();
    standTable.clear();
    reservedStand.clear();
    gf_resetParkAirportChoice();
    g_mainWindow.reservedStandText = std::string();
    gf_resetEngineQueues();
    currentQnh = kStandardQnh;
    gf_clearNoMatchList();
}

// The state of the run back to that of a fresh start. Runs only after the work thread and the
// SimConnect thread of the run have ended.
void lf_restartReset(ExitReason reason)
{
    lf_step("reset");
    gf_allowDownloads();
    gf_withdrawError();
    gf_resetReaders();
    if (reason == ExitReason::Restart) {
        SCAN_LIVERIES.value = false;
        gf_saveBoolParameter(SCAN_LIVERIES);
        SCAN_AIRPORTS.value = false;
        gf_saveBoolParameter(SCAN_AIRPORTS);
    }
    lf_resetRunFlags();
    LATERAL_RANGE.setValue(LATERAL_RANGE.value);
    gf_mirrorLateralRange();
    expectedSimVersion = P3D_VERSION.value.load();
    gf_resetSimLinkState();
    lf_resetParkAndLists();
    gf_resetTrafficStatus();
    gf_resetShellDisplay();
    exitReason = ExitReason::NotYetSet;
}

// A restart counts down with the machine in CountingDown; a final exit asked for meanwhile is
// returned so that this thread carries it out instead of the restart.
std::optional<ExitReason> lf_countDown(std::uint32_t seconds)
{
    {
        std::lock_guard lock(exitMachineMutex);
        machineState = MachineState::CountingDown;
    }
    lf_step("countdown");
    lf_restartCountdown(seconds);
    std::lock_guard lock(exitMachineMutex);
    machineState = MachineState::Running;
    return std::exchange(pendingFinalExit, std::nullopt);
}

// The window's message is the exit thread's last work: the machine is idle only after it, so
// that whoever waits for the exit finds it done. The next run's requests come only after the
// window took the message up.
void lf_finish(AppMessage message)
{
    exitingFlag = false;
    gf_postAppMessage(message);
    lf_setState(MachineState::Idle);
}

void FinalExit(ExitReason reason, std::uint32_t countdownSeconds)
{
    try {
        for (;;) {
            const bool workThreadEnded = lf_stopRun(reason);
            // A restart would start a second work thread beside the one left behind.
            if (gf_isRestart(reason) && !workThreadEnded)
                gf_reportMessage("The work thread did not end: Orvanta_P3D closes instead of restarting", true);
            if (!gf_isRestart(reason) || !workThreadEnded) {
                lf_finishFinalExit();
                if (!gf_parkAirport().code.empty())
                    gf_removeStaticParked();
                break;
            }
            restartFlag = true;
            if (!gf_parkAirport().code.empty())
                gf_removeStaticParked();
            lf_restartReset(reason);
            const std::optional<ExitReason> finalExit = lf_countDown(countdownSeconds);
            if (!finalExit) {
                lf_finish(AppMessage::StartUp);
                return;
            }
            reason = *finalExit;
            exitReason = reason;
        }
    } catch (...) {
        gf_reportCurrentException("FinalExit");
        restartFlag = false;
    }
    // A final exit always ends the program, also after an exception on the way: the user's park
    // airports are written before it ends, and no thread of the run outlives it.
    gf_endFlightPlanWorker();
    gf_finishMyParkAirportWrites();
    lf_finish(AppMessage::FinalExit);
}

} // namespace

std::string_view gf_exitReasonName(ExitReason reason)
{
    static constexpr std::array<std::string_view, 6> names{
        "NOT_YET_SET", "SIM WAS CLOSED", "RESTART", "RESTART_IPP", "USER CLOSED SIM", "SYSTEM ERROR"};
    const auto index = static_cast<std::size_t>(reason);
    return index < names.size() ? names[index] : "?";
}

void gf_requestExit(ExitReason reason, std::uint32_t countdownSeconds)
{
    std::lock_guard lock(exitMachineMutex);
    if (machineState == MachineState::CountingDown) {
        if (!gf_isRestart(reason) && !pendingFinalExit) {
            pendingFinalExit = reason;
            exitingFlag = true; // ends the countdown
        }
        return;
    }
    if (machineState == MachineState::Running || exitingFlag.exchange(true))
        return;
    machineState = MachineState::Running;
    exitReason = reason;
    try {
        std::thread(FinalExit, reason, countdownSeconds).detach();
    } catch (...) {
        machineState = MachineState::Idle;
        exitingFlag = false;
        throw;
    }
}

void lf_restartCountdown(std::uint32_t seconds)
{
    if (seconds == 0)
        return;
    gf_logf("Restarting after {} seconds\n\n\n\n\n", seconds);
    const auto step = lf_timings().countdownStep;
    for (std::uint32_t i = 0; i < seconds; ++i) {
        if (exitingFlag || quitFlag)
            break;
        const std::uint32_t left = seconds - i;
        gf_reportMessage(fmt::format("Restarting after {} second{}", left, left == 1 ? "" : "s"), false);
        std::this_thread::sleep_for(step);
    }
}

void gf_setExitStepObserver(ExitStepObserver observer)
{
    std::lock_guard lock(exitMachineMutex);
    stepObserver = std::move(observer);
}

void gf_setExitTimings(const ExitTimings& newTimings)
{
    std::lock_guard lock(exitMachineMutex);
    timings = newTimings;
}

bool gf_waitForExitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(exitMachineMutex);
    return exitMachineIdle.wait_for(lock, timeout, [] { return machineState == MachineState::Idle; });
}
