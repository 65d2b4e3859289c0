#pragma once
// Every setting of the program, one global object each, named after its key. All are made
// before main() runs, with their defaults; the store (params/parameter_store.h) loads them from
// parameters.xml at every start-up. Users read and write `value` directly.

#include "params/parameter.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Check boxes.
extern CheckBox SCAN_LIVERIES;
extern CheckBox LIG_AUTOMATIC;
extern CheckBox LIG_PRIORITIZE;
extern CheckBox SUPPRESS_STUB;
extern CheckBox LOG;
extern CheckBox ALWAYS_ON_TOP;
extern CheckBox SCAN_AIRPORTS;
extern CheckBox AFG_AUTOMATIC;
extern CheckBox NAV_LIGHTS_WHILE_PARKED;
extern CheckBox LEARN_SOFT;
extern CheckBox LIGHT_AIRCRAFT;
extern CheckBox HELICOPTERS;
extern CheckBox HIGH_PERF_AIRCRAFT;
extern CheckBox AEROWINX;
extern CheckBox GUID_CHANGES;
extern CheckBox AUTO_RANGE;
extern CheckBox COLLISION_USER_GND;
extern CheckBox COLLISION_USER_AIR;
extern CheckBox COLLISION_LIVE_PARKED_GND;
extern CheckBox STRAIGHT_PBS_ONLY;
extern CheckBox PARK_FAKE;
extern CheckBox WEEK;
extern CheckBox PARK_SOFT;
extern CheckBox INITIAL_LOAD_ONLY;

// Edit boxes.
extern StringTextBox ALL_INSTALL_PATH;     // not stored
extern IntTextBox MATCHING_DEPTH;
extern IntTextBox LATERAL_RANGE;           // live-traffic radius, nautical miles
extern IntTextBox AUTO_RANGE_ABOVE_HEIGHT;
extern StringTextBox BLOCK_CALLSIGN;
extern IntTextBox MAX_LIVE;
extern IntTextBox CUSTOM_MAX_PARK;
extern StringTextBox DESTINATION;
extern IntTextBox AIRPORT_RANGE;
extern IntTextBox AIRPORT_HEIGHT;
extern IntTextBox parking_percentage;      // not stored in parameters.xml; each airport file has its own
extern FloatTextBox MAX_FIT_FL;            // hours shown for MAX_FIT; stored nowhere
extern IntTextBox MAX_FIT;                 // half-hour slots minus one; has no control of its own

// Buttons, reached by their control ids.
extern Button g_unblockButton;     // "Unblock"
extern Button g_rereadButton;      // "Re-read"
extern Button g_flushStaticButton; // "Flush static"

// Settings without a control.
extern BoolParameter RANDOM;
extern IntParameter MAIN_WINDOW_X;
extern IntParameter MAIN_WINDOW_Y;
extern IntParameter CUSTOM_PARKING_PERCENTAGE;
extern IntParameter LAST_EPOCH_TIME;
extern IntParameter HOLDING_THRESHOLD_METERS;
extern IntParameter MAX_HOLDING_MINUTES;
extern IntParameter P3D_VERSION;
extern StringParameter PROGRAM_VERSION;
extern StringParameter SIM_INSTALL_PATH;
extern StringParameter PORT_NUMBER; // a text: "10747"
extern StringParameter lfolder0, lfolder1, lfolder2, lfolder3, lfolder4;
extern StringParameter lfolder5, lfolder6, lfolder7, lfolder8, lfolder9;
extern StringParameter afolder0, afolder1, afolder2, afolder3, afolder4;
extern StringParameter afolder5, afolder6, afolder7, afolder8, afolder9;
extern StringParameter PROGRAM_INSTALL_PATH;

// The entries of the meta block of generated XML files; keys "author", "date", "version",
// "copyright". Never stored in parameters.xml.
extern StringParameter META_AUTHOR;
extern StringParameter META_DATE;
extern StringParameter META_VERSION;
extern StringParameter META_COPYRIGHT;

// The extra livery folders lfolder0..9 and add-on airport folders afolder0..9, in key order.
extern const std::array<StringParameter*, 10> g_lfolderParameters;
extern const std::array<StringParameter*, 10> g_afolderParameters;

// The live-traffic radius, mirroring LATERAL_RANGE: nautical miles and metres (x 1852).
// Every change of the radius sets all three (gf_mirrorLateralRange).
extern std::atomic<double> g_trafficRangeNm;
extern std::atomic<std::int32_t> g_trafficRangeM;
void gf_mirrorLateralRange();

// The keys of the parameter block of an airport file, in this order: LATERAL_RANGE, AUTO_RANGE,
// INITIAL_LOAD_ONLY, PARK_SOFT, PARK_FAKE, parking_percentage, MAX_FIT, WEEK, LEARN_SOFT, MAX_LIVE.
extern const std::array<std::string, 10> g_airportFileParameterKeys;

// The typed lists through which parameters.xml is loaded, in loading order.
struct ParameterLists {
    std::vector<BoolParameter*> bools;         // A: bools without a control
    std::vector<CheckBox*> checkBoxes;         // B
    std::vector<IntParameter*> ints;           // C: integers without a control
    std::vector<IntTextBox*> intBoxes;         // D
    std::vector<StringParameter*> strings;     // E: texts, folder keys included
    std::vector<StringTextBox*> stringBoxes;   // F
};
ParameterLists gf_persistedParameters();

// Every setting and button in definition order, and lookups over them.
const std::vector<Parameter*>& gf_allParameters();
Parameter* gf_findParameter(std::string_view key);
ParameterControl* gf_findControl(std::uint16_t controlId);
