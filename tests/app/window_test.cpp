// The window's threading and its life cycle: the GUI queue, calls from other threads, the
// application messages, the close box and the saved position.

#include "app_fixture.h"

#include "app/app_messages.h"
#include "app/application.h"
#include "app/gui_queue.h"
#include "app/message_line.h"
#include "params/parameter_store.h"
#include "run/exit.h"
#include "run/run_flags.h"
#include "support/test_seams.h"

#include <thread>
#include <vector>

namespace apptest {
namespace {

TEST(GuiQueue, TasksFromOtherThreadsRunOnTheGuiThreadInOrderWithOneWakePerBatch)
{
    std::atomic<int> wakes{0};
    gf_openGuiQueue([&wakes] { ++wakes; });
    const std::thread::id gui = std::this_thread::get_id();
    std::vector<int> ran;
    bool ranOnGui = true;
    std::thread other([&] {
        for (int i = 0; i < 100; ++i)
            EXPECT_TRUE(gf_runOnGui([&, i] {
                ran.push_back(i);
                ranOnGui = ranOnGui && std::this_thread::get_id() == gui;
            }));
    });
    other.join();
    EXPECT_TRUE(ran.empty()) << "nothing runs before the GUI thread drains";
    EXPECT_EQ(wakes.load(), 1);
    EXPECT_EQ(gf_drainGuiQueue(), 100u);
    ASSERT_EQ(ran.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(ranOnGui);

    gf_postToGui([] {});
    EXPECT_EQ(wakes.load(), 2) << "a new batch wakes again";
    bool direct = false;
    EXPECT_TRUE(gf_runOnGui([&direct] { direct = true; }));
    EXPECT_TRUE(direct) << "on the GUI thread a window call runs at once";

    gf_closeGuiQueue();
    EXPECT_FALSE(gf_postToGui([] { ADD_FAILURE(); }));
    EXPECT_FALSE(gf_runOnGui([] { ADD_FAILURE(); }));
    EXPECT_EQ(gf_drainGuiQueue(), 0u);
}

TEST(GuiQueue, WithoutAWindowEveryWindowCallIsANoOp)
{
    ASSERT_FALSE(gf_guiQueueOpen());
    gf_invalidateStatusArea();
    gf_invalidateParkingBand();
    gf_setStayOnTop(true);
    gf_postAppMessage(AppMessage::FinalExit);
    EXPECT_EQ(gf_drainGuiQueue(), 0u);
    EXPECT_FALSE(gf_quitPosted());
}

TEST_F(WindowTest, ControlCallsFromAnotherThreadReachTheWidgetsThroughTheQueue)
{
    wakes = 0;
    std::thread work([] {
        gf_enableControl(MAX_LIVE);
        gf_setControlText(MAX_LIVE, "17");
        gf_setCheckMark(LOG, false);
        for (int i = 0; i < 1000; ++i)
            gf_invalidateStatusArea();
        // The kept state answers at once, without waiting for the GUI thread.
        EXPECT_EQ(gf_controlText(MAX_LIVE), "17");
        EXPECT_FALSE(gf_isCheckMarked(LOG));
    });
    work.join();
    std::optional<ControlView> box = gf_viewControl(MAX_LIVE.controlId);
    EXPECT_FALSE(box->active) << "the widget is the GUI thread's";
    EXPECT_EQ(box->text, "");
    EXPECT_TRUE(gf_viewControl(LOG.controlId)->checked);
    EXPECT_EQ(wakes.load(), 1);

    EXPECT_LE(gf_drainGuiQueue(), 4u) << "the repaints ride on one queued redraw";
    box = gf_viewControl(MAX_LIVE.controlId);
    EXPECT_TRUE(box->active);
    EXPECT_EQ(box->text, "17");
    EXPECT_FALSE(gf_viewControl(LOG.controlId)->checked);
}

TEST_F(WindowTest, TypingAndClickingGoThroughTheWidgets)
{
    gf_enableControl(MAX_LIVE);
    gf_typeIntoControl(MAX_LIVE.controlId, "abc");
    EXPECT_EQ(gf_controlText(MAX_LIVE), "abc") << "the typed text is kept for every thread";
    gf_pressEnterInControl(MAX_LIVE.controlId);
    EXPECT_EQ(messageText(), "invalid input: abc");
    EXPECT_EQ(gf_viewControl(MAX_LIVE.controlId)->text, "-1");

    gf_typeIntoControl(MAX_LIVE.controlId, "12");
    gf_pressEnterInControl(MAX_LIVE.controlId);
    EXPECT_EQ(MAX_LIVE.value.load(), 12);
    EXPECT_EQ(storedValue("MAX_LIVE"), "12");

    gf_clickControl(LOG.controlId);
    EXPECT_FALSE(LOG.value.load());
    EXPECT_FALSE(gf_viewControl(LOG.controlId)->checked);
    EXPECT_EQ(storedValue("LOG"), "false");
    gf_clickControl(LOG.controlId);
    EXPECT_TRUE(gf_viewControl(LOG.controlId)->checked);

    gf_clickControl(g_flushStaticButton.controlId); // disabled: no effect
    EXPECT_FALSE(flushStaticRequestFlag.load());
}

TEST_F(WindowTest, TheCloseBoxRequestsTheExitAndEscapeDoesNothing)
{
    gf_pressEscape();
    EXPECT_EQ(messageText(), "");
    EXPECT_EQ(exitLogged(), "");

    gf_clickCloseBox();
    EXPECT_EQ(messageText(), "Close window button clicked, closing Orvanta_P3D ...");
    EXPECT_EQ(logText().find("Close window button clicked"), std::string::npos) << "shown, not logged";
    EXPECT_EQ(exitLogged(), "USER CLOSED SIM");
    EXPECT_TRUE(gf_viewControl(LOG.controlId)) << "the window stays";
    EXPECT_FALSE(gf_quitPosted());
}

TEST_F(WindowTest, TheFinalExitSavesThePositionClosesTheLogAndEndsTheLoop)
{
    MAIN_WINDOW_X.value = 400;
    std::thread exitThread([] { gf_postAppMessage(AppMessage::FinalExit); });
    exitThread.join();
    EXPECT_FALSE(gf_quitPosted());
    EXPECT_EQ(wakes.load(), 1);
    gf_drainGuiQueue();
    EXPECT_TRUE(gf_quitPosted());
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "400");
    EXPECT_EQ(storedValue("MAIN_WINDOW_Y"), "20");
    EXPECT_FALSE(gf_logIsOpen());
    const std::string log = logText();
    const std::size_t lastLine = log.rfind('\n', log.size() - 2);
    ASSERT_NE(lastLine, std::string::npos);
    // "Www Mmm dd hh:mm:ss yyyy"
    EXPECT_EQ(log.size() - lastLine - 2, 24u) << log.substr(lastLine);
}

TEST_F(WindowTest, TheStartUpMessageStartsTheWorkThread)
{
    // Without the docs folder the work thread stops at once with its error.
    gf_postAppMessage(AppMessage::StartUp);
    EXPECT_TRUE(waitFor([] {
        gf_drainGuiQueue();
        return gf_messageLineState().isError;
    }));
    EXPECT_EQ(messageText(), "41: Orvanta_P3D must be run from the Orvanta_P3D folder!");
}

TEST_F(AppTest, TheSavedWindowPositionIsKeptOffTheLimits)
{
    std::filesystem::create_directories(g_appDataFolder);
    testsupport::writeFile(g_parametersFile, "<?xml version=\"1.0\"?>\n<parameters>\n"
                                             "<parameter name=\"MAIN_WINDOW_X\" value=\"-30000\"/>\n"
                                             "<parameter name=\"MAIN_WINDOW_Y\" value=\"123\"/>\n"
                                             "</parameters>\n");
    gf_readWindowPosition();
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), 400);
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "400");
    EXPECT_EQ(MAIN_WINDOW_Y.value.load(), 123);

    MAIN_WINDOW_X.value = 250;
    gf_storeWindowPosition(-40000, 77);
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), 250) << "the edge beyond the limit keeps the old value";
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "250");
    EXPECT_EQ(storedValue("MAIN_WINDOW_Y"), "77");

    std::filesystem::remove(g_parametersFile);
    MAIN_WINDOW_X.value = 400;
    gf_readWindowPosition();
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), 400) << "no file: the position stays";
    EXPECT_FALSE(parametersFileExists());
}

} // namespace
} // namespace apptest
