// What the window paints for a given state, recorded instead of drawn.

#include "app_fixture.h"

#include "app/controls.h"
#include "app/message_line.h"
#include "app/paint.h"
#include "params/park_airport.h"
#include "run/run_flags.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace apptest {
namespace {

struct TextOp {
    int x;
    int y;
    int right; // where the text is cut off
    std::string text;
    Rgb colour;
};
struct FillOp {
    PaintRect rect;
    Rgb colour;
};

class RecordingPainter : public Painter {
public:
    void fillRect(const PaintRect& rect, Rgb colour) override { fills.push_back({rect, colour}); }
    void line(int x1, int y1, int x2, int y2, Rgb colour) override { lines.push_back({x1, y1, x2, y2, colour}); }
    void text(int x, int y, int right, const std::string& text, Rgb colour) override
    {
        texts.push_back({x, y, right, text, colour});
    }

    std::optional<TextOp> textAt(int x, int y) const
    {
        const auto it = std::find_if(texts.begin(), texts.end(), [&](const TextOp& t) { return t.x == x && t.y == y; });
        return it == texts.end() ? std::nullopt : std::optional<TextOp>(*it);
    }
    std::optional<TextOp> find(const std::string& text) const
    {
        const auto it = std::find_if(texts.begin(), texts.end(), [&](const TextOp& t) { return t.text == text; });
        return it == texts.end() ? std::nullopt : std::optional<TextOp>(*it);
    }
    // The colour of the last fill of exactly that rectangle.
    std::optional<Rgb> fillOf(const PaintRect& rect) const
    {
        std::optional<Rgb> colour;
        for (const FillOp& f : fills) {
            if (f.rect == rect)
                colour = f.colour;
        }
        return colour;
    }
    std::vector<TextOp> textsIn(const PaintRect& rect) const
    {
        std::vector<TextOp> inside;
        for (const TextOp& t : texts) {
            if (t.y >= rect.top && t.y < rect.bottom)
                inside.push_back(t);
        }
        return inside;
    }

