// Enter in the edit boxes: valid input is taken, invalid input is refused with its message.

#include "app_fixture.h"

#include "params/park_airport.h"

#include "app/controls.h"
#include "app/message_line.h"
#include "app/text_boxes.h"
#include "run/exit.h"
#include "run/run_flags.h"
#include "support/exit_hold.h"

#include <vector>

namespace apptest {
namespace {

class TextBoxTest : public MemoryPortTest {
protected:
    void SetUp() override
    {
        MemoryPortTest::SetUp();
        layOut();
    }
    // Types the text into the box and presses Enter.
    void enter(const ParameterControl& box, const std::string& text)
    {
        gf_setControlText(box, text);
        ASSERT_TRUE(gf_textBoxEnter(box.controlId));
    }
    bool enabled(const ParameterControl& control) const { return port.find(control.controlId)->enabled; }
};

struct IntCase {
    IntTextBox* box;
    std::int32_t before;
    const char* typed;
    std::int32_t after;
    const char* stored; // parameters.xml afterwards; "" = not written
    const char* message;
    const char* shown; // the box's text afterwards
};

TEST_F(TextBoxTest, IntBoxes)
{
    const std::vector<IntCase> cases = {
        {&MATCHING_DEPTH, 2, "7", 4, "4", "The new MATCHING_DEPTH is 4", "4"},
        {&MAX_LIVE, -1, " 25xyz", 25, "25", "The new MAX_LIVE is 25", "25"},
        {&MAX_LIVE, -1, "abc", -1, "", "invalid input: abc", "-1"},
        {&AIRPORT_RANGE, 20, "20", 20, "", "Same AIRPORT_RANGE value 20, no changes made", "20"},
        {&AIRPORT_HEIGHT, 18000, "+5000", 5000, "5000", "The new AIRPORT_HEIGHT is 5000", "5000"},
        {&AIRPORT_HEIGHT, 18000, "99999999999", 18000, "", "", "18000"},
        {&CUSTOM_MAX_PARK, 10, "", -1, "-1", "The new CUSTOM_MAX_PARK is -1", "-1"},
        {&parking_percentage, 30, "", 0, "", "The new parking_percentage is 0", "0"},
        {&parking_percentage, 30, "55", 55, "", "The new parking_percentage is 55", "55"},
        {&AUTO_RANGE_ABOVE_HEIGHT, 49000, "1", 18000, "18000", "The new AUTO_RANGE_ABOVE_HEIGHT is 18000", "18000"},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(std::string(c.box->name) + " <- \"" + c.typed + "\"");
        std::filesystem::remove(g_parametersFile);
        c.box->value = c.before;
        enter(*c.box, c.typed);
        EXPECT_EQ(c.box->value.load(), c.after);
        EXPECT_EQ(storedValue(c.box->name), c.stored);
        EXPECT_EQ(messageText(), c.message);
        EXPECT_EQ(gf_controlText(*c.box), c.shown);
    }
    const std::string log = logText();
    EXPECT_NE(log.find("\ninvalid input: abc\n"), std::string::npos);
    EXPECT_NE(log.find("\nSame AIRPORT_RANGE value 20, no changes made\n"), std::string::npos);
    EXPECT_NE(log.find("\n===> lf_processTbInt: stoi argument out of range, h=99999999999 \n"), std::string::npos);
    EXPECT_EQ(log.find("The new MAX_LIVE is 25"), std::string::npos) << "a change is shown, not logged";
}

TEST_F(TextBoxTest, IntBoxesRaiseWhatTheirChangeNeeds)
{
    MATCHING_DEPTH.value = 4;
    enter(MATCHING_DEPTH, "7");
    EXPECT_FALSE(matchingDepthChangedFlag.load()) << "4 is no raise";
    MATCHING_DEPTH.value = 2;
    enter(MATCHING_DEPTH, "3");
    EXPECT_TRUE(matchingDepthChangedFlag.load());

    enter(LATERAL_RANGE, "150");
    EXPECT_EQ(LATERAL_RANGE.value.load(), 100);
    EXPECT_EQ(g_trafficRangeNm.load(), 100.0);
    EXPECT_EQ(g_trafficRangeM.load(), 185200);
    EXPECT_TRUE(airportParametersChanged.load());

    // MAX_LIVE: the user's own limit outside static parking; the live aircraft beyond it are
    // removed by the work thread.
    airportParametersChanged = false;
    enter(MAX_LIVE, "40");
    EXPECT_EQ(userMaxLive.load(), 40);
    EXPECT_FALSE(airportParametersChanged.load());
    EXPECT_TRUE(maxLiveRequestFlag.load());
    maxLiveRequestFlag = false;
    staticParkingActive = true;
    enter(MAX_LIVE, "60");
    EXPECT_EQ(userMaxLive.load(), 40) << "the park airport's limit is not the user's";
    EXPECT_TRUE(airportParametersChanged.load());
    EXPECT_TRUE(maxLiveRequestFlag.load());
    maxLiveRequestFlag = false;
    enter(MAX_LIVE, "60");
    EXPECT_FALSE(maxLiveRequestFlag.load()) << "no change, no request";
}

TEST_F(TextBoxTest, ParkingBoxesTellWhenTheyTakeEffect)
{
    struct Case {
        std::uint32_t tick;
        const char* message;
    };
    staticParkingActive = true;
    for (const Case& c : {Case{30, "Orvanta_P3D will respond in 15 seconds ..."},
                          Case{44, "Orvanta_P3D will respond in 1 second ..."},
                          Case{0, "Orvanta_P3D will respond in 15 seconds ..."}}) {
        tickCounter = c.tick;
        parkingRequestFlag = false;
        enter(CUSTOM_MAX_PARK, std::to_string(c.tick + 1));
        EXPECT_EQ(messageText(), c.message);
        EXPECT_TRUE(parkingRequestFlag.load());
    }
    parkingRequestFlag = false;
    enter(CUSTOM_MAX_PARK, "");
    EXPECT_EQ(CUSTOM_MAX_PARK.value.load(), -1);
    EXPECT_EQ(storedValue("CUSTOM_MAX_PARK"), "-1");
    EXPECT_TRUE(parkingRequestFlag.load());

    INITIAL_LOAD_ONLY.value = true;
    parkingRequestFlag = false;
    enter(parking_percentage, "40");
    EXPECT_EQ(messageText(), "");
    EXPECT_FALSE(parkingRequestFlag.load());
    EXPECT_TRUE(airportParametersChanged.load());
}

TEST_F(TextBoxTest, MaxFitMovesInHalfHoursWhileStaticParkingRuns)
{
    enter(MAX_FIT_FL, "12.3");
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 24.0f) << "no static parking: Enter only clears the line";
    EXPECT_FALSE(parametersFileExists());

