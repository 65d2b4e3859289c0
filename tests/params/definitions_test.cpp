// Every setting against the program's table of settings: key, kind, default, range, control
// binding and the stored list it belongs to.

#include "params/parameters.h"

#include <algorithm>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <cmath>
#include <set>

namespace {

enum class Kind { CheckBox, IntBox, FloatBox, TextBox, Button, Bool, Int, String };

struct Row {
    const char* key;
    Kind kind;
    const char* defaultText;
    double minValue;
    double maxValue;
    int controlId; // 0: no control
    int rowY;
    char list;     // 'A'..'F', or '-' when parameters.xml never holds it
};

// clang-format off
const Row kTable[] = {
    {"SCAN_LIVERIES", Kind::CheckBox, "true", 0, 0, 32797, 147, 'B'},
    {"LIG_AUTOMATIC", Kind::CheckBox, "true", 0, 0, 32798, 147, 'B'},
    {"LIG_PRIORITIZE", Kind::CheckBox, "false", 0, 0, 32799, 147, 'B'},
    {"SUPPRESS_STUB", Kind::CheckBox, "true", 0, 0, 32801, 147, 'B'},
    {"LOG", Kind::CheckBox, "true", 0, 0, 32779, 147, 'B'},
    {"ALWAYS_ON_TOP", Kind::CheckBox, "false", 0, 0, 32771, 147, 'B'},
    {"SCAN_AIRPORTS", Kind::CheckBox, "true", 0, 0, 32802, 175, 'B'},
    {"AFG_AUTOMATIC", Kind::CheckBox, "true", 0, 0, 32803, 175, 'B'},
    {"NAV_LIGHTS_WHILE_PARKED", Kind::CheckBox, "true", 0, 0, 32778, 175, 'B'},
    {"LEARN_SOFT", Kind::CheckBox, "true", 0, 0, 32777, 175, 'B'},
    {"LIGHT_AIRCRAFT", Kind::CheckBox, "true", 0, 0, 32809, 203, 'B'},
    {"HELICOPTERS", Kind::CheckBox, "true", 0, 0, 32810, 203, 'B'},
    {"HIGH_PERF_AIRCRAFT", Kind::CheckBox, "true", 0, 0, 32811, 203, 'B'},
    {"AEROWINX", Kind::CheckBox, "false", 0, 0, 32775, 203, 'B'},
    {"GUID_CHANGES", Kind::CheckBox, "true", 0, 0, 32773, 203, 'B'},
    {"AUTO_RANGE", Kind::CheckBox, "true", 0, 0, 32819, 231, 'B'},
    {"COLLISION_USER_GND", Kind::CheckBox, "true", 0, 0, 32834, 287, 'B'},
    {"COLLISION_USER_AIR", Kind::CheckBox, "true", 0, 0, 32833, 287, 'B'},
    {"COLLISION_LIVE_PARKED_GND", Kind::CheckBox, "false", 0, 0, 32835, 287, 'B'},
    {"STRAIGHT_PBS_ONLY", Kind::CheckBox, "false", 0, 0, 32856, 315, 'B'},
    {"PARK_FAKE", Kind::CheckBox, "false", 0, 0, 32852, 371, 'B'},
    {"WEEK", Kind::CheckBox, "false", 0, 0, 32854, 371, 'B'},
    {"PARK_SOFT", Kind::CheckBox, "true", 0, 0, 32851, 371, 'B'},
    {"INITIAL_LOAD_ONLY", Kind::CheckBox, "false", 0, 0, 32850, 371, 'B'},
    {"ALL_INSTALL_PATH", Kind::TextBox, "", 0, 0, 32788, 119, '-'},
    {"MATCHING_DEPTH", Kind::IntBox, "4", 1, 4, 32808, 203, 'D'},
    {"LATERAL_RANGE", Kind::IntBox, "40", 2, 100, 32818, 231, 'D'},
    {"AUTO_RANGE_ABOVE_HEIGHT", Kind::IntBox, "49000", 18000, 49000, 32820, 231, 'D'},
    {"BLOCK_CALLSIGN", Kind::TextBox, "", 0, 0, 32828, 259, 'F'},
    {"MAX_LIVE", Kind::IntBox, "-1", -1, 300, 32821, 315, 'D'},
    {"CUSTOM_MAX_PARK", Kind::IntBox, "-1", -1, 500, 32865, 315, 'D'},
    {"DESTINATION", Kind::TextBox, "", 0, 0, 32840, 343, 'E'},
    {"AIRPORT_RANGE", Kind::IntBox, "20", 8, 30, 32841, 343, 'D'},
    {"AIRPORT_HEIGHT", Kind::IntBox, "18000", 2000, 45000, 32842, 343, 'D'},
    {"parking_percentage", Kind::IntBox, "30", 0, 100, 32848, 371, '-'},
    {"MAX_FIT_FL", Kind::FloatBox, "24.0", 0.5, 24.0, 32855, 371, '-'},
    {"MAX_FIT", Kind::IntBox, "47", 0, 47, 32853, 371, 'D'},
    {"Unblock", Kind::Button, "", 0, 0, 32829, 257, '-'},
    {"Re-read", Kind::Button, "", 0, 0, 32838, 341, '-'},
    {"Flush static", Kind::Button, "", 0, 0, 32858, 369, '-'},
    {"RANDOM", Kind::Bool, "true", 0, 0, 0, 0, 'A'},
    {"MAIN_WINDOW_X", Kind::Int, "400", -30000, 30000, 0, 0, 'C'},
    {"MAIN_WINDOW_Y", Kind::Int, "20", -30000, 30000, 0, 0, 'C'},
    {"CUSTOM_PARKING_PERCENTAGE", Kind::Int, "-1", -1, 100, 0, 0, 'C'},
    {"LAST_EPOCH_TIME", Kind::Int, "0", 0, 2147483647, 0, 0, 'C'},
    {"HOLDING_THRESHOLD_METERS", Kind::Int, "250", 10, 4000, 0, 0, 'C'},
    {"MAX_HOLDING_MINUTES", Kind::Int, "20", 1, 60, 0, 0, 'C'},
    {"P3D_VERSION", Kind::Int, "5", 5, 6, 0, 0, 'C'},
    {"PROGRAM_VERSION", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"SIM_INSTALL_PATH", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"PORT_NUMBER", Kind::String, "10747", 0, 0, 0, 0, 'E'},
    {"lfolder0", Kind::String, "", 0, 0, 0, 0, 'E'}, {"lfolder1", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"lfolder2", Kind::String, "", 0, 0, 0, 0, 'E'}, {"lfolder3", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"lfolder4", Kind::String, "", 0, 0, 0, 0, 'E'}, {"lfolder5", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"lfolder6", Kind::String, "", 0, 0, 0, 0, 'E'}, {"lfolder7", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"lfolder8", Kind::String, "", 0, 0, 0, 0, 'E'}, {"lfolder9", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"afolder0", Kind::String, "", 0, 0, 0, 0, 'E'}, {"afolder1", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"afolder2", Kind::String, "", 0, 0, 0, 0, 'E'}, {"afolder3", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"afolder4", Kind::String, "", 0, 0, 0, 0, 'E'}, {"afolder5", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"afolder6", Kind::String, "", 0, 0, 0, 0, 'E'}, {"afolder7", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"afolder8", Kind::String, "", 0, 0, 0, 0, 'E'}, {"afolder9", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"PROGRAM_INSTALL_PATH", Kind::String, "", 0, 0, 0, 0, 'E'},
    {"author", Kind::String, "", 0, 0, 0, 0, '-'},
    {"date", Kind::String, "", 0, 0, 0, 0, '-'},
    {"version", Kind::String, "", 0, 0, 0, 0, '-'},
};
// clang-format on

// The list that holds a setting, by the typed lists of the store.
char lf_listOf(const Parameter* parameter)
{
    const ParameterLists lists = gf_persistedParameters();
    const auto holds = [&](const auto& list) {
        return std::find(list.begin(), list.end(), parameter) != list.end();
    };
    if (holds(lists.bools))
        return 'A';
    if (holds(lists.checkBoxes))
        return 'B';
    if (holds(lists.ints))
        return 'C';
    if (holds(lists.intBoxes))
        return 'D';
    if (holds(lists.strings))
        return 'E';
    if (holds(lists.stringBoxes))
        return 'F';
    return '-';
}

void lf_checkControl(const Parameter* parameter, const Row& row)
{
    const auto* control = dynamic_cast<const ParameterControl*>(parameter);
    if (row.controlId == 0) {
        EXPECT_EQ(control, nullptr);
        return;
    }
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->controlId, row.controlId);
    EXPECT_EQ(control->rowY, row.rowY);
    EXPECT_EQ(control->hwnd.load(), nullptr);
    EXPECT_EQ(gf_findControl(control->controlId), control);
}

