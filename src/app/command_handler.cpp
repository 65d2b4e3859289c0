#include "app/command_handler.h"

#include "airports/traffic_range.h"
#include "app/main_window.h"
#include "app/message_line.h"
#include "app/text_boxes.h"
#include "core/log.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "run/exit.h"
#include "run/run_flags.h"

#include <algorithm>
#include <fmt/format.h>

namespace {

void lf_hint(const std::string& text, bool log = false)
{
    gf_showMessage(text, log);
}

// A ticked scan option takes effect at once while the start-up runs: the program restarts
// itself and the new start-up scans.
void lf_scanOption(const char* nowHint, const std::string& laterHint, bool resetLiveryTables)
{
    if (startUpPhaseFlag.load()) {
        // The livery tables are the work thread's; it empties them before the next livery step.
        if (resetLiveryTables)
            liveryTablesResetRequestFlag.store(true);
        lf_hint(nowHint, true);
        gf_requestExit(ExitReason::RestartIpp, 2);
    } else {
        lf_hint(laterHint);
    }
}

void lf_autoRange(bool on)
{
    airportParametersChanged.store(true);
    if (on) {
        gf_disableControl(LATERAL_RANGE);
        gf_enableControl(AUTO_RANGE_ABOVE_HEIGHT);
        manualLateralRange.store(LATERAL_RANGE.value.load());
        // The choice reads the user aircraft and the park-airport list: the work thread's.
        trafficRangeRequestFlag.store(true);
        return;
    }
    trafficRangeRequestFlag.store(false);
    gf_enableControl(LATERAL_RANGE);
    gf_disableControl(AUTO_RANGE_ABOVE_HEIGHT);
    autoRangeGroundFlag.store(false);
    const std::int32_t manual = manualLateralRange.load();
    LATERAL_RANGE.value.store(std::clamp(manual, 2, 100));
    g_trafficRangeNm.store(static_cast<double>(manual));
    g_trafficRangeM.store(manual * 1852);
    gf_updateTextBoxFormatted(LATERAL_RANGE);
    gf_clearMessage();
}

void lf_markAirportParametersIfParking()
{
    if (staticParkingActive.load())
        airportParametersChanged.store(true);
}

// Clear on one state, a hint on the other.
void lf_hintWhen(bool state, bool hintState, const std::string& hint)
{
    if (state == hintState)
        lf_hint(hint);
    else
        gf_clearMessage();
}

void lf_checkBoxClicked(CheckBox& box, bool on)
{
    if (&box == &NAV_LIGHTS_WHILE_PARKED) {
        // The aircraft tables are the work thread's: it sets the lights from the option's value.
        navLightsRequestFlag.store(true);
    } else if (&box == &AUTO_RANGE) {
        lf_autoRange(on);
    } else if (&box == &SCAN_LIVERIES) {
        if (on)
            lf_scanOption("Your liveries will be scanned",
                          fmt::format("Your liveries will be scanned at the next start of {}, recommended after you "
                                      "have add/removed AI aircraft models/liveries",
                                      kProductName),
                          true);
        else
            gf_clearMessage();
    } else if (&box == &SCAN_AIRPORTS) {
        if (on)
            lf_scanOption("Your airports will be scanned",
                          fmt::format("Your airports will be scanned at the next start of {}, recommended after you "
                                      "have add/removed airports",
                                      kProductName),
                          false);
        else
            gf_clearMessage();
    } else if (&box == &LIG_AUTOMATIC) {
        lf_hintWhen(on, false, "The liveries defined by your lfolder parameters will be scanned");
    } else if (&box == &LIG_PRIORITIZE) {
        lf_hintWhen(on, true, "Liveries in lower lfolders that are already available will be skipped");
    } else if (&box == &AFG_AUTOMATIC) {
        lf_hintWhen(on, false, "The airports defined by your afolder parameters will be scanned");
    } else if (&box == &PARK_SOFT || &box == &PARK_FAKE || &box == &WEEK) {
        lf_showRespondDelay();
    } else if (&box == &INITIAL_LOAD_ONLY) {
        lf_hintWhen(on, true, "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes");
        lf_markAirportParametersIfParking();
    } else if (&box == &COLLISION_LIVE_PARKED_GND) {
        lf_hintWhen(on, false, "Be aware, no collision avoidance with live aircraft vs parked static on the ground");
    } else if (&box == &COLLISION_USER_GND) {
        lf_hintWhen(on, false, "Be aware, no collision avoidance with user aircraft on the ground");
    } else if (&box == &COLLISION_USER_AIR) {
        lf_hintWhen(on, false, "Be aware, no collision avoidance with user aircraft in the air");
    } else if (&box == &SUPPRESS_STUB) {
        lf_hintWhen(on, true, "Exclude FSLTL-liveries titles ending with _STUB from scan");
    } else if (&box == &ALWAYS_ON_TOP) {
        lf_hintWhen(on, true, fmt::format("{}'s window will remain visible", kProductName));
        gf_setStayOnTop(on);
    } else if (&box == &AEROWINX) {
        lf_hintWhen(on, true, fmt::format("Note: This mode is for Aerowinx PSX users only, please re-start {}", kProductName));
    } else if (&box == &GUID_CHANGES) {
        lf_hintWhen(on, false, "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc..");
    } else if (&box == &LEARN_SOFT) {
        lf_markAirportParametersIfParking();
    }
    // LOG, LIGHT_AIRCRAFT, HELICOPTERS, HIGH_PERF_AIRCRAFT, STRAIGHT_PBS_ONLY: saved only.
}

void lf_buttonClicked(const Button& button)
{
    if (&button == &g_unblockButton) {
        if (!BLOCK_CALLSIGN.value.empty())
            lf_unblockCallsign();
        else
            lf_hint("Nothing to block or unblock...");
    } else if (&button == &g_rereadButton) {
        rereadRequestFlag.store(true);
        gf_disableControl(g_rereadButton);
        gf_disableControl(DESTINATION);
    } else if (&button == &g_flushStaticButton) {
        lf_hint("All static parked aircraft will be removed ...");
        flushStaticRequestFlag.store(true);
        gf_disableControl(g_flushStaticButton);
    }
}

} // namespace

void lf_HandleWMCOMMAND(std::uint16_t controlId)
{
    try {
        ParameterControl* control = gf_findControl(controlId);
        if (auto* box = dynamic_cast<CheckBox*>(control)) {
            // The boxes do not tick themselves: the mark follows the click here.
            const bool on = !gf_isCheckMarked(*box);
            gf_setCheckMark(*box, on);
            box->value.store(on);
            gf_saveBoolParameter(*box);
            lf_checkBoxClicked(*box, on);
        } else if (auto* button = dynamic_cast<Button*>(control)) {
            lf_buttonClicked(*button);
        }
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{} exception {}", "lf_HandleWMCOMMAND", e.what()));
    }
    gf_invalidateControlArea();
}
