#include "app/paint.h"

#include "app/controls.h"
#include "app/main_window.h"
#include "app/message_line.h"
#include "core/clock.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "core/version.h"
#include "core/windows_glue.h"
#include "params/names.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "run/run_flags.h"

#include <fmt/format.h>
#include <stdexcept>

const char* const kMakerNotice = "live traffic for Prepar3D v5/v6";

namespace {

// A text's field on its row: from its left edge to where the field to its right begins. A text
// is cut off there, so that a long one never runs under its neighbour.
struct Field {
    int left;
    int right;
};

// Draws a text that converts to UTF-16 as the system's text output needs; one that does not is
// logged and left out.
void lf_textOut(Painter& painter, Field field, int y, const std::string& text, Rgb colour)
{
    try {
        (void)gf_utf8ToUtf16(text);
    } catch (const win32::Utf8ConversionException& e) {
        gf_logf("{} conversion exception {}, error code: {}", text, e.what(), e.errorCode());
        return;
    } catch (const std::overflow_error& e) {
        gf_logf("{} {}", text, e.what());
        return;
    }
    painter.text(field.left, y, field.right, text, colour);
}

void lf_labelOut(Painter& painter, Field field, int y, const std::string& text, bool enabled)
{
    lf_textOut(painter, field, y, text, enabled ? kBlack : kGrey);
}

Rgb lf_yellowWhen(bool on)
{
    return on ? kYellow : kBlack;
}

void lf_paintBackground(Painter& painter)
{
    painter.fillRect(kTitleBand, kBlack);
    painter.fillRect(kStatusArea, kBlack);
    painter.fillRect(kControlArea, kLightBlue);
    painter.fillRect(kParkingBand, kBlack);
    painter.fillRect(kMessageLine, kLime);
    painter.line(0, 28, 880, 28, kWhite);
    painter.line(0, 113, 880, 113, kWhite);
    painter.line(0, 449, 880, 449, kWhite);
    painter.line(0, 392, 880, 392, kWhite);
}

void lf_paintTitleBand(Painter& painter)
{
    lf_textOut(painter, {3, 390}, 7, fmt::format("Version {}", gf_versionText(g_programVersion)), kLime);
    lf_textOut(painter, {390, 632}, 7, std::string(kProductName), kLime);
    lf_textOut(painter, {632, kClientWidth}, 7, kMakerNotice, kLime);
}

void lf_paintSeparators(Painter& painter)
{
    static constexpr int kRows[] = {140, 168, 196, 224, 252, 280, 308};
    for (int y : kRows)
        painter.line(0, y, (y == 140 || y == 308) ? 880 : 642, y, kBlack);
    painter.line(642, 140, 642, 308, kBlack);
}

void lf_paintSimStatus(Painter& painter)
{
    const MainWindow& w = g_mainWindow;
    const bool connected = w.simConnected.load();
    const std::string title = w.userAcTitleText.get();
    const bool good = connected && w.simRunningDisplay.load() && !title.empty();
    const Rgb simColour = good ? kLime : (connected ? kYellow : kRed);
    painter.fillRect(kSimBox, simColour);
    lf_textOut(painter, {398, kSimBox.right}, 63, "Sim", kBlack);
    if (!connected)
        return;
    std::string simLine = w.simNameText.get();
    const std::string stand = w.userStandText.get();
    if (!stand.empty())
        simLine += ", user stand " + stand;
    lf_textOut(painter, {5, kSimBox.left}, 35, simLine, simColour);
    lf_textOut(painter, {5, kSimBox.left}, 63, title, w.userModelFlag.load() ? simColour : kYellow);
}

void lf_paintCounts(Painter& painter)
{
    const MainWindow& w = g_mainWindow;
    if (const std::uint64_t liveries = w.liveryCount.load(); liveries != 0)
        lf_textOut(painter, {5, 141}, 91, fmt::format("# liveries: {}", liveries), kLime);
    else
        lf_textOut(painter, {5, 141}, 91, "# liveries: ...", kRed);
    if (const std::uint64_t simaddon = w.simaddonCount.load(); simaddon != 0)
        lf_textOut(painter, {141, 278}, 91, fmt::format("# {}: {}", "simaddon", simaddon),
                   w.simaddonComplete.load() ? kLime : kYellow);
    else
        lf_textOut(painter, {141, 278}, 91, std::string("# ") + "simaddon" + ": ...", kYellow);
    if (const std::uint64_t thirdp = w.thirdpCount.load(); thirdp != 0)
        lf_textOut(painter, {278, kSimBox.left}, 91, fmt::format("# thirdp: {}", thirdp), kLime);
    else
        lf_textOut(painter, {278, kSimBox.left}, 91, "# thirdp: ...", kYellow);
}

void lf_paintRtStatus(Painter& painter)
{
    const MainWindow& w = g_mainWindow;
    const bool ready = w.rtReady.load();
    const std::uint32_t traffic = w.trafficIndicator.load();
    const std::uint32_t qnh = w.qnhIndicator.load();
    Rgb boxColour = kRed;
    if (w.rtPendingFlag.load())
        boxColour = kBlack;
    else if (ready)
        boxColour = traffic == 1 ? kLime : kYellow;
    painter.fillRect(kRtBox, boxColour);
    lf_textOut(painter, {430, kRtBox.right}, 63, "RT", kBlack);
    if (ready) {
        lf_textOut(painter, {458, kClientWidth}, 35, w.rtVersionText.get(), kLime);
        if (qnh != 3)
            lf_textOut(painter, {458, 642}, 63, "Weather", qnh == 1 ? kLime : kYellow);
        if (traffic != 3)
            lf_textOut(painter, {458, 642}, 91, "Traffic", traffic == 1 ? kLime : kYellow);
    }
    painter.line(425, 29, 425, 112, kBlack);
}

void lf_paintStatusColumn(Painter& painter)
{
    lf_paintSimStatus(painter);
    lf_paintCounts(painter);
    lf_paintRtStatus(painter);
}

void lf_paintReaderValues(Painter& painter)
{
    const MainWindow& w = g_mainWindow;
    if (!w.rtReady.load())
        return;
    const std::uint32_t qnh = w.qnhIndicator.load();
    if (qnh == 1 || qnh == 2) {
        const std::int32_t value = w.qnhDisplay.load();
        lf_textOut(painter, {642, kClientWidth}, 63, value < 1 ? std::string() : fmt::format("qnh: {:4}", value), kLime);
    }
    const std::uint32_t traffic = w.trafficIndicator.load();
    if (traffic == 1 || traffic == 2)
        lf_textOut(painter, {642, kClientWidth}, 91, fmt::format("live: {:3}", w.liveCount.load()), kLime);
}

void lf_paintOptionLabels(Painter& painter)
{
    lf_textOut(painter, {672, 748}, AEROWINX.rowY, "Aerowinx", lf_yellowWhen(AEROWINX.value.load()));
    lf_textOut(painter, {672, 748}, LOG.rowY, "Log", kBlack);
    lf_textOut(painter, {768, kClientWidth}, ALWAYS_ON_TOP.rowY, "Stay on top", lf_yellowWhen(ALWAYS_ON_TOP.value.load()));
    lf_textOut(painter, {768, kClientWidth}, LEARN_SOFT.rowY, "Learn Soft", kBlack);
    lf_textOut(painter, {672, 748}, NAV_LIGHTS_WHILE_PARKED.rowY, "Nav lights", kBlack);
    lf_textOut(painter, {768, kClientWidth}, GUID_CHANGES.rowY, "GUID changes", GUID_CHANGES.value.load() ? kBlack : kYellow);
    lf_textOut(painter, {5, 111}, ALL_INSTALL_PATH.rowY, "Install path:", kBlack);
}

void lf_paintScanLabels(Painter& painter)
{
    lf_textOut(painter, {25, 217}, LIG_AUTOMATIC.rowY, "Scan for liveries", lf_yellowWhen(SCAN_LIVERIES.value.load()));
    lf_textOut(painter, {237, 430}, LIG_AUTOMATIC.rowY, "Automatic", kBlack);
    lf_textOut(painter, {450, 536}, LIG_PRIORITIZE.rowY, "Prioritize", kBlack);
    lf_textOut(painter, {556, 642}, SUPPRESS_STUB.rowY, "Stub", kBlack);
    lf_textOut(painter, {25, 217}, SCAN_AIRPORTS.rowY, "Scan for addon airports", lf_yellowWhen(SCAN_AIRPORTS.value.load()));
    lf_textOut(painter, {237, 323}, AFG_AUTOMATIC.rowY, "Automatic", kBlack);
    if (const std::uint64_t airports = g_mainWindow.addonScanAirportCount.load(); airports > 0)
        lf_textOut(painter, {323, 642}, SCAN_AIRPORTS.rowY,
                   fmt::format("{} airport{} in {} folder", airports, airports == 1 ? "" : "s",
                               g_mainWindow.addonScanFolderText.get()),
                   kYellow);
}

void lf_paintTrafficLabels(Painter& painter)
{
    lf_textOut(painter, {5, 217}, MATCHING_DEPTH.rowY, "Max aircraft matching depth", kBlack);
    lf_textOut(painter, {253, 323}, LIGHT_AIRCRAFT.rowY, "Optional:", kBlack);
    lf_labelOut(painter, {343, 430}, LIGHT_AIRCRAFT.rowY, "Light aircraft", gf_isControlEnabled(LIGHT_AIRCRAFT));
    lf_labelOut(painter, {450, 536}, HELICOPTERS.rowY, "Helicopters", gf_isControlEnabled(HELICOPTERS));
    lf_labelOut(painter, {556, 642}, HIGH_PERF_AIRCRAFT.rowY, "FighterJets", gf_isControlEnabled(HIGH_PERF_AIRCRAFT));
    lf_textOut(painter, {5, 167}, LATERAL_RANGE.rowY, "Traffic injection", kBlack);
    lf_textOut(painter, {167, 217}, LATERAL_RANGE.rowY, "radius:", kBlack);
    lf_textOut(painter, {260, 323}, LATERAL_RANGE.rowY, "nm,  or", kBlack);
    lf_textOut(painter, {343, 430}, AUTO_RANGE.rowY, "auto range", kBlack);
    const bool autoRange = AUTO_RANGE.value.load();
    lf_labelOut(painter, {430, 455}, AUTO_RANGE_ABOVE_HEIGHT.rowY, "ah:", autoRange);
    lf_labelOut(painter, {510, 642}, AUTO_RANGE_ABOVE_HEIGHT.rowY, "ft", autoRange);
    lf_textOut(painter, {5, 172}, BLOCK_CALLSIGN.rowY, "Callsigns", kBlack);
    lf_textOut(painter, {172, 217}, BLOCK_CALLSIGN.rowY, "block:", kBlack);
    lf_textOut(painter, {5, 217}, COLLISION_USER_GND.rowY, "Collision avoidance", kBlack);
    lf_textOut(painter, {237, 323}, COLLISION_USER_GND.rowY, "User ground", kBlack);
    lf_textOut(painter, {343, 430}, COLLISION_USER_AIR.rowY, "User air", kBlack);
    lf_textOut(painter, {450, 642}, COLLISION_LIVE_PARKED_GND.rowY, "Live X parked", kBlack);
}

void lf_paintParkingLabels(Painter& painter)
{
    const bool busy = parkingBusyFlag.load();
    lf_textOut(painter, {5, 217}, CUSTOM_MAX_PARK.rowY, fmt::format("Airport parking{}", busy ? " active" : ""),
               lf_yellowWhen(busy));
    lf_textOut(painter, {217, 353}, CUSTOM_MAX_PARK.rowY, "generic max park:",
               CUSTOM_MAX_PARK.value.load() == CUSTOM_MAX_PARK.defaultValue ? kGrey : kYellow);
    lf_textOut(painter, {536, 601}, MAX_LIVE.rowY, "max live:",
               MAX_LIVE.value.load() == MAX_LIVE.defaultValue ? kGrey : kYellow);
    lf_textOut(painter, {672, kClientWidth}, STRAIGHT_PBS_ONLY.rowY, "Straight push backs only",
               STRAIGHT_PBS_ONLY.value.load() ? kBlack : kGrey);
    lf_textOut(painter, {139, 217}, DESTINATION.rowY, "destination:", kBlack);
    lf_textOut(painter, {303, 353}, AIRPORT_RANGE.rowY, "range:", kBlack);
    lf_textOut(painter, {393, 440}, AIRPORT_RANGE.rowY, "nm", kBlack);
    lf_textOut(painter, {440, 566}, AIRPORT_HEIGHT.rowY, "height above gnd:", kBlack);
    lf_textOut(painter, {621, 758}, AIRPORT_HEIGHT.rowY, "ft", kBlack);
    const std::uint32_t countdown = g_mainWindow.renewalCountdown.load();
    if (staticParkingActive.load() && !busy && !INITIAL_LOAD_ONLY.value.load() && countdown >= 1 && countdown <= 19)
        lf_textOut(painter, {5, 139}, AIRPORT_RANGE.rowY, fmt::format("(next in {} min)", countdown), kBlack);
    lf_textOut(painter, {25, 71}, PARK_FAKE.rowY, "Fake", kBlack);
    lf_textOut(painter, {91, 151}, WEEK.rowY, "Week", kBlack);
    lf_textOut(painter, {171, 264}, PARK_SOFT.rowY, "Soft", kBlack);
    lf_textOut(painter, {264, 323}, parking_percentage.rowY, "wanted: ", kBlack);
    lf_textOut(painter, {363, 430}, parking_percentage.rowY, "%", kBlack);
    lf_textOut(painter, {450, 506}, INITIAL_LOAD_ONLY.rowY, "ILO", lf_yellowWhen(INITIAL_LOAD_ONLY.value.load()));
    lf_textOut(painter, {506, 566}, MAX_FIT_FL.rowY, "Max fit:", kBlack);
}

void lf_paintControlLabels(Painter& painter)
{
    lf_paintOptionLabels(painter);
    lf_paintScanLabels(painter);
    lf_paintTrafficLabels(painter);
    lf_paintParkingLabels(painter);
}

void lf_paintParkingInfo(Painter& painter)
{
    const AirportRecord airport = gf_parkAirport();
    if (airport.code.empty())
        return;
    const MainWindow& w = g_mainWindow;
    const int row1 = w.parkingInfoY.load();
    const int row2 = row1 + 28;
    const bool fileOk = w.parkFileOk.load();
    lf_textOut(painter, {5, 85}, row1, gf_airportText(airport), fileOk ? kLime : kYellow);
    if (!fileOk)
        return;
    lf_textOut(painter, {85, 370}, row1,
               fmt::format(" {}, {}{}, wk={}", w.parkFileText.get(), w.airportFileText.get(),
                           w.hFlag.load() ? " (h)" : "", w.airportFileWeek.load()),
               kLime);
    lf_textOut(painter, {370, 430}, row1, w.staticRenewalFlag.load() ? "*S*" : "", kLime);
    lf_textOut(painter, {430, 571}, row1, fmt::format("qf: {}", w.qualityText.get()), kLime);
    if (const std::string reserved = w.reservedStandText.get(); !reserved.empty())
        lf_textOut(painter, {571, 748}, row1, fmt::format("reserved stand: {}", reserved),
                   w.reservedStandOk.load() ? kLime : kRed);
    lf_textOut(painter, {748, kClientWidth}, row1, fmt::format("# updates: {:4}", w.updateCount.load()), kLime);

    lf_textOut(painter, {5, 111}, row2, fmt::format("# stands: {:3}", w.standCount.load()), kLime);
    lf_textOut(painter, {111, 249}, row2, fmt::format("parked live: {:3}", w.parkedLiveCount.load()), kLime);
    if (const float fit = w.liveAverageFit.load(); fit > 0)
        lf_textOut(painter, {249, 430}, row2, fmt::format("average fit: {}", gf_formatNumber(fit)), kLime);
    const std::int32_t maxPark = w.maxParkCount.load();
    if (maxPark > 0) {
        lf_textOut(painter, {430, 571}, row2, fmt::format("parked static: {:3}", w.parkedStaticCount.load()), kLime);
        if (const float fit = w.staticAverageFit.load(); !WEEK.value.load() && fit > 0)
            lf_textOut(painter, {571, 708}, row2, fmt::format("average fit: {}", gf_formatNumber(fit)), kLime);
    }
    if (maxPark != 0)
        lf_textOut(painter, {708, kClientWidth}, row2, fmt::format("max park: {:3} (={} %)", maxPark, w.maxParkPercent.load()), kLime);
    else
        lf_textOut(painter, {708, kClientWidth}, row2, "no max park live", kLime);
}

void lf_paintMessageLine(Painter& painter)
{
    const MessageLineState line = gf_messageLineState();
    painter.fillRect(kMessageLine, line.isError ? kRed : kLime);
    if (!line.text.empty())
        lf_textOut(painter, {3, kClientWidth}, 455, line.text, kYellow);
}

} // namespace

void gf_paintMainWindow(Painter& painter)
{
    lf_paintBackground(painter);
    lf_paintTitleBand(painter);
    lf_paintSeparators(painter);
    lf_paintStatusColumn(painter);
    lf_paintReaderValues(painter);
    lf_paintControlLabels(painter);
    lf_paintParkingInfo(painter);
    lf_paintMessageLine(painter);
}
