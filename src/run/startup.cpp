#include "run/startup.h"

#include "app/main_window.h"
#include "app/message_line.h"
#include "core/exceptions.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "run/run_flags.h"

#include <filesystem>
#include <system_error>

std::thread startUpThread;

namespace {

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

// The settings and the controls; the data that live traffic needs comes with the full start-up.
void lf_prepareStartUp()
{
    gf_loadParameters();
    gf_invalidateStatusArea();
    userMaxLive.store(MAX_LIVE.value.load());
    lf_enableFirstGroup();
    gf_setParameterString(PROGRAM_INSTALL_PATH, std::filesystem::current_path().string());
    ALL_INSTALL_PATH.value.set(SIM_INSTALL_PATH.getValue());
    gf_updateTextBoxString(ALL_INSTALL_PATH);
    gf_enableControl(ALL_INSTALL_PATH);
    gf_invalidateStatusArea();
    lf_enableSecondGroup();
}

} // namespace

void lf_startUpOrva()
{
    try {
        lf_checkWorkingFolder();
        lf_prepareStartUp();
        gf_enableControl(g_rereadButton);
        gf_setStayOnTop(ALWAYS_ON_TOP.value.load());
        if (AUTO_RANGE.value.load())
            gf_disableControl(LATERAL_RANGE);
        gf_invalidateControlArea();
    } catch (...) {
        gf_reportException("lf_startUpOrva");
    }
}
