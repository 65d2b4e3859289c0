#include "app/text_boxes.h"

#include "airports/airport_services.h"
#include "app/message_line.h"
#include "core/exceptions.h"
#include "core/files.h"
#include "core/log.h"
#include "core/windows_glue.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "run/exit.h"
#include "run/run_flags.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fmt/format.h>
#include <stdexcept>

namespace {

constexpr std::size_t kNumberBoxUnits = 511;
constexpr std::size_t kTextBoxUnits = 2047;

// The start of the number: white space skipped, and a '+' that std::from_chars does not take.
// Null when what follows cannot start a number.
const char* lf_numberStart(const std::string& text)
{
    const char* p = text.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    if (*p == '+') {
        ++p;
        if (*p == '-' || *p == '+')
            return nullptr;
    }
    return p;
}

// The box's text cut to `maxUnits` UTF-16 characters, as a window text read into a buffer of
// that size would be; empty when it is no valid text (the failure is logged).
std::string lf_boxText(const ParameterControl& control, std::size_t maxUnits)
{
    try {
        std::u16string wide = gf_utf8ToUtf16(gf_controlText(control));
        if (wide.size() > maxUnits) {
            std::size_t cut = maxUnits;
            if (cut > 0 && wide[cut - 1] >= 0xD800 && wide[cut - 1] <= 0xDBFF)
                --cut; // never split a surrogate pair
            wide.resize(cut);
        }
        return gf_utf16ToUtf8(wide);
    } catch (const std::exception& e) {
        gf_log(e.what());
        return {};
    }
}

std::string lf_upperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// The int boxes whose Enter has more to do than storing the value.
void lf_afterIntChange(IntTextBox& box, std::int32_t oldValue)
{
    if (&box == &CUSTOM_MAX_PARK || &box == &parking_percentage) {
        lf_showRespondDelay();
    } else if (&box == &LATERAL_RANGE) {
        airportParametersChanged.store(true);
        gf_mirrorLateralRange();
    } else if (&box == &MAX_LIVE) {
        if (staticParkingActive.load())
            airportParametersChanged.store(true);
        else
            userMaxLive.store(MAX_LIVE.value.load());
        // The live aircraft beyond the limit are the work thread's to remove.
        maxLiveRequestFlag.store(true);
    } else if (&box == &MATCHING_DEPTH) {
        if (MATCHING_DEPTH.value.load() > oldValue)
            matchingDepthChangedFlag.store(true);
    }
}

} // namespace

int gf_parseStoi(const std::string& text)
{
    const char* first = lf_numberStart(text);
    int value = 0;
    const char* last = text.c_str() + text.size();
    const auto [end, error] = first != nullptr ? std::from_chars(first, last, value)
                                               : std::from_chars_result{last, std::errc::invalid_argument};
    if (error == std::errc::result_out_of_range)
        throw std::out_of_range("stoi argument out of range");
    if (error != std::errc())
        throw std::invalid_argument("invalid stoi argument");
    return value;
}

float gf_parseStof(const std::string& text)
{
    const char* first = lf_numberStart(text);
    float value = 0.0f;
    const char* last = text.c_str() + text.size();
    const auto [end, error] = first != nullptr ? std::from_chars(first, last, value)
                                               : std::from_chars_result{last, std::errc::invalid_argument};
    if (error == std::errc::result_out_of_range)
        throw std::out_of_range("stof argument out of range");
    if (error != std::errc() || !std::isfinite(value))
        throw std::invalid_argument("invalid stof argument");
    return value;
}

bool gf_textBoxEnter(std::uint16_t controlId)
{
    ParameterControl* control = gf_findControl(controlId);
    if (auto* box = dynamic_cast<IntTextBox*>(control))
        gf_intTextBoxEnter(*box);
    else if (auto* box = dynamic_cast<FloatTextBox*>(control))
        gf_floatTextBoxEnter(*box);
    else if (auto* box = dynamic_cast<StringTextBox*>(control))
        gf_stringTextBoxEnter(*box);
    else
        return false;
    return true;
}

void gf_intTextBoxEnter(IntTextBox& box)
{
    gf_clearMessage();
    const std::int32_t oldValue = box.value.load();
    if (lf_processTbInt(box))
        lf_afterIntChange(box, oldValue);
}

void gf_floatTextBoxEnter(FloatTextBox& box)
{
    gf_clearMessage();
    if (staticParkingActive.load() && lf_processTbFloat(box))
        lf_showRespondDelay();
}

void gf_stringTextBoxEnter(StringTextBox& box)
{
    gf_clearMessage();
    if (&box == &BLOCK_CALLSIGN)
        lf_blockCallsign();
    else if (&box == &DESTINATION)
        lf_setDestination();
    else if (&box == &ALL_INSTALL_PATH)
        lf_installPathEntered(lf_getTextBoxText(ALL_INSTALL_PATH));
}

bool lf_processTbInt(IntTextBox& box)
{
    // parameters.xml never holds parking_percentage: each airport file carries its own.
    const bool stored = &box != &parking_percentage;
    const std::string text = lf_boxText(box, kNumberBoxUnits);
    bool changed = false;
    try {
        if (text.empty()) {
            box.value.store(stored ? box.clamp(box.defaultValue) : 0);
            if (stored)
                gf_saveIntParameter(box);
            changed = true;
        } else if (const int number = gf_parseStoi(text); number == box.value.load()) {
            gf_showMessage(fmt::format("Same {} value {}, no changes made", box.name, number), true);
        } else {
            box.setValue(number);
            if (stored)
                gf_saveIntParameter(box);
            changed = true;
        }
    } catch (const std::invalid_argument&) {
        gf_showMessage(fmt::format("invalid input: {}", text), true);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{}: {}, h={} ", "lf_processTbInt", e.what(), text));
    }
    if (changed)
        gf_showMessage(fmt::format("The new {} is {}", box.name, box.value.load()), false);
    gf_updateTextBoxFormatted(box);
    return changed;
}