void lf_checkValues(const Parameter* parameter, const Row& row)
{
    switch (row.kind) {
    case Kind::CheckBox:
    case Kind::Bool: {
        const auto* p = dynamic_cast<const BoolParameter*>(parameter);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(row.kind == Kind::CheckBox, dynamic_cast<const CheckBox*>(parameter) != nullptr);
        const bool expected = std::string(row.defaultText) == "true";
        EXPECT_EQ(p->defaultValue, expected);
        EXPECT_EQ(p->minValue, expected);
        EXPECT_EQ(p->maxValue, expected);
        EXPECT_EQ(p->value.load(), expected);
        break;
    }
    case Kind::IntBox:
    case Kind::Int: {
        const auto* p = dynamic_cast<const IntParameter*>(parameter);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(row.kind == Kind::IntBox, dynamic_cast<const IntTextBox*>(parameter) != nullptr);
        EXPECT_EQ(fmt::format("{}", p->defaultValue), row.defaultText);
        EXPECT_EQ(p->minValue, static_cast<std::int32_t>(row.minValue));
        EXPECT_EQ(p->maxValue, static_cast<std::int32_t>(row.maxValue));
        EXPECT_EQ(p->value.load(), p->defaultValue);
        break;
    }
    case Kind::FloatBox: {
        const auto* p = dynamic_cast<const FloatTextBox*>(parameter);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(fmt::format("{:.1f}", p->defaultValue), row.defaultText);
        EXPECT_FLOAT_EQ(p->minValue, static_cast<float>(row.minValue));
        EXPECT_FLOAT_EQ(p->maxValue, static_cast<float>(row.maxValue));
        EXPECT_FLOAT_EQ(p->value.load(), p->defaultValue);
        break;
    }
    case Kind::TextBox:
    case Kind::String: {
        const auto* p = dynamic_cast<const StringParameter*>(parameter);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(row.kind == Kind::TextBox, dynamic_cast<const StringTextBox*>(parameter) != nullptr);
        EXPECT_EQ(p->defaultValue, row.defaultText);
        EXPECT_EQ(p->minValue, p->defaultValue);
        EXPECT_EQ(p->maxValue, p->defaultValue);
        EXPECT_EQ(p->getValue(), p->defaultValue);
        break;
    }
    case Kind::Button:
        EXPECT_NE(dynamic_cast<const Button*>(parameter), nullptr);
        break;
    }
}

