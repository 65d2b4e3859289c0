// Clicks on the check boxes and buttons.

#include "app_fixture.h"

#include "airports/traffic_range.h"
#include "app/command_handler.h"
#include "app/controls.h"
#include "app/gui_queue.h"
#include "app/message_line.h"
#include "run/exit.h"
#include "run/run_flags.h"
#include "support/exit_hold.h"

#include <vector>

namespace apptest {
namespace {

constexpr const char* kKeep = "(message kept)";

class CommandTest : public MemoryPortTest {
protected:
    void SetUp() override
    {
        MemoryPortTest::SetUp();
        layOut();
        gf_openGuiQueue([] {});
        gf_setWindowHooks({[this] { ++redraws; }, [this](bool on) { stayOnTop.push_back(on); }});
        startUpPhaseFlag = false;
    }
    void TearDown() override
    {
        gf_setWindowHooks({});
        gf_closeGuiQueue();
        MemoryPortTest::TearDown();
    }
    bool enabled(const ParameterControl& control) const { return port.find(control.controlId)->enabled; }

    int redraws = 0;
    std::vector<bool> stayOnTop;
};

struct HintCase {
    CheckBox* box;
    const char* whenTicked;   // kKeep: the message line is left alone; "": it is cleared
    const char* whenUnticked;
};

TEST_F(CommandTest, EveryCheckBoxFlipsSavesItsSettingAndShowsItsHint)
{
    const std::vector<HintCase> cases = {
        {&SCAN_LIVERIES,
         "Your liveries will be scanned at the next start of Orvanta_P3D, recommended after you have add/removed AI "
         "aircraft models/liveries",
         ""},
        {&SCAN_AIRPORTS,
         "Your airports will be scanned at the next start of Orvanta_P3D, recommended after you have add/removed "
         "airports",
         ""},
        {&LIG_AUTOMATIC, "", "The liveries defined by your lfolder parameters will be scanned"},
        {&LIG_PRIORITIZE, "Liveries in lower lfolders that are already available will be skipped", ""},
        {&SUPPRESS_STUB, "Exclude FSLTL-liveries titles ending with _STUB from scan", ""},
        {&LOG, kKeep, kKeep},
        {&ALWAYS_ON_TOP, "Orvanta_P3D's window will remain visible", ""},
        {&AFG_AUTOMATIC, "", "The airports defined by your afolder parameters will be scanned"},
        {&NAV_LIGHTS_WHILE_PARKED, kKeep, kKeep},
        {&LEARN_SOFT, kKeep, kKeep},
        {&LIGHT_AIRCRAFT, kKeep, kKeep},
        {&HELICOPTERS, kKeep, kKeep},
        {&HIGH_PERF_AIRCRAFT, kKeep, kKeep},
        {&AEROWINX, "Note: This mode is for Aerowinx PSX users only, please re-start Orvanta_P3D", ""},
        {&GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc.."},
        {&AUTO_RANGE, kKeep, ""},
        {&COLLISION_USER_GND, "", "Be aware, no collision avoidance with user aircraft on the ground"},
        {&COLLISION_USER_AIR, "", "Be aware, no collision avoidance with user aircraft in the air"},
        {&COLLISION_LIVE_PARKED_GND, "", "Be aware, no collision avoidance with live aircraft vs parked static on the ground"},
        {&STRAIGHT_PBS_ONLY, kKeep, kKeep},
        {&PARK_FAKE, kKeep, kKeep}, // no static parking: nothing to recalculate
        {&WEEK, kKeep, kKeep},
        {&PARK_SOFT, kKeep, kKeep},
        {&INITIAL_LOAD_ONLY, "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes",
         ""},
    };
    ASSERT_EQ(cases.size(), 24u) << "every check box of the window";
    for (const HintCase& c : cases) {
        SCOPED_TRACE(c.box->name);
        gf_setCheckMark(*c.box, false);
        c.box->value = false;
        for (const bool on : {true, false}) {
            gf_showMessage("before", false);
            const int redrawsBefore = redraws;
            lf_HandleWMCOMMAND(c.box->controlId);
            gf_drainGuiQueue();
            EXPECT_EQ(c.box->value.load(), on);
            EXPECT_EQ(gf_isCheckMarked(*c.box), on);
            EXPECT_EQ(storedValue(c.box->name), on ? "true" : "false");
            const char* hint = on ? c.whenTicked : c.whenUnticked;
            EXPECT_EQ(messageText(), hint == kKeep ? "before" : hint) << (on ? "ticked" : "unticked");
            EXPECT_GT(redraws, redrawsBefore) << "the control area is repainted";
        }
    }
    EXPECT_EQ(stayOnTop, (std::vector<bool>{true, false}));
    EXPECT_EQ(exitLogged(), "") << "after the start-up a scan option only waits for the next start";
}

TEST_F(CommandTest, AClickOnNoControlOnlyRepaints)
{
    gf_showMessage("before", false);
    const int redrawsBefore = redraws;
    lf_HandleWMCOMMAND(12345);
    lf_HandleWMCOMMAND(MAX_LIVE.controlId); // an edit box's own notification
    gf_drainGuiQueue();
    EXPECT_EQ(messageText(), "before");
    EXPECT_EQ(redraws - redrawsBefore, 2);
    EXPECT_FALSE(parametersFileExists());
}

TEST_F(CommandTest, UnblockButton)
{
    lf_HandleWMCOMMAND(g_unblockButton.controlId);
    EXPECT_EQ(messageText(), "Nothing to block or unblock...");
    EXPECT_FALSE(blockRequestFlag.load());

    BLOCK_CALLSIGN.value = "DLH4";
    gf_enableControl(g_unblockButton);
    lf_HandleWMCOMMAND(g_unblockButton.controlId);
    EXPECT_EQ(BLOCK_CALLSIGN.getValue(), "");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "");
    EXPECT_TRUE(parametersFileExists());
    EXPECT_EQ(messageText(), "no more blocking of live aircraft \"DLH4\"");
    EXPECT_NE(logText().find("no more blocking of live aircraft \"DLH4\"\n"), std::string::npos);
    EXPECT_FALSE(enabled(g_unblockButton));
    EXPECT_TRUE(blockRequestFlag.load());
}

TEST_F(CommandTest, ReReadAndFlushButtonsRaiseTheirRequests)
{
    for (const ParameterControl* c : {static_cast<const ParameterControl*>(&g_rereadButton),
                                      static_cast<const ParameterControl*>(&DESTINATION),
                                      static_cast<const ParameterControl*>(&g_flushStaticButton)})
        gf_enableControl(*c);
    lf_HandleWMCOMMAND(g_rereadButton.controlId);
    EXPECT_TRUE(rereadRequestFlag.load());
    EXPECT_FALSE(enabled(g_rereadButton));
    EXPECT_FALSE(enabled(DESTINATION));
    EXPECT_FALSE(flushStaticRequestFlag.load());

    lf_HandleWMCOMMAND(g_flushStaticButton.controlId);
    EXPECT_TRUE(flushStaticRequestFlag.load());
    EXPECT_FALSE(enabled(g_flushStaticButton));
    EXPECT_EQ(messageText(), "All static parked aircraft will be removed ...");
    EXPECT_FALSE(gf_isCheckMarked(g_flushStaticButton)) << "a push button keeps no mark";
    lf_HandleWMCOMMAND(g_flushStaticButton.controlId);
    EXPECT_EQ(messageText(), "All static parked aircraft will be removed ...") << "it acts at every click";
}

TEST_F(CommandTest, AScanOptionTickedDuringStartUpRestartsAndLeavesTheLiveryTablesToTheWorkThread)
{
    startUpPhaseFlag = true;
    gf_setCheckMark(SCAN_LIVERIES, false);
    {
        testsupport::ExitHold hold; // the restart's countdown would overwrite the message
        lf_HandleWMCOMMAND(SCAN_LIVERIES.controlId);
        EXPECT_EQ(messageText(), "Your liveries will be scanned");
    }
    EXPECT_NE(logText().find("\nYour liveries will be scanned\n"), std::string::npos);
    EXPECT_EQ(exitLogged(), "RESTART_IPP");
    EXPECT_TRUE(liveryTablesResetRequestFlag.load()) << "the work thread empties the tables";

    liveryTablesResetRequestFlag = false;
    startUpPhaseFlag = true;
    gf_setCheckMark(SCAN_AIRPORTS, false);
    {
        testsupport::ExitHold hold;
        lf_HandleWMCOMMAND(SCAN_AIRPORTS.controlId);
        EXPECT_EQ(messageText(), "Your airports will be scanned");
    }
    EXPECT_EQ(exitLogged(), "RESTART_IPP");
    const std::string log = logText();
    EXPECT_NE(log.find("Exiting: RESTART_IPP"), log.rfind("Exiting: RESTART_IPP")) << "a second restart";
    EXPECT_FALSE(liveryTablesResetRequestFlag.load());
}

TEST_F(CommandTest, NavLightsAreSetByTheWorkThreadOnRequest)
{
    lf_HandleWMCOMMAND(NAV_LIGHTS_WHILE_PARKED.controlId);
    EXPECT_FALSE(NAV_LIGHTS_WHILE_PARKED.value.load());
    EXPECT_TRUE(navLightsRequestFlag.load());
}

TEST_F(CommandTest, AutoRangeOffRestoresTheUsersRadiusOnAsksTheWorkThreadToChoose)
{
    // Ticked by default: untick.
    manualLateralRange = 25;
    LATERAL_RANGE.value = 10;
    autoRangeGroundFlag = true;
    trafficRangeRequestFlag = true;
    lf_HandleWMCOMMAND(AUTO_RANGE.controlId);
    EXPECT_FALSE(AUTO_RANGE.value.load());
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25);
    EXPECT_EQ(g_trafficRangeNm.load(), 25.0);
    EXPECT_EQ(g_trafficRangeM.load(), 25 * 1852);
    EXPECT_EQ(gf_controlText(LATERAL_RANGE), "25");
    EXPECT_TRUE(enabled(LATERAL_RANGE));
    EXPECT_FALSE(enabled(AUTO_RANGE_ABOVE_HEIGHT));
    EXPECT_FALSE(autoRangeGroundFlag.load());
    EXPECT_FALSE(trafficRangeRequestFlag.load()) << "a pending automatic choice is dropped";
    EXPECT_TRUE(airportParametersChanged.load());

