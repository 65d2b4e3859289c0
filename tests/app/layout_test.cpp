// The window's controls as built by the toolkit: where each stands, what it is bound to, and
// how the start-up enables them.

#include "app_fixture.h"

#include "app/application.h"
#include "app/gui_queue.h"
#include "app/message_line.h"
#include "run/exit.h"
#include "run/run_flags.h"
#include "run/startup.h"
#include "support/zip_maker.h"
#include "simlink/sim_client.h"

#include <thread>
#include <vector>

namespace apptest {
namespace {

struct Expected {
    const char* key; // the bound setting's key, or the button's caption
    std::uint16_t id;
    const char* kind;
    int x;
    int y;
    int width;
    int height;
    bool active;  // right after creation
    bool checked; // the default of a check box
};

// The window's layout, written out from the layout and definition tables.
const std::vector<Expected> kLayout = {
    {"ALL_INSTALL_PATH", 32788, "edit box", 111, 119, 1200, 16, false, false},
    {"SCAN_LIVERIES", 32797, "check box", 5, 149, 12, 12, true, true},
    {"LIG_AUTOMATIC", 32798, "check box", 217, 149, 12, 12, true, true},
    {"LIG_PRIORITIZE", 32799, "check box", 430, 149, 12, 12, true, false},
    {"SUPPRESS_STUB", 32801, "check box", 536, 149, 12, 12, true, true},
    {"LOG", 32779, "check box", 652, 149, 12, 12, true, true},
    {"ALWAYS_ON_TOP", 32771, "check box", 748, 149, 12, 12, true, false},
    {"SCAN_AIRPORTS", 32802, "check box", 5, 177, 12, 12, true, true},
    {"AFG_AUTOMATIC", 32803, "check box", 217, 177, 12, 12, true, true},
    {"NAV_LIGHTS_WHILE_PARKED", 32778, "check box", 652, 177, 12, 12, true, true},
    {"LEARN_SOFT", 32777, "check box", 748, 177, 12, 12, true, true},
    {"MATCHING_DEPTH", 32808, "edit box", 217, 203, 24, 16, false, false},
    {"LIGHT_AIRCRAFT", 32809, "check box", 323, 205, 12, 12, true, true},
    {"HELICOPTERS", 32810, "check box", 430, 205, 12, 12, true, true},
    {"HIGH_PERF_AIRCRAFT", 32811, "check box", 536, 205, 12, 12, true, true},
    {"AEROWINX", 32775, "check box", 652, 205, 12, 12, true, false},
    {"GUID_CHANGES", 32773, "check box", 748, 205, 12, 12, true, true},
    {"LATERAL_RANGE", 32818, "edit box", 217, 231, 34, 16, false, false},
    {"AUTO_RANGE", 32819, "check box", 323, 233, 12, 12, true, true},
    {"AUTO_RANGE_ABOVE_HEIGHT", 32820, "edit box", 455, 231, 50, 16, false, false},
    {"COLLISION_USER_GND", 32834, "check box", 217, 289, 12, 12, true, true},
    {"COLLISION_USER_AIR", 32833, "check box", 323, 289, 12, 12, true, true},
    {"COLLISION_LIVE_PARKED_GND", 32835, "check box", 430, 289, 12, 12, true, false},
    {"BLOCK_CALLSIGN", 32828, "edit box", 217, 259, 100, 16, false, false},
    {"Unblock", 32829, "button", 323, 257, 70, 20, false, false},
    {"CUSTOM_MAX_PARK", 32865, "edit box", 353, 315, 34, 16, false, false},
    {"MAX_LIVE", 32821, "edit box", 601, 315, 34, 16, false, false},
    {"DESTINATION", 32840, "edit box", 217, 343, 50, 16, false, false},
    {"AIRPORT_RANGE", 32841, "edit box", 353, 343, 34, 16, false, false},
    {"AIRPORT_HEIGHT", 32842, "edit box", 566, 343, 50, 16, false, false},
    {"STRAIGHT_PBS_ONLY", 32856, "check box", 652, 317, 12, 12, true, false},
    {"PARK_FAKE", 32852, "check box", 5, 373, 12, 12, true, false},
    {"WEEK", 32854, "check box", 71, 373, 12, 12, true, false},
    {"PARK_SOFT", 32851, "check box", 151, 373, 12, 12, true, true},
    {"parking_percentage", 32848, "edit box", 323, 371, 34, 16, false, false},
    {"INITIAL_LOAD_ONLY", 32850, "check box", 430, 373, 12, 12, true, false},
    {"MAX_FIT_FL", 32855, "edit box", 566, 371, 24, 16, false, false},
    {"Re-read", 32838, "button", 758, 341, 90, 20, false, false},
    {"Flush static", 32858, "button", 758, 369, 90, 20, false, false},
};

using LayoutTest = WindowTest;

TEST_F(LayoutTest, EveryControlStandsWhereTheLayoutSaysBoundToItsSetting)
{
    ASSERT_EQ(kLayout.size(), 39u);
    for (const Expected& e : kLayout) {
        SCOPED_TRACE(e.key);
        const std::optional<ControlView> view = gf_viewControl(e.id);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->kind, e.kind);
        EXPECT_EQ(view->x, e.x);
        EXPECT_EQ(view->y, e.y);
        EXPECT_EQ(view->width, e.width);
        EXPECT_EQ(view->height, e.height);
        EXPECT_EQ(view->active, e.active);
        EXPECT_EQ(view->checked, e.checked);
        EXPECT_EQ(view->label, std::string(e.kind) == "button" ? e.key : "");
        EXPECT_EQ(view->text, "");

        ParameterControl* control = gf_findControl(e.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(dynamic_cast<Parameter*>(control)->name, e.key);
        EXPECT_NE(control->hwnd.load(), nullptr);
        EXPECT_EQ(gf_findParameter(e.key), dynamic_cast<Parameter*>(control));
    }
    EXPECT_FALSE(gf_viewControl(MAX_FIT.controlId)) << "MAX_FIT is shown through MAX_FIT_FL only";
    EXPECT_EQ(MAX_FIT.hwnd.load(), nullptr);
}

// The controls after the start-up, which loads the settings and enables its two groups, and
// then waits in the run for a simulator that never comes until the window is closed.
TEST_F(LayoutTest, StartUpLoadsTheSettingsAndEnablesTheControls)
{
    std::filesystem::create_directories(folder.path() / "docs");
    std::filesystem::create_directories(folder.path() / "server");
    testsupport::makeZip(folder.path() / "server" / "dbase.zip",
                         {{"temp2.xml", testsupport::readFile(testsupport::sourceDir() / "tests/liveries/fixtures/dbase/temp2.xml")}});
    std::filesystem::create_directories(g_airportsDbFile.parent_path());
    std::filesystem::copy_file(testsupport::sourceDir() / "data/airports/airports_p3d.xml", g_airportsDbFile);
    // One installed livery in a folder of the manual livery scan.
    const std::filesystem::path aircraft = folder.path() / "ai" / "A321";
    std::filesystem::create_directories(aircraft / "model.demo");
    std::filesystem::create_directories(aircraft / "texture.AAL");
    testsupport::writeFile(aircraft / "A321.air", "air");
    testsupport::writeFile(aircraft / "aircraft.cfg", "[fltsim.0]\ntitle=Demo A321 AAL\nsim=A321\nmodel=demo\n"
                                                      "texture=AAL\natc_parking_codes=AAL\n[General]\n"
                                                      "atc_model=A321\n");
    std::filesystem::create_directories(g_appDataFolder);
    testsupport::writeFile(g_parametersFile, "<?xml version=\"1.0\"?>\n<parameters>\n"
                                             "<parameter name=\"LIG_AUTOMATIC\" value=\"false\"/>\n"
                                             "<parameter name=\"lfolder0\" value=\"" +
                                                 (folder.path() / "ai").string() + "\"/>\n"
                                             "<parameter name=\"LOG\" value=\"false\"/>\n"
                                             "<parameter name=\"MAX_LIVE\" value=\"25\"/>\n"
                                             "<parameter name=\"MAX_FIT\" value=\"3\"/>\n"
                                             "<parameter name=\"BLOCK_CALLSIGN\" value=\"DLH4\"/>\n"
                                             "<parameter name=\"SIM_INSTALL_PATH\" value=\"/sim/P3D v5\"/>\n"
                                             "</parameters>\n");
    std::thread workThread(lf_startUpOrva);
    ASSERT_TRUE(waitFor([] { return gf_simClientThreadRunning(); })) << "the start-up reaches the run";
    gf_requestExit(ExitReason::UserClosedSim, 0);
    workThread.join();
    EXPECT_EQ(exitLogged(), "USER CLOSED SIM");
    gf_drainGuiQueue(); // the work thread's control changes reach the widgets on this thread
    EXPECT_FALSE(messageIsError()) << messageText();

    struct State {
        const ParameterControl* control;
        bool active;
        const char* text; // edit boxes; null for the others
    };
    const std::vector<State> expected = {
        {&ALL_INSTALL_PATH, true, "/sim/P3D v5"},
        {&MATCHING_DEPTH, true, "4"},
        {&LATERAL_RANGE, false, "40"}, // automatic range is on
        {&AUTO_RANGE_ABOVE_HEIGHT, true, "49000"},
        {&BLOCK_CALLSIGN, true, "DLH4"},
        {&g_unblockButton, true, nullptr},
        {&CUSTOM_MAX_PARK, true, "-1"},
        {&MAX_LIVE, true, "25"},
        {&DESTINATION, false, ""},
        {&AIRPORT_RANGE, true, "20"},
        {&AIRPORT_HEIGHT, true, "18000"},
        {&parking_percentage, false, ""},
        {&MAX_FIT_FL, false, ""},
        {&g_rereadButton, true, nullptr},
        {&g_flushStaticButton, false, nullptr},
        {&LEARN_SOFT, false, nullptr},
        {&LIG_PRIORITIZE, true, nullptr},
        {&AUTO_RANGE, true, nullptr},
    };
    for (const State& s : expected) {
        SCOPED_TRACE(dynamic_cast<const Parameter*>(s.control)->name);
        const std::optional<ControlView> view = gf_viewControl(s.control->controlId);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->active, s.active);
        if (s.text != nullptr) {
            EXPECT_EQ(view->text, s.text);
        }
    }
    EXPECT_FALSE(gf_viewControl(LOG.controlId)->checked) << "the loaded value ticks the box";
    EXPECT_EQ(parking_percentage.value.load(), 30);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 2.0f);
    EXPECT_EQ(userMaxLive.load(), 25);
    EXPECT_EQ(manualLateralRange.load(), 40);
    EXPECT_EQ(storedValue("PROGRAM_INSTALL_PATH"), std::filesystem::current_path().string());
}

TEST_F(LayoutTest, WithoutTheDocsFolderTheStartUpStopsWithItsErrorAndNothingIsEnabled)
{
    lf_startUpOrva();
    EXPECT_TRUE(messageIsError());
    EXPECT_EQ(messageText(), "41: Orvanta_P3D must be run from the Orvanta_P3D folder!");
    EXPECT_FALSE(gf_viewControl(MAX_LIVE.controlId)->active);
    EXPECT_FALSE(parametersFileExists());
    EXPECT_EQ(exitLogged(), "") << "a user error does not end the program";
}

} // namespace
} // namespace apptest
