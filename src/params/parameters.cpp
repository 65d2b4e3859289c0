#include "params/parameters.h"

#include <algorithm>

// The order of definition matters only for the derived globals at the end, which read the
// objects above them in this file.

CheckBox SCAN_LIVERIES("SCAN_LIVERIES", true, 32797, 147);
CheckBox LIG_AUTOMATIC("LIG_AUTOMATIC", true, 32798, 147);
CheckBox LIG_PRIORITIZE("LIG_PRIORITIZE", false, 32799, 147);
CheckBox SUPPRESS_STUB("SUPPRESS_STUB", true, 32801, 147);
CheckBox LOG("LOG", true, 32779, 147);
CheckBox ALWAYS_ON_TOP("ALWAYS_ON_TOP", false, 32771, 147);
CheckBox SCAN_AIRPORTS("SCAN_AIRPORTS", true, 32802, 175);
CheckBox AFG_AUTOMATIC("AFG_AUTOMATIC", true, 32803, 175);
CheckBox NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, 32778, 175);
CheckBox LEARN_SOFT("LEARN_SOFT", true, 32777, 175);
CheckBox LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, 32809, 203);
CheckBox HELICOPTERS("HELICOPTERS", true, 32810, 203);
CheckBox HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, 32811, 203);
CheckBox AEROWINX("AEROWINX", false, 32775, 203);
CheckBox GUID_CHANGES("GUID_CHANGES", true, 32773, 203);
CheckBox AUTO_RANGE("AUTO_RANGE", true, 32819, 231);
CheckBox COLLISION_USER_GND("COLLISION_USER_GND", true, 32834, 287);
CheckBox COLLISION_USER_AIR("COLLISION_USER_AIR", true, 32833, 287);
CheckBox COLLISION_LIVE_PARKED_GND("COLLISION_LIVE_PARKED_GND", false, 32835, 287);
CheckBox STRAIGHT_PBS_ONLY("STRAIGHT_PBS_ONLY", false, 32856, 315);
CheckBox PARK_FAKE("PARK_FAKE", false, 32852, 371);
CheckBox WEEK("WEEK", false, 32854, 371);
CheckBox PARK_SOFT("PARK_SOFT", true, 32851, 371);
CheckBox INITIAL_LOAD_ONLY("INITIAL_LOAD_ONLY", false, 32850, 371);

StringTextBox ALL_INSTALL_PATH("ALL_INSTALL_PATH", "", 32788, 119);
IntTextBox MATCHING_DEPTH("MATCHING_DEPTH", 4, 1, 4, 32808, 203);
IntTextBox LATERAL_RANGE("LATERAL_RANGE", 40, 2, 100, 32818, 231);
IntTextBox AUTO_RANGE_ABOVE_HEIGHT("AUTO_RANGE_ABOVE_HEIGHT", 49000, 18000, 49000, 32820, 231);
StringTextBox BLOCK_CALLSIGN("BLOCK_CALLSIGN", "", 32828, 259);
IntTextBox MAX_LIVE("MAX_LIVE", -1, -1, 300, 32821, 315);
IntTextBox CUSTOM_MAX_PARK("CUSTOM_MAX_PARK", -1, -1, 500, 32865, 315);
StringTextBox DESTINATION("DESTINATION", "", 32840, 343);
IntTextBox AIRPORT_RANGE("AIRPORT_RANGE", 20, 8, 30, 32841, 343);
IntTextBox AIRPORT_HEIGHT("AIRPORT_HEIGHT", 18000, 2000, 45000, 32842, 343);
IntTextBox parking_percentage("parking_percentage", 30, 0, 100, 32848, 371);
FloatTextBox MAX_FIT_FL("MAX_FIT_FL", 24.0f, 0.5f, 24.0f, 32855, 371);
IntTextBox MAX_FIT("MAX_FIT", 47, 0, 47, 32853, 371);

Button g_unblockButton("Unblock", 32829, 257);
Button g_rereadButton("Re-read", 32838, 341);
Button g_flushStaticButton("Flush static", 32858, 369);