    airportParametersChanged = false;
    LATERAL_RANGE.value = 33;
    parkAirportList.push_back(ParkAirport{"EDDF", "", {50.03, 8.57}, 0.0});
    lf_HandleWMCOMMAND(AUTO_RANGE.controlId);
    EXPECT_EQ(manualLateralRange.load(), 33);
    EXPECT_FALSE(enabled(LATERAL_RANGE));
    EXPECT_TRUE(enabled(AUTO_RANGE_ABOVE_HEIGHT));
    EXPECT_TRUE(trafficRangeRequestFlag.load());
    EXPECT_EQ(LATERAL_RANGE.value.load(), 33) << "the work thread chooses, not the click";
    EXPECT_TRUE(airportParametersChanged.load());
}

TEST_F(CommandTest, ParkingOptionsWhileStaticParkingRuns)
{
    staticParkingActive = true;
    tickCounter = 31;
    lf_HandleWMCOMMAND(PARK_SOFT.controlId);
    EXPECT_EQ(messageText(), "Orvanta_P3D will respond in 14 seconds ...");
    EXPECT_TRUE(parkingRequestFlag.load());
    EXPECT_TRUE(airportParametersChanged.load());

    airportParametersChanged = false;
    lf_HandleWMCOMMAND(LEARN_SOFT.controlId);
    EXPECT_TRUE(airportParametersChanged.load());

    airportParametersChanged = false;
    parkingRequestFlag = false;
    lf_HandleWMCOMMAND(INITIAL_LOAD_ONLY.controlId);
    EXPECT_TRUE(airportParametersChanged.load());
    lf_HandleWMCOMMAND(WEEK.controlId);
    EXPECT_EQ(messageText(), "") << "initial load only: no recalculation, the line is cleared";
    EXPECT_FALSE(parkingRequestFlag.load());
}

} // namespace
} // namespace apptest
