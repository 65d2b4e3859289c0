#pragma once
// The run's shared flags: requests that the main window raises and the work thread takes up,
// and the few values that the window's controls and the work thread both read. The work thread
// owns the aircraft, stand, park-airport and livery tables; every other thread asks it through
// these requests instead of touching those tables itself.

#include "core/geodesy.h"
#include "core/run_state.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

// Requests of the buttons and boxes, consumed by the work thread.
extern std::atomic<bool> rereadRequestFlag;        // Re-read pressed
extern std::atomic<bool> flushStaticRequestFlag;   // Flush static pressed
extern std::atomic<bool> blockRequestFlag;         // BLOCK_CALLSIGN entered or Unblock pressed
extern std::atomic<bool> matchingDepthChangedFlag; // MATCHING_DEPTH raised
extern std::atomic<bool> parkingRequestFlag;       // a static-parking recalculation is wanted

// MAX_LIVE changed: remove the live aircraft beyond the new limit (gf_applyMaxLive).
extern std::atomic<bool> maxLiveRequestFlag;
// NAV_LIGHTS_WHILE_PARKED changed: set the navigation lights of every static aircraft in the
// simulator and of every parked live aircraft to the option's current value.
extern std::atomic<bool> navLightsRequestFlag;
// SCAN_LIVERIES ticked during the start-up phase: empty the livery tables and clear their built
// flag before the next livery step, so that the restarted start-up scans and builds them anew.
extern std::atomic<bool> liveryTablesResetRequestFlag;
// AUTO_RANGE ticked: choose the traffic range from the user aircraft's situation now.
extern std::atomic<bool> trafficRangeRequestFlag;

// A new destination airport for the front of the park-airport list
// (gf_setDestinationParkAirport). A newer request replaces one not yet taken.
struct DestinationRequest {
    std::string code;
    LatLon position;
};
void gf_requestDestination(DestinationRequest request);
// The pending request, which is then gone; none when there is none.
std::optional<DestinationRequest> gf_takeDestinationRequest();
// Stores and shows the new destination (DESTINATION and its box) and asks the work thread to put
// the airport at the front of the park-airport list.
void lf_newDestination(const std::string& code, LatLon position);

// Set at program start and by the restart reset; cleared when the run reaches the traffic
// client. While set, a ticked scan option restarts the program at once.
extern std::atomic<bool> startUpPhaseFlag;

// Ticks consumed since the main loop started (the work thread counts them).
extern std::atomic<std::uint32_t> tickCounter;

// currentDaySlot, airportParametersChanged, userMaxLive, parkingBusyFlag and manualLateralRange:
// core/run_state.h.

// The run's own state (work thread; the restart reset sets it back after the work thread ended).
// Set by the first pass that finds the flight not running, cleared by the first tick after it
// runs again.
extern std::atomic<bool> flightNotRunningFlag;
// The first step of a requested parking recalculation has run: callsigns are being collected.
extern std::atomic<bool> parkingCollectingFlag;
