#include "run/startup.h"

#include "airports/airport_services.h"
#include "airports/traffic_range.h"
#include "core/clock.h"
#include "core/exceptions.h"
#include "core/files.h"
#include "core/log.h"
#include "core/scan_throttle.h"
#include "core/shell_port.h"
#include "core/windows_glue.h"
#include "liveries/livery_services.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "params/window_fields.h"
#include "run/exit.h"
#include "run/main_loop.h"
#include "run/program_update.h"
#include "run/run_connection.h"
#include "run/run_flags.h"
#include "run/simulator_detection.h"
#include "run/work_thread.h"
#include "simlink/flight_plans.h"
#include "simlink/sim_state.h"
#include "traffic/traffic_reader.h"

#include <atomic>
#include <filesystem>
#include <fmt/format.h>
#include <optional>
#include <system_error>

std::thread startUpThread;

namespace {

namespace fs = std::filesystem;

void lf_checkWorkingFolder()
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(g_docsFolder, error);
    if (error && error != std::errc::no_such_file_or_directory)
        throw std::filesystem::filesystem_error("status", g_docsFolder, error);
    if (!std::filesystem::is_directory(status))
        throw qmx::UserErrorException(41, gf_formatWithProductName("{} must be run from the {} folder!"));
}

void lf_enableIf(const ParameterControl& control, bool enable)
{
    if (enable)
        gf_enableControl(control);
    else
        gf_disableControl(control);
}

void lf_enableFirstGroup()
{
    gf_enableControl(CUSTOM_MAX_PARK);
    parking_percentage.value.store(30);
    gf_updateTextBoxFormatted(parking_percentage);
    gf_enableControl(AUTO_RANGE);
    // The manual radius and the auto-range height are each usable in one mode only.
    const bool autoRange = AUTO_RANGE.value.load();
    lf_enableIf(LATERAL_RANGE, !autoRange);
    lf_enableIf(AUTO_RANGE_ABOVE_HEIGHT, autoRange);
    const ParameterControl* const enabled[] = {&COLLISION_USER_AIR, &COLLISION_LIVE_PARKED_GND, &GUID_CHANGES};
    for (const ParameterControl* control : enabled)
        gf_enableControl(*control);
    gf_disableControl(LEARN_SOFT);
    gf_enableControl(BLOCK_CALLSIGN);
    gf_enableControl(MAX_LIVE);
    lf_enableIf(g_unblockButton, !BLOCK_CALLSIGN.value.empty());
}

void lf_enableSecondGroup()
{
    gf_enableControl(LIG_PRIORITIZE);
    gf_disableControl(parking_percentage);
    gf_setControlText(parking_percentage, {});
    MAX_FIT_FL.value.store(MAX_FIT_FL.clamp(static_cast<float>(MAX_FIT.value.load()) * 0.5f + 0.5f));
    gf_disableControl(MAX_FIT_FL);
    gf_setControlText(MAX_FIT_FL, {});
    const ParameterControl* const enabled[] = {&SCAN_LIVERIES,  &LIG_AUTOMATIC,     &SCAN_AIRPORTS,  &AFG_AUTOMATIC,
                                               &LIGHT_AIRCRAFT, &HELICOPTERS,       &HIGH_PERF_AIRCRAFT};
    for (const ParameterControl* control : enabled)
        gf_enableControl(*control);
    gf_disableControl(DESTINATION);
    gf_enableControl(AIRPORT_RANGE);
    gf_enableControl(AIRPORT_HEIGHT);
    manualLateralRange.store(LATERAL_RANGE.value.load());
    const ParameterControl* const parking[] = {&INITIAL_LOAD_ONLY, &PARK_SOFT, &STRAIGHT_PBS_ONLY, &PARK_FAKE, &WEEK};
    for (const ParameterControl* control : parking)
        gf_enableControl(*control);
    gf_disableControl(g_flushStaticButton);
    const ParameterControl* const last[] = {&NAV_LIGHTS_WHILE_PARKED, &MATCHING_DEPTH, &COLLISION_USER_GND};
    for (const ParameterControl* control : last)
        gf_enableControl(*control);
}

// The working folders that are missing, in this order.
void lf_createAirportsFolder()
{
    const fs::path folders[] = {g_outputFolder,    g_outputInfoFolder,        g_outputErrorsFolder,
                                g_airportsFolder,  g_learnedFolder,           g_learnedStockFolder,
                                g_learnedSimaddonFolder, g_learnedThirdpartyFolder, g_myOrbxFolder,
                                g_myThirdpartyFolder, g_myRegcodesFolder};
    for (const fs::path& folder : folders) {
        if (!fs::exists(folder))
            fs::create_directories(folder);
    }
}