bool lf_processTbFloat(FloatTextBox& box)
{
    const std::string text = lf_boxText(box, kNumberBoxUnits);
    bool changed = false;
    try {
        if (text.empty()) {
            box.value.store(box.clamp(box.defaultValue));
            MAX_FIT.value.store(MAX_FIT.clamp(MAX_FIT.defaultValue));
            gf_saveIntParameter(MAX_FIT);
            changed = true;
        } else if (const float number = gf_parseStof(text); number == box.value.load()) {
            gf_showMessage(fmt::format("Same {} value {}, no changes made", box.name, number), true);
        } else {
            // The span moves in half hours: MAX_FIT counts half-hour slots minus one.
            const float hours = box.clamp(number);
            MAX_FIT.setValue(static_cast<std::int32_t>(std::lround(2.0f * hours)) - 1);
            gf_saveIntParameter(MAX_FIT);
            box.value.store(box.clamp(static_cast<float>(MAX_FIT.value.load()) * 0.5f + 0.5f));
            changed = true;
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}, h={} ", "lf_processTbFloat", e.what(), text));
    }
    if (changed)
        gf_showMessage(fmt::format("The new {} is {:.1F}", box.name, box.value.load()), false);
    gf_updateTextBoxFloat(box);
    return changed;
}

void lf_showRespondDelay()
{
    if (!staticParkingActive.load())
        return;
    airportParametersChanged.store(true);
    if (INITIAL_LOAD_ONLY.value.load()) {
        gf_clearMessage();
        return;
    }
    const std::uint32_t n = tickCounter.load();
    const std::uint32_t seconds = 15 * (n / 15 + 1) - n;
    gf_showMessage(fmt::format("{} will respond in {} second{} ...", kProductName, seconds, seconds > 1 ? "s" : ""),
                   false);
    parkingRequestFlag.store(true);
}

std::string lf_getTextBoxText(const ParameterControl& control)
{
    return lf_boxText(control, kTextBoxUnits);
}

void lf_installPathEntered(const std::string& text)
{
    gf_clearError();
    if (text.empty()) {
        if (!SIM_INSTALL_PATH.value.empty())
            gf_setParameterString(SIM_INSTALL_PATH, {});
        return;
    }
    std::error_code error;
    const bool exists = std::filesystem::exists(gf_pathFromText(text), error);
    if (error) {
        gf_showMessage(fmt::format("This install path cannot be checked: {} ({})", text, error.message()), true);
    } else if (exists) {
        gf_setParameterString(SIM_INSTALL_PATH, text);
        gf_showMessage(fmt::format("Install path exists, {} will restart", kProductName), true);
        gf_requestExit(ExitReason::RestartIpp, 3);
    } else {
        gf_showMessage(fmt::format("This install path does not exist: {}", text), true);
    }
}

void lf_blockCallsign()
{
    gf_clearMessage();
    const std::string text = lf_getTextBoxText(BLOCK_CALLSIGN);
    if (text.empty()) {
        if (!BLOCK_CALLSIGN.value.empty())
            lf_unblockCallsign();
        return;
    }
    if (text.size() < 4 || text.size() > 8) {
        gf_showMessage(fmt::format("callsign \"{}\" is not valid", text), true);
        gf_updateTextBoxString(BLOCK_CALLSIGN);
        return;
    }
    const std::string callsign = lf_upperAscii(text);
    if (BLOCK_CALLSIGN.value == callsign) {
        gf_showMessage(fmt::format("callsign \"{}\" was already set ...", callsign), true);
        gf_updateTextBoxString(BLOCK_CALLSIGN);
        return;
    }
    gf_setParameterString(BLOCK_CALLSIGN, callsign);
    gf_updateTextBoxString(BLOCK_CALLSIGN);
    gf_enableControl(g_unblockButton);
    gf_showMessage(fmt::format("live aircraft with callsign \"{}\" will be blocked", callsign), true);
    blockRequestFlag.store(true);
}

void lf_unblockCallsign()
{
    const std::string old = BLOCK_CALLSIGN.getValue();
    if (old.empty())
        return;
    gf_setParameterString(BLOCK_CALLSIGN, {});
    gf_updateTextBoxString(BLOCK_CALLSIGN);
    gf_disableControl(g_unblockButton);
    gf_showMessage(fmt::format("no more blocking of live aircraft \"{}\"", old), true);
    blockRequestFlag.store(true);
}

void lf_setDestination()
{
    gf_clearMessage();
    const std::string text = lf_getTextBoxText(DESTINATION);
    if (text.empty()) {
        DESTINATION.value.set({}); // saved by the final exit
        gf_enableControl(g_rereadButton);
        gf_showMessage("destination set to empty", true);
        return;
    }
    if (text.size() != 4) {
        gf_showMessage(fmt::format("destination \"{}\" is not valid", text), true);
        gf_updateTextBoxString(DESTINATION);
        return;
    }
    const std::string code = lf_upperAscii(text);
    if (DESTINATION.value == code) {
        gf_showMessage(fmt::format("destination \"{}\" was already set ...", code), true);
        gf_updateTextBoxString(DESTINATION);
        return;
    }
    if (const std::optional<AirportRecord> airport = gf_findAirport(code)) {
        lf_newDestination(code, LatLon{airport->latitude, airport->longitude});
        return;
    }
    gf_showMessage(fmt::format("destination \"{}\" is unknown ...", code), true);
    gf_updateTextBoxString(DESTINATION);
}