BoolParameter RANDOM("RANDOM", true);
IntParameter MAIN_WINDOW_X("MAIN_WINDOW_X", 400, -30000, 30000);
IntParameter MAIN_WINDOW_Y("MAIN_WINDOW_Y", 20, -30000, 30000);
IntParameter CUSTOM_PARKING_PERCENTAGE("CUSTOM_PARKING_PERCENTAGE", -1, -1, 100);
IntParameter LAST_EPOCH_TIME("LAST_EPOCH_TIME", 0, 0, 2147483647);
IntParameter HOLDING_THRESHOLD_METERS("HOLDING_THRESHOLD_METERS", 250, 10, 4000);
IntParameter MAX_HOLDING_MINUTES("MAX_HOLDING_MINUTES", 20, 1, 60);
IntParameter P3D_VERSION("P3D_VERSION", 5, 5, 6);
StringParameter PROGRAM_VERSION("PROGRAM_VERSION", "");
StringParameter SIM_INSTALL_PATH("SIM_INSTALL_PATH", "");
StringParameter PORT_NUMBER("PORT_NUMBER", "10747");
StringParameter lfolder0("lfolder0", ""), lfolder1("lfolder1", ""), lfolder2("lfolder2", ""),
    lfolder3("lfolder3", ""), lfolder4("lfolder4", ""), lfolder5("lfolder5", ""), lfolder6("lfolder6", ""),
    lfolder7("lfolder7", ""), lfolder8("lfolder8", ""), lfolder9("lfolder9", "");
StringParameter afolder0("afolder0", ""), afolder1("afolder1", ""), afolder2("afolder2", ""),
    afolder3("afolder3", ""), afolder4("afolder4", ""), afolder5("afolder5", ""), afolder6("afolder6", ""),
    afolder7("afolder7", ""), afolder8("afolder8", ""), afolder9("afolder9", "");
StringParameter PROGRAM_INSTALL_PATH("PROGRAM_INSTALL_PATH", "");

StringParameter META_AUTHOR("author", "");
StringParameter META_DATE("date", "");
StringParameter META_VERSION("version", "");
StringParameter META_COPYRIGHT("copyright", "Copyright (c) the Orvanta_P3D authors, all rights reserved");

const std::array<StringParameter*, 10> g_lfolderParameters = {&lfolder0, &lfolder1, &lfolder2, &lfolder3,
                                                              &lfolder4, &lfolder5, &lfolder6, &lfolder7,
                                                              &lfolder8, &lfolder9};
const std::array<StringParameter*, 10> g_afolderParameters = {&afolder0, &afolder1, &afolder2, &afolder3,
                                                              &afolder4, &afolder5, &afolder6, &afolder7,
                                                              &afolder8, &afolder9};

std::atomic<double> g_trafficRangeNm{static_cast<double>(LATERAL_RANGE.value.load())};
std::atomic<std::int32_t> g_trafficRangeM{LATERAL_RANGE.value.load() * 1852};

const std::array<std::string, 10> g_airportFileParameterKeys = {
    LATERAL_RANGE.name, AUTO_RANGE.name, INITIAL_LOAD_ONLY.name, PARK_SOFT.name, PARK_FAKE.name,
    parking_percentage.name, MAX_FIT.name, WEEK.name, LEARN_SOFT.name, MAX_LIVE.name};

void gf_mirrorLateralRange()
{
    const std::int32_t range = LATERAL_RANGE.value.load();
    g_trafficRangeNm.store(static_cast<double>(range));
    g_trafficRangeM.store(range * 1852);
}

