// The SimConnect thread: open, set-up, the dispatch loop and the close.

#include "simlink/sim_client.h"

#include "core/clock.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "params/simulator_version.h"
#include "platform/sync_event.h"
#include "platform/thread_cpu_time.h"
#include "platform/timer_period.h"
#include "simconnect/simconnect.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_internal.h"
#include "simlink/sim_queues.h"
#include "simlink/user_stand_services.h"

#include <atomic>
#include <fmt/format.h>
#include <mutex>
#include <thread>

using namespace qmx;

namespace {

constexpr const char* kProgramName = "Orvanta_P3D";
constexpr auto kOpenRetry = std::chrono::seconds(1);
// Longest wait between two dispatches when no message arrives.
constexpr auto kDispatchWait = std::chrono::milliseconds(100);

// Set by the client whenever a message arrives or the connection fails, and by a stop request.
// Process-wide, so that it outlives every connection that was given it.
platform::SyncEvent messageArrived;

// The thread is a plain std::thread stopped by a flag and the event it waits on: the C++20 stop
// token's callbacks and waits rest on a semaphore which MinGW's library can leave waiting for a
// release it missed, which hung the exit in the join.
std::mutex threadObjectMutex;
std::thread simClientThreadObject;
std::atomic<bool> stopRequested{false};

struct Datum {
    const char* name;
    const char* units; // null: none
    SIMCONNECT_DATATYPE type;
};

struct Definition {
    std::uint32_t id;
    std::initializer_list<Datum> datums;
};

constexpr auto kF64 = SIMCONNECT_DATATYPE_FLOAT64;
constexpr auto kI64 = SIMCONNECT_DATATYPE_INT64;

// In the order in which they are made.
const std::initializer_list<Definition> kDefinitions{
    {simid::kDefUserTitle, {{"TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV}}},
    {simid::kDefUserModel, {{"ATC MODEL", nullptr, SIMCONNECT_DATATYPE_STRING32}}},
    {simid::kDefUserOnGround, {{"SIM ON GROUND", "Bool", kI64}}},
    {simid::kDefAiPosition,
     {{"Plane Latitude", "degree", kF64},
      {"Plane Longitude", "degree", kF64},
      {"Plane Pitch degrees", "radians", kF64},
      {"Plane Bank degrees", "radians", kF64},
      {"Plane Heading degrees true", "radians", kF64},
      {"Plane Altitude", "feet", kF64},
      {"Vertical Speed", "feet per second", kF64},
      {"Airspeed True", "knots", kF64}}},
    {simid::kDefUserAc,
     {{"Plane Latitude", "degree", kF64},
      {"Plane Longitude", "degree", kF64},
      {"Plane Pitch degrees", "radians", kF64},
      {"Plane Bank degrees", "radians", kF64},
      {"Plane Heading degrees true", "radians", kF64},
      {"Plane Altitude", "feet", kF64},
      {"Plane Alt Above Ground", "feet", kF64},
      {"Ground Velocity", "knots", kF64},
      {"ZULU TIME", "Seconds", kI64},
      {"ZULU DAY OF YEAR", "Number", kI64},
      {"ZULU YEAR", "Number", kI64},
      {"LIGHT STATES", "Mask", kI64}}},
    {simid::kDefStaticCg, {{"Static CG to Ground", "feet", kF64}, {"Static Pitch", "radians", kF64}}},
    {simid::kDefLightOnStates, {{"Light On States", "Mask", kI64}}},
    {simid::kDefAcInRange,
     {{"Plane Alt Above Ground", "feet", kF64},
      {"Ground Altitude", "feet", kF64},
      {"SIM ON GROUND", "Bool", kI64},
      {"ATC ID", nullptr, SIMCONNECT_DATATYPE_STRING32}}},
};

const Definition kThrottleDefinition{simid::kDefThrottleSpoilers,
                                     {{"SPOILERS HANDLE POSITION", "percent", kF64},
                                      {"GENERAL ENG THROTTLE LEVER POSITION:1", "percent", kF64},
                                      {"GENERAL ENG THROTTLE LEVER POSITION:2", "percent", kF64}}};

// A client or system event and the simulator's name for it.
struct NamedEvent {
    std::uint32_t id;
    const char* name;
};

// In the order in which they are mapped.
constexpr NamedEvent kClientEvents[] = {
    {simid::kGearSet, "GEAR_SET"},
    {simid::kEngineAutoStart, "ENGINE_AUTO_START"},
    {simid::kEngineAutoShutdown, "ENGINE_AUTO_SHUTDOWN"},
    {simid::kThrottleSet, "THROTTLE_SET"},
    {simid::kFlapsSet, "FLAPS_SET"},
    {simid::kSpoilersSet, "SPOILERS_SET"},
    {simid::kNavLightsSet, "NAV_LIGHTS_SET"},
    {simid::kBeaconLightsSet, "BEACON_LIGHTS_SET"},
    {simid::kLandingLightsSet, "LANDING_LIGHTS_SET"},
    {simid::kTaxiLightsSet, "TAXI_LIGHTS_SET"},
    {simid::kStrobesSet, "STROBES_SET"},
    {simid::kLogoLightsSet, "LOGO_LIGHTS_SET"},
    {simid::kCabinLightsSet, "CABIN_LIGHTS_SET"},
    {simid::kAllLightsToggle, "ALL_LIGHTS_TOGGLE"},
    {simid::kFreezeLatitudeLongitudeSet, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {simid::kFreezeAltitudeSet, "FREEZE_ALTITUDE_SET"},
    {simid::kFreezeAttitudeSet, "FREEZE_ATTITUDE_SET"},
};

// ENGINE_AUTO_START stays out of the group.
constexpr std::uint32_t kGroupEvents[] = {
    simid::kNavLightsSet, simid::kBeaconLightsSet, simid::kLandingLightsSet, simid::kTaxiLightsSet,
    simid::kStrobesSet,   simid::kLogoLightsSet,   simid::kCabinLightsSet,   simid::kAllLightsToggle,
    simid::kFlapsSet,     simid::kSpoilersSet,     simid::kGearSet,          simid::kEngineAutoShutdown,
    simid::kThrottleSet,  simid::kFreezeLatitudeLongitudeSet, simid::kFreezeAltitudeSet,
    simid::kFreezeAttitudeSet,
};

constexpr NamedEvent kSystemEvents[] = {
    {simid::kEventSim, "Sim"},
    {simid::kEventObjectAdded, "ObjectAdded"},
    {simid::kEventObjectRemoved, "ObjectRemoved"},
    {simid::kEventPositionChanged, "PositionChanged"},
    {simid::kEventFlightLoaded, "FlightLoaded"},
    {simid::kEventFrame, "Frame"},
};

constexpr std::uint32_t kClearedDefinitions[] = {
    simid::kDefUserTitle, simid::kDefUserModel, simid::kDefUserOnGround, simid::kDefAiPosition, simid::kDefUserAc,
    simid::kDefThrottleSpoilers, simid::kDefAcInRange, simid::kDefStaticCg, simid::kDefLightOnStates,
};

void lf_addDefinition(HANDLE handle, const Definition& definition)
{
    for (const Datum& datum : definition.datums)
        SimConnect_AddToDataDefinition(handle, definition.id, datum.name, datum.units, datum.type, 0.0f,
                                       SIMCONNECT_UNUSED);
}

// The registrations; their results are not examined (a refused one comes back as an exception).
void lf_initSimConnect(HANDLE handle)
{
    for (const NamedEvent& event : kSystemEvents)
        SimConnect_SubscribeToSystemEvent(handle, event.id, event.name);
    for (const Definition& definition : kDefinitions)
        lf_addDefinition(handle, definition);
    for (const NamedEvent& event : kClientEvents)
        SimConnect_MapClientEventToSimEvent(handle, event.id, event.name);
    lf_addDefinition(handle, kThrottleDefinition);
    for (const std::uint32_t event : kGroupEvents)
        SimConnect_AddClientEventToNotificationGroup(handle, simid::kGroup, event, true);
    SimConnect_SetNotificationGroupPriority(handle, simid::kGroup, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

// Unregisters and closes the connection, if one is open. Every end of the thread comes here, so
// that no connection is left behind to pile up the simulator's messages.
void lf_releaseSimConnect()
{
    const HANDLE handle = gf_simConnectHandle();
    if (handle == nullptr)
        return;
    // A connection that failed says why in the log, before the handle and its status are gone.
    if (const std::string failure = gf_scFailureText(handle); !failure.empty())
        gf_logWarning("SimConnect connection ended: " + failure);
    lf_endSimulatorLines();
    // Without a connection no flight runs, however the connection ended.
    simRunningFlag = false;
    lf_changeStatus([](SimLinkStatus& s) {
        s.simConnected = false;
        s.simRunningDisplay = false;
    });
    for (const std::uint32_t definition : kClearedDefinitions)
        SimConnect_ClearDataDefinition(handle, definition);
    for (const NamedEvent& event : kSystemEvents)
        SimConnect_UnsubscribeFromSystemEvent(handle, event.id);
    {
        // No work-thread call may use the handle once it is closed.
        std::lock_guard lock(simConnectMutex);
        lf_setSimConnectHandle(nullptr);
    }
    if (FAILED(SimConnect_Close(handle)))
        gf_logWarning("SimConnect close failed!");
}

// The simulator went away (or the thread failed): close, and end the program unless an exit
// runs already.
void lf_closeSimConnect()
{
    lf_releaseSimConnect();
    if (!exitingFlag) {
        gf_log(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_utcClockNow(), kProgramName));
        gf_askForExit(ExitReason::SimWasClosed, 0);
    }
}

bool lf_mustEnd()
{
    return exitingFlag || quitFlag || stopRequested;
}

// Sleeps up to `pause`; false when a stop was requested meanwhile. A stop sets the flag before
// the event, and the event stays set until a wait takes it, so no stop is missed.
bool lf_pause(std::chrono::milliseconds pause)
{
    const auto deadline = std::chrono::steady_clock::now() + pause;
    while (!stopRequested) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero())
            return true;
        messageArrived.waitFor(left);
    }
    return false;
}

// Dispatches until a stop is requested (true) or the simulator is gone (false). The thread
// sleeps until a message arrives rather than polling: every message, a frame above all, is
// handled as soon as it is there, and an idle connection costs no CPU.
bool lf_dispatchLoop(HANDLE handle)
{
    const platform::FineTimerPeriod finePeriod; // the waits for a message end to the millisecond
    while (!stopRequested) {
        const HRESULT result = SimConnect_CallDispatch(handle, lf_dispatchProc, nullptr);
        lf_noteDroppedMessages(handle);
        // A QUIT, or a connection that broke without one, ends the simulator's side for good.
        if (simulatorQuit || FAILED(result))
            return false;
        messageArrived.waitFor(kDispatchWait);
    }
    return true;
}

// Open, set up, dispatch. Returns when the thread is to end; throws what the handlers throw.
void lf_connectAndDispatch()
{
    bool firstPass = true;
    while (!lf_mustEnd()) {
        if (firstPass) {
            firstPass = false;
            gf_reportMessage("Waiting for Prepar3Dv" + gf_p3dVersionFromPath() + " ...", true);
        }
        HANDLE handle = nullptr;
        messageArrived.reset();
        if (FAILED(SimConnect_Open(&handle, kProgramName, nullptr, 0, &messageArrived, 0))) {
            lf_pause(kOpenRetry);
            continue;
        }
        lf_setSimConnectHandle(handle);
        lf_initSimConnect(handle);
        if (lf_dispatchLoop(handle))
            lf_releaseSimConnect();
        else
            lf_closeSimConnect();
        return;
    }
}

// The flag first, then the event: the thread reads the flag after each wake.
void lf_requestStop()
{
    stopRequested = true;
    messageArrived.set();
}

} // namespace

void gf_simClientThread()
{
    // A connection left open by an earlier thread is closed before the next one opens.
    lf_releaseSimConnect();
    simulatorQuit = false;
    try {
        lf_connectAndDispatch();
    } catch (const UserErrorException& e) {
        gf_reportError(e.what());
        lf_releaseSimConnect();
    } catch (const std::exception& e) {
        gf_reportError(e.what());
        lf_closeSimConnect();
    } catch (...) {
        gf_reportError(fmt::format("Exception in {}", "SimClient"));
        lf_closeSimConnect();
    }
    recordUserParkAirportPending = true;
}

void gf_startSimClientThread()
{
    std::lock_guard lock(threadObjectMutex);
    if (simClientThreadObject.joinable()) {
        lf_requestStop();
        simClientThreadObject.join();
    }
    stopRequested = false;
    simClientThreadObject = std::thread(gf_simClientThread);
}

void gf_requestSimClientStop()
{
    std::lock_guard lock(threadObjectMutex);
    if (simClientThreadObject.joinable())
        lf_requestStop();
}

bool gf_joinSimClientThread()
{
    std::lock_guard lock(threadObjectMutex);
    if (simClientThreadObject.joinable())
        simClientThreadObject.join();
    return true;
}

bool gf_simClientThreadRunning()
{
    std::lock_guard lock(threadObjectMutex);
    return simClientThreadObject.joinable();
}

std::chrono::nanoseconds gf_simClientThreadCpuTime()
{
    std::lock_guard lock(threadObjectMutex);
    if (!simClientThreadObject.joinable())
        return {};
    return platform::threadCpuTime(simClientThreadObject.native_handle());
}

void gf_resetSimLinkState()
{
    gf_requestSimClientStop();
    gf_joinSimClientThread();
    lf_releaseSimConnect();
    pendingCreations.clear();
    unansweredCreations = 0;
    addedObjects.clear();
    lf_clearOutboundQueues();
    simConnectFailed = false;
    simRunningFlag = false;
    tickFlag = false;
    userPositionValid = false;
    userOnGround = false;
    userAcDataValid = false;
    userObjectId = kInitialUserObjectId;
    userAcTitle = std::string();
    userAcModel = std::string();
    userHalfWingspanValid = false;
    expectedSimVersion = P3D_VERSION.value.load();
    lf_storeLiveUserAc({});
    userAc = {};
    userAcStand.clear();
    userStandCheckPending = false;
    recordUserParkAirportPending = false;
    lf_resetDispatchState();
    lf_changeStatus([](SimLinkStatus& s) { s = {}; });
}

// ---- Work the work thread does for the SimConnect thread ----

namespace {

void lf_updateUserStand()
{
    const UserAcData live = gf_liveUserAcData();
    const std::string stand = gf_getStandAtPosition({live.latitude, live.longitude});
    if (!stand.empty() && stand != userAcStand)
        lf_changeStatus([&](SimLinkStatus& s) { s.userStandText = stand; });
    else if (stand.empty() && !userAcStand.empty())
        lf_changeStatus([](SimLinkStatus& s) { s.userStandText.clear(); });
    userAcStand = stand;
}

} // namespace

void gf_applyUserAcUpdates()
{
    if (userStandCheckPending.exchange(false))
        lf_updateUserStand();
    if (recordUserParkAirportPending.exchange(false))
        gf_recordUserParkAirport();
}

void gf_recordUserParkAirport()
{
    if (!userPositionValid || userAc.groundVelocity > 2.0)
        return;
    const UserAcData live = gf_liveUserAcData();
    const std::string stand = gf_getStandAtPosition({live.latitude, live.longitude});
    if (stand.empty() || parkAirportList.empty() || parkAirportList.front().code != gf_parkAirport().code)
        return;
    if (parkAirportList.front().stand == stand)
        return;
    parkAirportList.front().stand = stand;
    gf_addMyParkAirport();
}