    staticParkingActive = true;
    INITIAL_LOAD_ONLY.value = true; // keeps the change message on the line
    gf_setControlText(MAX_FIT_FL, "12.3");
    EXPECT_TRUE(lf_processTbFloat(MAX_FIT_FL));
    EXPECT_EQ(MAX_FIT.value.load(), 24);
    EXPECT_EQ(storedValue("MAX_FIT"), "24");
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 12.5f);
    EXPECT_EQ(gf_controlText(MAX_FIT_FL), "12.5");
    EXPECT_EQ(messageText(), "The new MAX_FIT_FL is 12.5");

    gf_setControlText(MAX_FIT_FL, "12.5");
    EXPECT_FALSE(lf_processTbFloat(MAX_FIT_FL));
    EXPECT_EQ(messageText(), "Same MAX_FIT_FL value 12.5, no changes made");

    for (const char* bad : {"abc", "nan", "inf", "1e50"}) {
        gf_clearMessage();
        gf_setControlText(MAX_FIT_FL, bad);
        EXPECT_FALSE(lf_processTbFloat(MAX_FIT_FL)) << bad;
        EXPECT_EQ(messageText(), "") << bad;
        EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 12.5f);
    }
    EXPECT_NE(logText().find("\nlf_processTbFloat: invalid stof argument, h=abc \n"), std::string::npos);
    EXPECT_NE(logText().find("\nlf_processTbFloat: stof argument out of range, h=1e50 \n"), std::string::npos);

    gf_setControlText(MAX_FIT_FL, "0.1");
    EXPECT_TRUE(lf_processTbFloat(MAX_FIT_FL));
    EXPECT_EQ(MAX_FIT.value.load(), 0);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 0.5f);

    gf_setControlText(MAX_FIT_FL, "");
    EXPECT_TRUE(lf_processTbFloat(MAX_FIT_FL));
    EXPECT_EQ(MAX_FIT.value.load(), 47);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 24.0f);
    EXPECT_EQ(gf_controlText(MAX_FIT_FL), "24");
}