ParameterLists gf_persistedParameters()
{
    ParameterLists lists;
    lists.bools = {&RANDOM};
    lists.checkBoxes = {&AEROWINX,          &AFG_AUTOMATIC,  &COLLISION_USER_AIR,      &COLLISION_USER_GND,
                        &COLLISION_LIVE_PARKED_GND, &SUPPRESS_STUB, &LOG,               &ALWAYS_ON_TOP,
                        &SCAN_LIVERIES,     &LIG_AUTOMATIC,  &LIG_PRIORITIZE,          &SCAN_AIRPORTS,
                        &LIGHT_AIRCRAFT,    &HELICOPTERS,    &HIGH_PERF_AIRCRAFT,      &NAV_LIGHTS_WHILE_PARKED,
                        &AUTO_RANGE,        &LEARN_SOFT,     &STRAIGHT_PBS_ONLY,       &PARK_SOFT,
                        &PARK_FAKE,         &WEEK,           &INITIAL_LOAD_ONLY,       &GUID_CHANGES};
    lists.ints = {&CUSTOM_PARKING_PERCENTAGE, &MAIN_WINDOW_X, &MAIN_WINDOW_Y, &LAST_EPOCH_TIME,
                  &HOLDING_THRESHOLD_METERS, &MAX_HOLDING_MINUTES, &P3D_VERSION};
    lists.intBoxes = {&MATCHING_DEPTH, &LATERAL_RANGE, &MAX_FIT, &AUTO_RANGE_ABOVE_HEIGHT,
                      &MAX_LIVE, &AIRPORT_RANGE, &AIRPORT_HEIGHT, &CUSTOM_MAX_PARK};
    lists.strings = {&PROGRAM_VERSION, &SIM_INSTALL_PATH, &PORT_NUMBER};
    lists.strings.insert(lists.strings.end(), g_lfolderParameters.begin(), g_lfolderParameters.end());
    lists.strings.insert(lists.strings.end(), g_afolderParameters.begin(), g_afolderParameters.end());
    lists.strings.push_back(&PROGRAM_INSTALL_PATH);
    lists.strings.push_back(&DESTINATION);
    lists.stringBoxes = {&BLOCK_CALLSIGN};
    return lists;
}

const std::vector<Parameter*>& gf_allParameters()
{
    static const std::vector<Parameter*> all = [] {
        std::vector<Parameter*> list = {
            &SCAN_LIVERIES, &LIG_AUTOMATIC, &LIG_PRIORITIZE, &SUPPRESS_STUB, &LOG, &ALWAYS_ON_TOP,
            &SCAN_AIRPORTS, &AFG_AUTOMATIC, &NAV_LIGHTS_WHILE_PARKED, &LEARN_SOFT, &LIGHT_AIRCRAFT,
            &HELICOPTERS, &HIGH_PERF_AIRCRAFT, &AEROWINX, &GUID_CHANGES, &AUTO_RANGE, &COLLISION_USER_GND,
            &COLLISION_USER_AIR, &COLLISION_LIVE_PARKED_GND, &STRAIGHT_PBS_ONLY, &PARK_FAKE, &WEEK,
            &PARK_SOFT, &INITIAL_LOAD_ONLY, &ALL_INSTALL_PATH, &MATCHING_DEPTH, &LATERAL_RANGE,
            &AUTO_RANGE_ABOVE_HEIGHT, &BLOCK_CALLSIGN, &MAX_LIVE, &CUSTOM_MAX_PARK, &DESTINATION,
            &AIRPORT_RANGE, &AIRPORT_HEIGHT, &parking_percentage, &MAX_FIT_FL, &MAX_FIT, &g_unblockButton,
            &g_rereadButton, &g_flushStaticButton, &RANDOM, &MAIN_WINDOW_X, &MAIN_WINDOW_Y,
            &CUSTOM_PARKING_PERCENTAGE, &LAST_EPOCH_TIME, &HOLDING_THRESHOLD_METERS, &MAX_HOLDING_MINUTES,
            &P3D_VERSION, &PROGRAM_VERSION, &SIM_INSTALL_PATH, &PORT_NUMBER};
        list.insert(list.end(), g_lfolderParameters.begin(), g_lfolderParameters.end());
        list.insert(list.end(), g_afolderParameters.begin(), g_afolderParameters.end());
        list.insert(list.end(), {&PROGRAM_INSTALL_PATH, &META_AUTHOR, &META_DATE, &META_VERSION, &META_COPYRIGHT});
        return list;
    }();
    return all;
}

Parameter* gf_findParameter(std::string_view key)
{
    const std::vector<Parameter*>& all = gf_allParameters();
    const auto it = std::find_if(all.begin(), all.end(), [&](const Parameter* p) { return p->name == key; });
    return it == all.end() ? nullptr : *it;
}

ParameterControl* gf_findControl(std::uint16_t controlId)
{
    for (Parameter* parameter : gf_allParameters()) {
        auto* control = dynamic_cast<ParameterControl*>(parameter);
        if (control != nullptr && control->controlId == controlId)
            return control;
    }
    return nullptr;
}