    std::vector<FillOp> fills;
    struct LineOp {
        int x1, y1, x2, y2;
        Rgb colour;
    };
    std::vector<LineOp> lines;
    std::vector<TextOp> texts;
};

class PaintTest : public MemoryPortTest {
protected:
    RecordingPainter paint()
    {
        RecordingPainter painter;
        gf_paintMainWindow(painter);
        return painter;
    }
    // The text drawn at (x, y) and its colour, or "-" when nothing is drawn there.
    std::string at(const RecordingPainter& p, int x, int y) const
    {
        const std::optional<TextOp> t = p.textAt(x, y);
        return t ? t->text : "-";
    }
};

void expectText(const RecordingPainter& p, int x, int y, const std::string& text, Rgb colour)
{
    const std::optional<TextOp> t = p.textAt(x, y);
    ASSERT_TRUE(t) << "nothing at " << x << "," << y << ", expected " << text;
    EXPECT_EQ(t->text, text);
    EXPECT_EQ(t->colour, colour) << text;
}

TEST_F(PaintTest, AtStartTheAreasTitleAndEmptyIndicators)
{
    layOut();
    const RecordingPainter p = paint();
    ASSERT_GE(p.fills.size(), 5u);
    EXPECT_EQ(p.fills[0].rect, kTitleBand);
    EXPECT_EQ(p.fills[0].colour, kBlack);
    EXPECT_EQ(p.fills[1].rect, kStatusArea);
    EXPECT_EQ(p.fills[1].colour, kBlack);
    EXPECT_EQ(p.fills[2].rect, kControlArea);
    EXPECT_EQ(p.fills[2].colour, kLightBlue);
    EXPECT_EQ(p.fills[3].rect, kParkingBand);
    EXPECT_EQ(p.fills[3].colour, kBlack);
    EXPECT_EQ(p.fillOf(kMessageLine), kLime);

    expectText(p, 3, 7, "Version 10.9.8", kLime);
    expectText(p, 390, 7, "Orvanta_P3D", kLime);
    expectText(p, 632, 7, kMakerNotice, kLime);

    EXPECT_EQ(p.fillOf(kSimBox), kRed);
    expectText(p, 398, 63, "Sim", kBlack);
    EXPECT_EQ(at(p, 5, 35), "-") << "no simulator line while not connected";
    expectText(p, 5, 91, "# liveries: ...", kRed);
    expectText(p, 141, 91, "# simaddon: ...", kYellow);
    expectText(p, 278, 91, "# thirdp: ...", kYellow);
    EXPECT_EQ(p.fillOf(kRtBox), kBlack) << "the traffic client is not yet reached";
    EXPECT_EQ(at(p, 458, 35), "-");
    EXPECT_EQ(at(p, 642, 63), "-");

    EXPECT_TRUE(p.textsIn(kParkingBand).empty()) << "no park airport, nothing in the band";
    EXPECT_TRUE(p.textsIn(kMessageLine).empty());
    const int whiteLines = static_cast<int>(
        std::count_if(p.lines.begin(), p.lines.end(), [](const auto& l) { return l.colour == kWhite; }));
    EXPECT_EQ(whiteLines, 4);
}

TEST_F(PaintTest, SimulatorIndicatorFollowsConnectionFlightAndUserAircraft)
{
    struct Case {
        bool connected, running, modelKnown;
        const char* title;
        Rgb box;
        Rgb titleColour;
    };
    const std::vector<Case> cases = {
        {true, false, true, "Boeing 737", kYellow, kYellow},  // flight not running
        {true, true, true, "", kYellow, kYellow},             // no title yet
        {true, true, true, "Boeing 737", kLime, kLime},       // all good
        {true, true, false, "Boeing 737", kLime, kYellow},    // model unknown
    };
    g_mainWindow.simNameText = "Lockheed Martin Prepar3D v5";
    g_mainWindow.userStandText = "A12";
    for (const Case& c : cases) {
        g_mainWindow.simConnected = c.connected;
        g_mainWindow.simRunningDisplay = c.running;
        g_mainWindow.userModelFlag = c.modelKnown;
        g_mainWindow.userAcTitleText = c.title;
        const RecordingPainter p = paint();
        EXPECT_EQ(p.fillOf(kSimBox), c.box) << c.title;
        expectText(p, 5, 35, "Lockheed Martin Prepar3D v5, user stand A12", c.box);
        expectText(p, 5, 63, c.title, c.titleColour);
    }
    g_mainWindow.userStandText = "";
    expectText(paint(), 5, 35, "Lockheed Martin Prepar3D v5", kLime);
}

TEST_F(PaintTest, TrafficClientIndicatorsAndReaderValues)
{
    MainWindow& w = g_mainWindow;
    w.rtPendingFlag = false;
    EXPECT_EQ(paint().fillOf(kRtBox), kRed) << "past the client but not ready";

    w.rtReady = true;
    w.rtVersionText = "RealTraffic 10.0.150 (pro)";
    w.trafficIndicator = 1;
    w.qnhIndicator = 2;
    w.qnhDisplay = 1013;
    w.liveCount = 7;
    RecordingPainter p = paint();
    EXPECT_EQ(p.fillOf(kRtBox), kLime);
    expectText(p, 430, 63, "RT", kBlack);
    expectText(p, 458, 35, "RealTraffic 10.0.150 (pro)", kLime);
    expectText(p, 458, 63, "Weather", kYellow);
    expectText(p, 458, 91, "Traffic", kLime);
    expectText(p, 642, 63, "qnh: 1013", kLime);
    expectText(p, 642, 91, "live:   7", kLime);

    w.trafficIndicator = 3;
    w.qnhDisplay = 0;
    p = paint();
    EXPECT_EQ(p.fillOf(kRtBox), kYellow);
    EXPECT_EQ(at(p, 458, 91), "-") << "a stopped reader shows no label";
    EXPECT_EQ(at(p, 642, 91), "-");
    expectText(p, 642, 63, "", kLime); // no QNH yet: an empty text

    w.liveryCount = 1234;
    w.simaddonCount = 5;
    w.simaddonComplete = false;
    w.thirdpCount = 2;
    p = paint();
    expectText(p, 5, 91, "# liveries: 1234", kLime);
    expectText(p, 141, 91, "# simaddon: 5", kYellow);
    expectText(p, 278, 91, "# thirdp: 2", kLime);
}

TEST_F(PaintTest, ControlLabelsFollowTheirSettings)
{
    layOut();
    RecordingPainter p = paint();
    expectText(p, 25, 147, "Scan for liveries", kYellow);
    expectText(p, 25, 175, "Scan for addon airports", kYellow);
    expectText(p, 768, 147, "Stay on top", kBlack);
    expectText(p, 768, 203, "GUID changes", kBlack);
    expectText(p, 343, 203, "Light aircraft", kBlack);
    expectText(p, 430, 231, "ah:", kBlack);
    expectText(p, 260, 231, "nm,  or", kBlack);
    expectText(p, 5, 315, "Airport parking", kBlack);
    expectText(p, 217, 315, "generic max park:", kGrey);
    expectText(p, 536, 315, "max live:", kGrey);
    expectText(p, 672, 315, "Straight push backs only", kGrey);
    expectText(p, 264, 371, "wanted: ", kBlack);
    EXPECT_EQ(at(p, 323, 175), "-") << "no add-on airports counted";
    EXPECT_EQ(at(p, 5, 343), "-") << "no renewal countdown without static parking";

    SCAN_LIVERIES.value = false;
    ALWAYS_ON_TOP.value = true;
    GUID_CHANGES.value = false;
    AUTO_RANGE.value = false;
    MAX_LIVE.value = 50;
    CUSTOM_MAX_PARK.value = 20;
    STRAIGHT_PBS_ONLY.value = true;
    INITIAL_LOAD_ONLY.value = true;
    gf_disableControl(LIGHT_AIRCRAFT);
    parkingBusyFlag = true;
    g_mainWindow.addonScanAirportCount = 1;
    g_mainWindow.addonScanFolderText = "TBLO";
    p = paint();
    expectText(p, 25, 147, "Scan for liveries", kBlack);
    expectText(p, 768, 147, "Stay on top", kYellow);
    expectText(p, 768, 203, "GUID changes", kYellow);
    expectText(p, 343, 203, "Light aircraft", kGrey);
    expectText(p, 450, 203, "Helicopters", kBlack);
    expectText(p, 430, 231, "ah:", kGrey);
    expectText(p, 510, 231, "ft", kGrey);
    expectText(p, 5, 315, "Airport parking active", kYellow);
    expectText(p, 217, 315, "generic max park:", kYellow);
    expectText(p, 536, 315, "max live:", kYellow);
    expectText(p, 672, 315, "Straight push backs only", kBlack);
    expectText(p, 450, 371, "ILO", kYellow);
    expectText(p, 323, 175, "1 airport in TBLO folder", kYellow);
    g_mainWindow.addonScanAirportCount = 3;
    expectText(paint(), 323, 175, "3 airports in TBLO folder", kYellow);
}

TEST_F(PaintTest, RenewalCountdownOnlyWhileStaticParkingRunsWithRenewals)
{
    struct Case {
        bool parking, busy, initialLoadOnly;
        std::uint32_t countdown;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {true, false, false, 5, "(next in 5 min)"}, {true, false, false, 19, "(next in 19 min)"},
        {true, false, false, 20, "-"},              {true, false, false, 0, "-"},
        {true, true, false, 5, "-"},                {true, false, true, 5, "-"},
        {false, false, false, 5, "-"},
    };
    for (const Case& c : cases) {
        staticParkingActive = c.parking;
        parkingBusyFlag = c.busy;
        INITIAL_LOAD_ONLY.value = c.initialLoadOnly;
        g_mainWindow.renewalCountdown = c.countdown;
        EXPECT_EQ(at(paint(), 5, 343), c.shown) << c.countdown;
    }
}

TEST_F(PaintTest, ParkingBand)
{
    gf_setParkAirport(AirportRecord{"EDDF", "FRA", 50.03, 8.57, 364});
    MainWindow& w = g_mainWindow;
    RecordingPainter p = paint();
    ASSERT_EQ(p.textsIn(kParkingBand).size(), 1u) << "stands not loaded: the airport alone";
    expectText(p, 5, 399, "EDDF (FRA)", kYellow);

    w.parkFileOk = true;
    w.parkFileText = "park_airport.xml";
    w.airportFileText = "EDDF.xml";
    w.hFlag = true;
    w.airportFileWeek = 23;
    w.qualityText = "0.87";
    w.updateCount = 12;
    w.standCount = 250;
    w.parkedLiveCount = 4;
    w.liveAverageFit = 2.5f;
    p = paint();
    expectText(p, 5, 399, "EDDF (FRA)", kLime);
    expectText(p, 85, 399, " park_airport.xml, EDDF.xml (h), wk=23", kLime);
    expectText(p, 370, 399, "", kLime);
    expectText(p, 430, 399, "qf: 0.87", kLime);
    EXPECT_EQ(at(p, 571, 399), "-") << "no reserved stand";
    expectText(p, 748, 399, "# updates:   12", kLime);
    expectText(p, 5, 427, "# stands: 250", kLime);
    expectText(p, 111, 427, "parked live:   4", kLime);
    expectText(p, 249, 427, "average fit: 2.5", kLime);
    EXPECT_EQ(at(p, 430, 427), "-") << "no static count without a max park";
    expectText(p, 708, 427, "no max park live", kLime);

    w.staticRenewalFlag = true;
    w.reservedStandText = "V155";
    w.maxParkCount = 12;
    w.maxParkPercent = 30;
    w.parkedStaticCount = 3;
    w.staticAverageFit = 3.0f;
    p = paint();
    expectText(p, 370, 399, "*S*", kLime);
    expectText(p, 571, 399, "reserved stand: V155", kRed);
    expectText(p, 430, 427, "parked static:   3", kLime);
    expectText(p, 571, 427, "average fit: 3", kLime);
    expectText(p, 708, 427, "max park:  12 (=30 %)", kLime);
    WEEK.value = true;
    EXPECT_EQ(at(paint(), 571, 427), "-") << "no static average with the week pattern";
}

// Every place where a field begins or a box ends on the row of a text at y: the other texts'
// left edges, the controls, the boxes' edges and the column lines that cross the row.
std::vector<int> fieldEdgesOnRow(const RecordingPainter& p, const MemoryControlPort& port, int y)
{
    constexpr int kTextHeight = 14;
    const auto crossesRow = [&](int top, int bottom) { return top < y + kTextHeight && bottom > y; };
    std::vector<int> edges;
    for (const TextOp& t : p.texts) {
        if (t.y == y)
            edges.push_back(t.x);
    }
    for (const ControlLayout& entry : gf_controlLayout()) {
        const ControlPlacement placement = port.find(entry.control->controlId)->placement;
        if (crossesRow(placement.y, placement.y + placement.height))
            edges.push_back(placement.x);
    }
    for (const FillOp& f : p.fills) {
        if (f.rect.right - f.rect.left < kClientWidth && crossesRow(f.rect.top, f.rect.bottom)) {
            edges.push_back(f.rect.left);
            edges.push_back(f.rect.right);
        }
    }
    for (const RecordingPainter::LineOp& l : p.lines) {
        if (l.x1 == l.x2 && crossesRow(std::min(l.y1, l.y2), std::max(l.y1, l.y2)))
            edges.push_back(l.x1);
    }
    return edges;
}

// A long stand-file text ran under "qf:" beside it: each text is cut off where the next field of
// its row begins, with every text of the window shown.
TEST_F(PaintTest, EachTextEndsWhereTheNextFieldOfItsRowBegins)
{
    layOut();
    MainWindow& w = g_mainWindow;
    const std::string longText(200, 'W');
    w.simConnected = true;
    w.simNameText = longText;
    w.userStandText = longText;
    w.userAcTitleText = longText;
    w.liveryCount = 123456789;
    w.simaddonCount = 123456789;
    w.thirdpCount = 123456789;
    w.rtPendingFlag = false;
    w.rtReady = true;
    w.rtVersionText = longText;
    w.trafficIndicator = 1;
    w.qnhIndicator = 1;
    w.qnhDisplay = 1013;
    w.addonScanAirportCount = 12;
    w.addonScanFolderText = longText;
    staticParkingActive = true;
    w.renewalCountdown = 5;
    gf_setParkAirport(AirportRecord{"KLAX", "LAX", 33.94, -118.41, 125});
    w.parkFileOk = true;
    w.parkFileText = "Los Angeles Intl (stands of the recorded traffic)";
    w.airportFileText = longText;
    w.staticRenewalFlag = true;
    w.qualityText = longText;
    w.reservedStandText = longText;
    w.liveAverageFit = 2.5f;
    w.maxParkCount = 12;
    w.staticAverageFit = 3.0f;
    gf_showMessage(longText, false);
    const RecordingPainter p = paint();
    ASSERT_EQ(p.texts.size(), 76u) << "every text of the window is drawn";
    for (const TextOp& t : p.texts) {
        int next = kClientWidth;
        for (int edge : fieldEdgesOnRow(p, port, t.y)) {
            if (edge > t.x)
                next = std::min(next, edge);
        }
        EXPECT_EQ(t.right, next) << "\"" << t.text.substr(0, 30) << "\" at " << t.x << "," << t.y;
    }
}

TEST_F(PaintTest, MessageLineColours)
{
    RecordingPainter p = paint();
    EXPECT_EQ(p.fillOf(kMessageLine), kLime);
    EXPECT_EQ(at(p, 3, 455), "-");

    gf_showMessage("hello", false);
    p = paint();
    EXPECT_EQ(p.fillOf(kMessageLine), kLime);
    expectText(p, 3, 455, "hello", kYellow);

    gf_showError("12: broken");
    p = paint();
    EXPECT_EQ(p.fillOf(kMessageLine), kRed);
    expectText(p, 3, 455, "12: broken", kYellow);
}

TEST_F(PaintTest, ATextThatIsNoValidUtf8IsLoggedNotDrawn)
{
    g_mainWindow.simConnected = true;
    g_mainWindow.simNameText = "bad \xff name";
    const RecordingPainter p = paint();
    EXPECT_EQ(at(p, 5, 35), "-");
    EXPECT_NE(logText().find("bad \xff name conversion exception"), std::string::npos);
    EXPECT_NE(logText().find(", error code: 1113"), std::string::npos);
}

} // namespace
} // namespace apptest
