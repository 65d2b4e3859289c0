// The binding of settings to their controls through the control port.

#include "support/params_fixture.h"

namespace paramstest {
namespace {

using ControlsTest = ParamsTest;

TEST_F(ControlsTest, ControlsAreMadeWhereTheirRowsSay)
{
    ALWAYS_ON_TOP.value = true;
    ASSERT_TRUE(gf_createCheckBox(ALWAYS_ON_TOP, 748));
    ASSERT_TRUE(gf_createCheckBox(AEROWINX, 652));
    ASSERT_TRUE(gf_createButton(g_unblockButton, 323, 70));
    ASSERT_TRUE(gf_createEditBox(MAX_LIVE, 601, 34));

    const auto check = port.find(ALWAYS_ON_TOP.controlId);
    ASSERT_TRUE(check);
    EXPECT_EQ(check->placement.kind, ControlKind::CheckBox);
    EXPECT_EQ(check->placement.x, 748);
    EXPECT_EQ(check->placement.y, 147 + 2);
    EXPECT_EQ(check->placement.width, 12);
    EXPECT_EQ(check->placement.height, 12);
    EXPECT_TRUE(check->checked);
    EXPECT_TRUE(check->enabled);
    EXPECT_FALSE(port.find(AEROWINX.controlId)->checked);

    const auto button = port.find(g_unblockButton.controlId);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->placement.kind, ControlKind::Button);
    EXPECT_EQ(button->placement.caption, "Unblock");
    EXPECT_EQ(button->placement.y, 257);
    EXPECT_EQ(button->placement.width, 70);
    EXPECT_EQ(button->placement.height, 20);
    EXPECT_FALSE(button->enabled);

    const auto box = port.find(MAX_LIVE.controlId);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->placement.kind, ControlKind::EditBox);
    EXPECT_EQ(box->placement.y, 315);
    EXPECT_EQ(box->placement.height, 16);
    EXPECT_EQ(box->text, "");
    EXPECT_FALSE(box->enabled);

    gf_enableControl(MAX_LIVE);
    EXPECT_TRUE(port.find(MAX_LIVE.controlId)->enabled);
    gf_disableControl(MAX_LIVE);
    EXPECT_FALSE(port.find(MAX_LIVE.controlId)->enabled);
    gf_setCheckMark(AEROWINX, true);
    EXPECT_TRUE(gf_isCheckMarked(AEROWINX));
}

TEST_F(ControlsTest, BoxWritersShowTheValues)
{
    ASSERT_TRUE(gf_createEditBox(CUSTOM_MAX_PARK, 353, 34));
    ASSERT_TRUE(gf_createEditBox(MAX_FIT_FL, 566, 24));
    ASSERT_TRUE(gf_createEditBox(BLOCK_CALLSIGN, 217, 100));
    gf_updateTextBoxFormatted(CUSTOM_MAX_PARK);
    EXPECT_EQ(gf_controlText(CUSTOM_MAX_PARK), "-1");
    MAX_FIT_FL.value = 12.5f;
    gf_updateTextBoxFloat(MAX_FIT_FL);
    EXPECT_EQ(gf_controlText(MAX_FIT_FL), "12.5");
    MAX_FIT_FL.value = 24.0f;
    gf_updateTextBoxFloat(MAX_FIT_FL);
    EXPECT_EQ(gf_controlText(MAX_FIT_FL), "24");

    BLOCK_CALLSIGN.value = "KLM1";
    gf_updateTextBoxString(BLOCK_CALLSIGN);
    EXPECT_EQ(gf_controlText(BLOCK_CALLSIGN), "KLM1");
    // A text that is no UTF-8 is logged and not shown.
    BLOCK_CALLSIGN.value = std::string("K\xFFM");
    gf_updateTextBoxString(BLOCK_CALLSIGN);
    EXPECT_EQ(gf_controlText(BLOCK_CALLSIGN), "KLM1");
    EXPECT_NE(logText().find("Invalid UTF-8 sequence found in input string."), std::string::npos);
}

TEST_F(ControlsTest, WithoutWindowNothingHappens)
{
    gf_setControlPort(nullptr);
    EXPECT_FALSE(gf_createCheckBox(LOG, 652));
    EXPECT_EQ(LOG.hwnd.load(), nullptr);
    gf_setCheckMark(LOG, true);
    EXPECT_FALSE(gf_isCheckMarked(LOG));
    EXPECT_EQ(gf_controlText(LATERAL_RANGE), "");
    gf_setControlPort(&port);
    // A setting whose control was never made is left alone as well.
    gf_updateTextBoxFormatted(LATERAL_RANGE);
    EXPECT_EQ(port.size(), 0u);
}

} // namespace
} // namespace paramstest