TEST(ParameterDefinitions, EverySettingMatchesTheTable)
{
    for (const Row& row : kTable) {
        SCOPED_TRACE(row.key);
        const Parameter* parameter = gf_findParameter(row.key);
        ASSERT_NE(parameter, nullptr);
        EXPECT_EQ(parameter->name, row.key);
        lf_checkValues(parameter, row);
        lf_checkControl(parameter, row);
        EXPECT_EQ(lf_listOf(parameter), row.list);
    }
    // The table names every setting, plus the copyright line checked below.
    EXPECT_EQ(gf_allParameters().size(), std::size(kTable) + 1);
    EXPECT_EQ(META_COPYRIGHT.name, "copyright");
    EXPECT_FALSE(META_COPYRIGHT.defaultValue.empty());
    EXPECT_EQ(META_COPYRIGHT.defaultValue.find('\n'), std::string::npos);
}

TEST(ParameterDefinitions, StoredListsKeepTheirLoadingOrder)
{
    const ParameterLists lists = gf_persistedParameters();
    const auto names = [](const auto& list) {
        std::vector<std::string> result;
        for (const auto* p : list)
            result.push_back(p->name);
        return result;
    };
    EXPECT_EQ(names(lists.bools), (std::vector<std::string>{"RANDOM"}));
    EXPECT_EQ(names(lists.checkBoxes),
              (std::vector<std::string>{"AEROWINX", "AFG_AUTOMATIC", "COLLISION_USER_AIR", "COLLISION_USER_GND",
                                        "COLLISION_LIVE_PARKED_GND", "SUPPRESS_STUB", "LOG", "ALWAYS_ON_TOP",
                                        "SCAN_LIVERIES", "LIG_AUTOMATIC", "LIG_PRIORITIZE", "SCAN_AIRPORTS",
                                        "LIGHT_AIRCRAFT", "HELICOPTERS", "HIGH_PERF_AIRCRAFT",
                                        "NAV_LIGHTS_WHILE_PARKED", "AUTO_RANGE", "LEARN_SOFT", "STRAIGHT_PBS_ONLY",
                                        "PARK_SOFT", "PARK_FAKE", "WEEK", "INITIAL_LOAD_ONLY", "GUID_CHANGES"}));
    EXPECT_EQ(names(lists.ints),
              (std::vector<std::string>{"CUSTOM_PARKING_PERCENTAGE", "MAIN_WINDOW_X", "MAIN_WINDOW_Y",
                                        "LAST_EPOCH_TIME", "HOLDING_THRESHOLD_METERS", "MAX_HOLDING_MINUTES",
                                        "P3D_VERSION"}));
    EXPECT_EQ(names(lists.intBoxes),
              (std::vector<std::string>{"MATCHING_DEPTH", "LATERAL_RANGE", "MAX_FIT", "AUTO_RANGE_ABOVE_HEIGHT",
                                        "MAX_LIVE", "AIRPORT_RANGE", "AIRPORT_HEIGHT", "CUSTOM_MAX_PARK"}));
    std::vector<std::string> strings = {"PROGRAM_VERSION", "SIM_INSTALL_PATH", "PORT_NUMBER"};
    for (int i = 0; i < 10; ++i)
        strings.push_back(fmt::format("lfolder{}", i));
    for (int i = 0; i < 10; ++i)
        strings.push_back(fmt::format("afolder{}", i));
    strings.push_back("PROGRAM_INSTALL_PATH");
    strings.push_back("DESTINATION");
    EXPECT_EQ(names(lists.strings), strings);
    EXPECT_EQ(names(lists.stringBoxes), (std::vector<std::string>{"BLOCK_CALLSIGN"}));
}