TEST_F(TextBoxTest, BlockedCallsign)
{
    enter(BLOCK_CALLSIGN, "abc");
    EXPECT_EQ(messageText(), "callsign \"abc\" is not valid");
    EXPECT_EQ(gf_controlText(BLOCK_CALLSIGN), "");
    enter(BLOCK_CALLSIGN, "ABCDEFGHI");
    EXPECT_EQ(messageText(), "callsign \"ABCDEFGHI\" is not valid");
    EXPECT_FALSE(blockRequestFlag.load());

    enter(BLOCK_CALLSIGN, "dlh4a");
    EXPECT_EQ(BLOCK_CALLSIGN.getValue(), "DLH4A");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "DLH4A");
    EXPECT_EQ(gf_controlText(BLOCK_CALLSIGN), "DLH4A");
    EXPECT_TRUE(enabled(g_unblockButton));
    EXPECT_EQ(messageText(), "live aircraft with callsign \"DLH4A\" will be blocked");
    EXPECT_TRUE(blockRequestFlag.load());

    blockRequestFlag = false;
    enter(BLOCK_CALLSIGN, "Dlh4a");
    EXPECT_EQ(messageText(), "callsign \"DLH4A\" was already set ...");
    EXPECT_FALSE(blockRequestFlag.load());

    enter(BLOCK_CALLSIGN, "");
    EXPECT_EQ(BLOCK_CALLSIGN.getValue(), "");
    EXPECT_EQ(messageText(), "no more blocking of live aircraft \"DLH4A\"");
    EXPECT_FALSE(enabled(g_unblockButton));
    EXPECT_TRUE(blockRequestFlag.load());

    const std::string log = logText();
    for (const char* line : {"callsign \"abc\" is not valid", "live aircraft with callsign \"DLH4A\" will be blocked",
                             "callsign \"DLH4A\" was already set ...", "no more blocking of live aircraft \"DLH4A\""})
        EXPECT_NE(log.find(std::string("\n") + line + "\n"), std::string::npos) << line;
}

TEST_F(TextBoxTest, Destination)
{
    DESTINATION.value = "LOWW";
    enter(DESTINATION, "edd");
    EXPECT_EQ(messageText(), "destination \"edd\" is not valid");
    EXPECT_EQ(gf_controlText(DESTINATION), "LOWW");
    enter(DESTINATION, "loww");
    EXPECT_EQ(messageText(), "destination \"LOWW\" was already set ...");
    enter(DESTINATION, "zzzz");
    EXPECT_EQ(messageText(), "destination \"ZZZZ\" is unknown ...");
    EXPECT_EQ(gf_controlText(DESTINATION), "LOWW");
    EXPECT_FALSE(gf_takeDestinationRequest());

    enter(DESTINATION, "");
    EXPECT_EQ(DESTINATION.getValue(), "");
    EXPECT_TRUE(enabled(g_rereadButton));
    EXPECT_EQ(messageText(), "destination set to empty");
    EXPECT_FALSE(parametersFileExists()) << "the final exit saves the empty destination";
}

