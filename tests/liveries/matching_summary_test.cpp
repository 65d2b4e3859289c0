// Refused liveries and the matching reports in the log.

#include "app/message_line.h"
#include "core/exceptions.h"
#include "tables_test_fixture.h"

#include <gmock/gmock.h>

using testing::HasSubstr;
using testing::Not;

namespace {

class MatchSummaryTest : public tablestest::TablesTest {
protected:
    static AcDescription refused(const std::string& title, const std::string& type = "A320")
    {
        AcDescription desc;
        desc.airline = "BAW";
        desc.type = type;
        desc.callsign = "BAW12";
        desc.liveryTitle = title;
        return desc;
    }
};

TEST_F(MatchSummaryTest, TheTwentiethRefusedTitleEndsTheRunWithUserError81)
{
    for (int i = 0; i < 18; ++i)
        gf_registerCreateFailure(refused(fmt::format("Broken {}", i)));
    gf_registerCreateFailure(refused("Broken 0")); // the same title counts again
    EXPECT_THAT(logText(), HasSubstr("BAW12 \"Broken 0\" could not be created by your Sim!"));
    EXPECT_THAT(logText(), Not(HasSubstr("Error 81")));
    try {
        gf_registerCreateFailure(refused("Broken 19", "B738"));
        FAIL() << "no user error";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_THAT(e.what(), HasSubstr("there are too many liveries that could not be created by P3D!, see Log.txt"));
    }
    EXPECT_TRUE(gf_isCreateFailure("Broken 19")) << "recorded before the throw";
    EXPECT_THAT(logText(), HasSubstr("\n===> Error 81, there are too many liveries that could not be created by P3D!\n"));

    gf_logMatchingSummary();
    EXPECT_THAT(logText(), HasSubstr("\nCould not be created by P3D:\n  A320 BAW\n  B738 BAW\n****"));
}

TEST_F(MatchSummaryTest, TheSummaryListsTheCountersBetweenBanners)
{
    MatchStepCounters = {3, 0, 1, 0, 0, 7};
    LOG.value = false;
    gf_logMatchingSummary();
    const std::string stars31(31, '*');
    EXPECT_THAT(logText(), HasSubstr("\n\n" + stars31 + " live traffic livery matching summary " + stars31 +
                                     "\nMatches at step: \n  1: 3\n  2: 0\n  3: 1\n  4: 0\n  5: 0\n  6: 7\n" +
                                     std::string(100, '*') + "\n\n"));
    EXPECT_THAT(logText(), Not(HasSubstr("Could not be created")));
}

TEST_F(MatchSummaryTest, TheNoMatchListIsLoggedOnlyWithLog)
{
    NoMatchList = {"DLH A320 D-AIZA", "BAW B744 G-BYGA"};
    LOG.value = false;
    gf_logNoMatchList();
    EXPECT_THAT(logText(), Not(HasSubstr("No match found for: ")));
    LOG.value = true;
    gf_logNoMatchList();
    EXPECT_THAT(logText(), HasSubstr("\nNo match found for: \nBAW B744 G-BYGA\nDLH A320 D-AIZA\n\n"));
    gf_clearNoMatchList();
    EXPECT_TRUE(NoMatchList.empty());
}

} // namespace