TEST(ParameterDefinitions, ControlIdsAreUniqueAndInTheirRange)
{
    std::set<int> ids;
    for (const Parameter* parameter : gf_allParameters()) {
        if (const auto* control = dynamic_cast<const ParameterControl*>(parameter)) {
            EXPECT_TRUE(ids.insert(control->controlId).second) << parameter->name;
            EXPECT_GE(control->controlId, 32771);
            EXPECT_LE(control->controlId, 32865);
        }
    }
    EXPECT_EQ(gf_findControl(12345), nullptr);
}

TEST(ParameterDefinitions, DerivedGlobalsFollowTheSettings)
{
    EXPECT_DOUBLE_EQ(g_trafficRangeNm.load(), 40.0);
    EXPECT_EQ(g_trafficRangeM.load(), 74080);
    EXPECT_EQ(g_airportFileParameterKeys,
              (std::array<std::string, 10>{"LATERAL_RANGE", "AUTO_RANGE", "INITIAL_LOAD_ONLY", "PARK_SOFT",
                                           "PARK_FAKE", "parking_percentage", "MAX_FIT", "WEEK", "LEARN_SOFT",
                                           "MAX_LIVE"}));
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(g_lfolderParameters[static_cast<std::size_t>(i)]->name, fmt::format("lfolder{}", i));
        EXPECT_EQ(g_afolderParameters[static_cast<std::size_t>(i)]->name, fmt::format("afolder{}", i));
    }
}

TEST(ParameterClasses, SetValueKeepsTheRange)
{
    IntParameter p("P", 5, -3, 7);
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {-4, -3}, {-3, -3}, {0, 0}, {7, 7}, {8, 7}, {INT32_MIN, -3}, {INT32_MAX, 7}};
    for (const auto& [in, out] : cases) {
        p.setValue(in);
        EXPECT_EQ(p.value.load(), out) << in;
    }
    FloatParameter f("F", 24.0f, 0.5f, 24.0f);
    EXPECT_FLOAT_EQ(f.clamp(0.1f), 0.5f);
    EXPECT_FLOAT_EQ(f.clamp(30.0f), 24.0f);
    EXPECT_FLOAT_EQ(f.clamp(std::nanf("")), 24.0f);
}

} // namespace
