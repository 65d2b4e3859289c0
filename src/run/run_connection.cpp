#include "run/run_connection.h"

#include "core/clock.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"
#include "params/window_fields.h"
#include "run/exit.h"
#include "run/main_loop.h"
#include "run/run_flags.h"
#include "simlink/sim_client.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "traffic/own_position.h"
#include "traffic/rt_link.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"
#include "traffic/traffic_status.h"

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {

bool lf_exitRequested()
{
    return exitingFlag.load() || quitFlag.load();
}

// Sleeps in steps, and wakes early when an exit is requested; true when one was.
bool lf_sleepUnlessExit(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        if (lf_exitRequested())
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(100ms, end - std::chrono::steady_clock::now()));
    }
    return lf_exitRequested();
}

// Waits until the user aircraft's position is known; false on an exit request.
bool lf_waitForUserPosition(std::chrono::milliseconds poll, bool needValidFlag)
{
    for (;;) {
        userAc = gf_getUserAcPosition();
        const bool known = (!needValidFlag || userPositionValid.load()) && !gf_inNotYetKnownBox(userAc.latitude, userAc.longitude);
        if (known)
            return true;
        if (lf_sleepUnlessExit(poll))
            return false;
    }
}

// The engine's tables reserve their room when they are made; the livery matching reserves its
// own once per process.
void lf_reserveGlobalLists()
{
    gf_reserveMatchingTables();
    gf_resetSimQueues(P3D_VERSION.value.load());
}

} // namespace

void lf_startReaders(std::uint16_t qnhPort, std::uint16_t trafficPort)
{
    gf_setAcceptTraffic(false);
    std::thread(gf_weatherReaderThread, qnhPort).detach();
    // The QNH is in before the first traffic line; an exit in the pause starts no reader.
    if (lf_sleepUnlessExit(2s))
        return;
    std::thread(gf_trafficReaderThread, trafficPort).detach();
}

namespace {

void lf_waitForFirstTraffic()
{
    for (int i = 0; i < 150 && static_cast<std::int64_t>(trafficReader.lastTimeStamp()) == 0; ++i) {
        if (lf_sleepUnlessExit(100ms))
            return;
    }
    if (static_cast<std::int64_t>(trafficReader.lastTimeStamp()) == 0)
        gf_log("No traffic in this region?");
}

void lf_connectedRun()
{
    gf_setRtReady(false);
    lf_reserveGlobalLists();
    gf_startSimClientThread();
    if (!lf_requestUserAcData())
        return;
    if (rtClientLocal.load() && !AEROWINX.value.load())
        gf_startRealTrafficServer(PORT_NUMBER.getValue());
    else
        gf_setRtReady(true);
    if (lf_exitRequested())
        return;
    g_mainWindow.rtPendingFlag = false;
    gf_invalidateStatusArea();
    if (AEROWINX.value.load()) {
        g_professionalEdition = false;
    } else {
        lf_connectRealTraffic();
        if (g_professionalEdition.load())
            lf_sendQs123(gf_simUnixTime());
    }
    startUpPhaseFlag = false;
    if (lf_exitRequested())
        return;
    lf_startReaders();
    if (lf_exitRequested())
        return;
    gf_sendOwnPosition();
    trafficReader.setReferencePosition({userAc.latitude, userAc.longitude});
    if (readerErrorFlag.load()) {
        gf_reportError("Reader error");
        gf_requestExit(ExitReason::SystemError, 0);
    }
    lf_waitForFirstTraffic();
    currentDaySlot = gf_dayAndHalfHour();
    mainLoop();
}

} // namespace

bool lf_requestUserAcData()
{
    while (!simRunningFlag.load()) {
        if (lf_sleepUnlessExit(100ms))
            return false;
    }
    if (lf_exitRequested())
        return false;
    gf_requestUserOnGround();
    if (!lf_waitForUserPosition(500ms, true))
        return false;
    gf_requestUserAcTitleAndModel();
    if (!lf_waitForUserPosition(200ms, false))
        return false;
    return !lf_exitRequested();
}

void lf_runConnection()
{
    try {
        lf_connectedRun();
    } catch (const std::exception& e) {
        gf_reportMessage(e.what(), true);
        if (rtConnected.load()) {
            gf_closeRealTrafficServer();
            gf_setRtReady(false);
        }
        gf_requestExit(ExitReason::SystemError, 0);
    }
}
