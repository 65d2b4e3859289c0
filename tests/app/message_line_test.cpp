#include "app_fixture.h"

#include "app/message_line.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "run/exit.h"
#include "support/params_fixture.h"
#include "support/test_seams.h"

#include <gtest/gtest.h>

#include <new>

namespace {

class MessageLine : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        gf_clearError();
        gf_resetMessageLineClock();
    }
    std::string log() const { return apptest::logFileText(folder.path() / "Log.txt"); }
};

void ticks(int n)
{
    for (int i = 0; i < n; ++i)
        gf_messageLineTick();
}

} // namespace

TEST_F(MessageLine, MessagesTimeOutAfter25TicksErrorsStay)
{
    gf_showMessage("hello", true);
    EXPECT_EQ(gf_messageLineState().messageStamp, 1u) << "a counter of 0 stamps 1";
    ticks(24);
    EXPECT_EQ(gf_messageLineState().text, "hello");
    ticks(1);
    EXPECT_EQ(gf_messageLineState().secondsCounter, 25u);
    EXPECT_EQ(gf_messageLineState().text, "hello");
    ticks(1); // the counter reaches 26
    EXPECT_EQ(gf_messageLineState().text, "");

    ticks(74); // counter 100
    gf_showMessage("at 100", false);
    ticks(24);
    EXPECT_EQ(gf_messageLineState().text, "at 100");
    ticks(1);
    EXPECT_EQ(gf_messageLineState().text, "");

    gf_showError("broken");
    ticks(100);
    EXPECT_EQ(gf_messageLineState().text, "broken");
    EXPECT_TRUE(gf_messageLineState().isError);
}

TEST_F(MessageLine, AnErrorBlocksMessagesAndClearsThePendingOne)
{
    gf_showMessage("pending", true);
    gf_showError("bad thing");
    gf_showMessage("while error", true);
    gf_clearMessage();
    EXPECT_EQ(gf_messageLineState().text, "bad thing");
    gf_clearError();
    EXPECT_EQ(gf_messageLineState().text, "") << "the old message does not come back";
    EXPECT_FALSE(gf_messageLineState().isError);

    gf_showMessage("", true);
    EXPECT_EQ(gf_messageLineState().messageStamp, 0u);
    const std::string text = log();
    EXPECT_NE(text.find("\npending\nError bad thing\n"), std::string::npos);
    EXPECT_EQ(text.find("while error"), std::string::npos);
}

TEST_F(MessageLine, ExceptionReportByKind)
{
    struct Case {
        std::function<void()> raise;
        const char* shown;
        bool endsProgram;
    };
    const std::vector<Case> cases{
        {[] { throw qmx::UserErrorException(12, "fix it"); }, "12: fix it", false},
        {[] { throw qmx::SysErrorException(40, "disk"); }, "mainLoop: sys error 40: disk", true},
        {[] { throw fmt::format_error("bad width"); }, "std::format error: bad width", false},
        {[] { throw std::bad_alloc(); }, "mainLoop: std::bad_alloc", true},
        {[] { throw std::out_of_range("idx"); }, "mainLoop: idx", true},
        {[] { throw std::logic_error("logic"); }, "mainLoop: logic", true},
        {[] { throw 42; }, "Unknown exception", false},
    };
    gf_setExitTimings({std::chrono::milliseconds(1), std::chrono::milliseconds(1), std::chrono::milliseconds(1),
                       std::chrono::milliseconds(1)});
    for (const Case& c : cases) {
        gf_clearError();
        try {
            c.raise();
        } catch (...) {
            gf_reportException("mainLoop");
        }
        EXPECT_EQ(gf_messageLineState().text, c.shown);
        EXPECT_TRUE(gf_messageLineState().isError);
        ASSERT_TRUE(gf_waitForExitIdle(std::chrono::seconds(10)));
        const bool exited = log().find("Exiting: SYSTEM ERROR\n") != std::string::npos;
        EXPECT_EQ(exited, c.endsProgram) << c.shown;
        EXPECT_NE(log().find(std::string("Error ") + c.shown + "\n"), std::string::npos);
        gf_closeLog(); // a fresh log for the next case
        gf_openLog();
    }
    gf_setExitTimings({});
}

TEST_F(MessageLine, TheSinkIsToldOfEveryChange)
{
    int notified = 0;
    gf_setMessageLineSink([&notified] { ++notified; });
    gf_showMessage("a", false);
    gf_showError("b");
    gf_clearError();
    gf_setMessageLineSink(nullptr);
    EXPECT_EQ(notified, 3);
    EXPECT_EQ(log().find("\na\n"), std::string::npos) << "with a sink, an unlogged message stays unlogged";
    gf_showMessage("without window", false);
    EXPECT_NE(log().find("\nwithout window\n"), std::string::npos);
}