// The RealTraffic client runs on this PC when its program lies in the per-user data folder.
void lf_detectRealTrafficClient()
{
    const fs::path jar = gf_appDataFolder() / g_insideSystemsFolder / "RealTraffic.jar";
    rtClientLocal = fs::exists(jar);
    gf_reportMessage(fmt::format("RealTraffic {}detected at this PC", rtClientLocal.load() ? "" : "not "), true);
}

std::atomic<bool> dbaseLoaded{false};

} // namespace

// The data base is read once per process; one that failed to read is read again by the next
// start-up.
void lf_readDbaseOnce()
{
    if (dbaseLoaded.load())
        return;
    gf_readDbase();
    dbaseLoaded = true;
}

namespace {

void lf_prepareStartUp()
{
    gf_loadParameters();
    gf_invalidateStatusArea();
    lf_createAirportsFolder();
    userMaxLive.store(MAX_LIVE.value.load());
    if (!restartFlag.load())
        gf_checkForProgramUpdate();
    lf_enableFirstGroup();
    gf_setParameterString(PROGRAM_INSTALL_PATH, gf_pathText(fs::current_path()));
    currentDaySlot = gf_dayAndHalfHour();
    lf_readDbaseOnce();
    ALL_INSTALL_PATH.value.set(SIM_INSTALL_PATH.getValue());
    gf_enableControl(ALL_INSTALL_PATH);
    gf_updateTextBoxString(ALL_INSTALL_PATH);
    if (ALL_INSTALL_PATH.value.empty())
        lf_detectP3D();
    gf_invalidateStatusArea();
    lf_detectRealTrafficClient();
    lf_enableSecondGroup();
    gf_readAirports();
}

void lf_checkStockAirportsPath()
{
    g_stockSceneryPath = gf_pathFromText(SIM_INSTALL_PATH.getValue()) / "Scenery";
    if (!fs::exists(g_stockSceneryPath))
        gf_reportMessage(fmt::format("Stock airports path does not exist: {}", gf_pathText(g_stockSceneryPath)), true);
}

// A saved livery scan that is gone is made again in this start.
void lf_checkSavedLiveryScan()
{
    if (SCAN_LIVERIES.value.load() || fs::exists(g_liveriesScannedFile))
        return;
    gf_reportMessage(fmt::format("File {} is gone, rescan liveries", gf_pathText(g_liveriesScannedFile)), true);
    SCAN_LIVERIES.value = true;
    gf_saveBoolParameter(SCAN_LIVERIES);
    gf_setCheckMark(SCAN_LIVERIES, true);
    gf_invalidateStatusArea();
}

std::uint64_t lf_countFiles(const fs::path& folder)
{
    std::error_code error;
    std::uint64_t count = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file())
            ++count;
    return count;
}

void lf_addonAirportStep()
{
    if (SCAN_AIRPORTS.value.load()) {
        g_mainWindow.simaddonCount = 0;
        g_mainWindow.thirdpCount = 0;
        gf_invalidateStatusArea();
        gf_scanAddonAirports();
    }
    g_mainWindow.simaddonCount = lf_countFiles(g_myOrbxFolder);
    g_mainWindow.thirdpCount = lf_countFiles(g_myThirdpartyFolder);
    gf_invalidateStatusArea();
}

bool lf_exitRequested()
{
    return exitingFlag.load() || quitFlag.load();
}

void lf_startUp()
{
    lf_checkWorkingFolder();
    lf_prepareStartUp();
    lf_checkStockAirportsPath();
    gf_initScanThrottle();
    lf_checkSavedLiveryScan();
    // A scan option ticked during the start-up left the emptying of the tables to this thread.
    if (liveryTablesResetRequestFlag.exchange(false))
        gf_clearLiveryTables();
    gf_scanLiveries();
    if (lf_exitRequested())
        return;
    lf_addonAirportStep();
    if (lf_exitRequested()) {
        gf_requestExit(ExitReason::UserClosedSim, 1);
        return;
    }
    gf_createFlightPlanFolder();
    lf_readMyParkAirports();
    gf_enableControl(g_rereadButton);
    const std::string destination = DESTINATION.getValue();
    if (!destination.empty()) {
        if (const std::optional<AirportRecord> airport = gf_findAirport(destination)) {
            lf_newDestination(destination, {airport->latitude, airport->longitude});
            // This is the work thread: the traffic range below and the run see the list with it.
            lf_applyDestinationRequest();
        }
    } else {
        gf_enableControl(g_rereadButton);
    }
    gf_setStayOnTop(ALWAYS_ON_TOP.value.load());
    if (AUTO_RANGE.value.load()) {
        gf_chooseTrafficRange({userOnGround.load(), userAc.altitude, {userAc.latitude, userAc.longitude}});
        gf_disableControl(LATERAL_RANGE);
    }
    gf_invalidateControlArea();
    lf_runConnection();
}

} // namespace


void lf_startUpOrva()
{
    WorkThreadScope workThread;
    try {
        lf_startUp();
    } catch (...) {
        gf_reportCurrentException("lf_startUpOrva");
    }
}