TEST_F(TextBoxTest, ANewDestinationGoesToTheWorkThreadWhichOwnsTheParkAirportList)
{
    gf_enableControl(g_rereadButton);
    lf_newDestination("EDDF", LatLon{50.033, 8.570});
    EXPECT_EQ(DESTINATION.getValue(), "EDDF");
    EXPECT_EQ(storedValue("DESTINATION"), "EDDF");
    EXPECT_EQ(gf_controlText(DESTINATION), "EDDF");
    EXPECT_EQ(messageText(), "New destination: EDDF");
    EXPECT_FALSE(enabled(g_rereadButton));
    EXPECT_TRUE(parkAirportList.empty()) << "the window does not touch the work thread's list";
    const std::optional<DestinationRequest> request = gf_takeDestinationRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->code, "EDDF");
    EXPECT_DOUBLE_EQ(request->position.latitude, 50.033);
    EXPECT_DOUBLE_EQ(request->position.longitude, 8.570);
    EXPECT_FALSE(gf_takeDestinationRequest()) << "taken once";
}

TEST_F(TextBoxTest, InstallPath)
{
    gf_showError("151: No P3D install path detected");
    enter(ALL_INSTALL_PATH, (folder.path() / "nope").string());
    EXPECT_FALSE(messageIsError()) << "the Enter clears the error";
    EXPECT_EQ(messageText(), "This install path does not exist: " + (folder.path() / "nope").string());
    EXPECT_EQ(exitLogged(), "");

    testsupport::ExitHold hold; // the restart's countdown would overwrite the message
    enter(ALL_INSTALL_PATH, folder.path().string());
    EXPECT_EQ(SIM_INSTALL_PATH.getValue(), folder.path().string());
    EXPECT_EQ(storedValue("SIM_INSTALL_PATH"), folder.path().string());
    EXPECT_EQ(messageText(), "Install path exists, Orvanta_P3D will restart");
    hold.release();
    EXPECT_EQ(exitLogged(), "RESTART_IPP");

    enter(ALL_INSTALL_PATH, "");
    EXPECT_EQ(SIM_INSTALL_PATH.getValue(), "");
    EXPECT_EQ(storedValue("SIM_INSTALL_PATH"), "");
}

TEST_F(TextBoxTest, ParkingControlLock)
{
    for (ParameterControl* control : gf_parkingControls())
        gf_enableControl(*control);
    gf_showMessage("before", false);
    gf_disableParkingControls();
    EXPECT_TRUE(parkingBusyFlag.load());
    EXPECT_EQ(messageText(), "");
    for (ParameterControl* control : gf_parkingControls())
        EXPECT_FALSE(enabled(*control)) << dynamic_cast<Parameter*>(control)->name;

    gf_enableParkingControls();
    EXPECT_FALSE(parkingBusyFlag.load());
    EXPECT_EQ(g_mainWindow.renewalCountdown.load(), 19u);
    for (ParameterControl* control : gf_parkingControls())
        EXPECT_TRUE(enabled(*control)) << dynamic_cast<Parameter*>(control)->name;
}

TEST(NumberParsing, LikeTheStandardConversionsWithTheirTexts)
{
    struct Case {
        const char* text;
        int value;
        const char* error; // null: parsed
    };
    for (const Case& c : std::vector<Case>{{" 42abc", 42, nullptr},
                                           {"+7", 7, nullptr},
                                           {"\t-3", -3, nullptr},
                                           {"+-3", 0, "invalid stoi argument"},
                                           {"abc", 0, "invalid stoi argument"},
                                           {" ", 0, "invalid stoi argument"},
                                           {"2147483648", 0, "stoi argument out of range"}}) {
        if (c.error == nullptr) {
            EXPECT_EQ(gf_parseStoi(c.text), c.value) << c.text;
            continue;
        }
        try {
            gf_parseStoi(c.text);
            ADD_FAILURE() << c.text;
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), c.error) << c.text;
        }
    }
    EXPECT_FLOAT_EQ(gf_parseStof(" 12.3h"), 12.3f);
    EXPECT_FLOAT_EQ(gf_parseStof("+.5"), 0.5f);
    EXPECT_THROW(gf_parseStof("nan"), std::invalid_argument);
    EXPECT_THROW(gf_parseStof("-inf"), std::invalid_argument);
    EXPECT_THROW(gf_parseStof("1e40"), std::out_of_range);
}

} // namespace
} // namespace apptest
