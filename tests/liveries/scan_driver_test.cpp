// The livery scan driver: folders and their priorities, which files start scan tasks, the
// prioritized mode, the saved result and the errors of an empty scan.

#include "app/main_window.h"
#include "core/exceptions.h"
#include "core/scan_throttle.h"
#include "liveries/scanned_liveries_file.h"
#include "platform/paths.h"
#include "run/exit.h"
#include "scan_driver_fixture.h"

#include <gmock/gmock.h>
#include <thread>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;

namespace {

TEST_F(ScanDriverTest, ManualFoldersAreScannedSavedAndReadBack)
{
    liveries("lib1/SimObjects/a320", "A320", {"BAW one"});
    liveries("lib2/b738", "B738", {"DLH 738"}, "AIRCRAFT.CFG");
    liveries("lib2/b744", "B744", {"BAW 744"}, "Sim.Cfg");
    liveries("lib2/old", "B744", {"BAW 744 old"}, "aircraft.cfg.bak");
    liveries("lib2/airports/inside", "A320", {"BAW hidden"});
    liveries("lib2/x/Airports/inside", "A320", {"BAW shown"}); // "airport" in lower case only is skipped
    testsupport::writeFile("plainfile", "x");
    lfolder1.value.set("missing");
    lfolder2.value.set("LIB1"); // a Windows text: the lookup ignores letter case
    lfolder3.value.set("plainfile");
    lfolder4.value.set("lib2");
    gf_scanLiveries();

    EXPECT_FALSE(SCAN_LIVERIES.value.load());
    EXPECT_THAT(testsupport::readFile(parametersFile()), HasSubstr(R"(name="SCAN_LIVERIES" value="false")"));
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
    EXPECT_TRUE(std::filesystem::exists(g_liveriesScannedFile));
    EXPECT_THAT(indexedTitles(), ElementsAre("BAW 744", "BAW one", "BAW shown", "DLH 738"));
    EXPECT_EQ(g_mainWindow.liveryCount.load(), 4U);
    EXPECT_TRUE(liveryTablesBuilt);
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("liveries scan manual starts"));
    EXPECT_THAT(log, HasSubstr("missing does not exist, skipped!"));
    EXPECT_THAT(log, HasSubstr("plainfile is not a folder name, skipped!"));
    // The folder as this system names it: Linux finds the text's folder ignoring letter case.
    EXPECT_THAT(log, HasSubstr("1 liverie found in " + platform::windowsPathToLocal("LIB1").string() + "\n"));
    EXPECT_THAT(log, HasSubstr("3 liveries found in lib2\n"));
    EXPECT_THAT(log, HasSubstr("4 in total"));
    EXPECT_THAT(log, HasSubstr("liveries scan ends"));
}

TEST_F(ScanDriverTest, PrioritizedScanKeepsTheBestFolderOfEachAirlineAndModel)
{
    liveries("first/a320", "A320", {"BAW first"});
    liveries("third/a320", "A320", {"BAW third"});
    liveries("third/b744", "B744", {"BAW 744"});
    liveries("second/a320", "A320", {"DLH second"});
    lfolder0.value.set("first");
    lfolder1.value.set("second");
    lfolder2.value.set("third");
    LIG_PRIORITIZE.value = true;
    gf_scanLiveries();
    EXPECT_THAT(indexedTitles(), ElementsAre("BAW 744", "BAW first", "DLH second"));
    EXPECT_THAT(logText(), HasSubstr("2 liveries found in third")) << "the folder count comes before the filter";
}

TEST_F(ScanDriverTest, APriorityCountsOnlyExistingFoldersUpToTen)
{
    ScanProgress progress;
    std::filesystem::create_directories("empty");
    lf_scanLfolder(progress, "missing");
    EXPECT_EQ(progress.priority, 0);
    for (int i = 0; i < 12; ++i)
        lf_scanLfolder(progress, "empty");
    EXPECT_EQ(progress.priority, 10);
    EXPECT_THAT(logText(), HasSubstr("No liveries found in empty"));
}

TEST_F(ScanDriverTest, AScanThatFindsNothingRaisesItsModesError)
{
    EXPECT_THROW(
        {
            try {
                gf_scanLiveries();
            } catch (const qmx::UserErrorException& e) {
                EXPECT_THAT(e.what(), HasSubstr("Set lfolder parameter(-s) to your liveries first"));
                throw;
            }
        },
        qmx::UserErrorException);

    std::filesystem::create_directories("nothing");
    lfolder0.value.set("nothing");
    testsupport::writeFile(g_liveriesScannedFile, "old scan");
    g_mainWindow.liveryCount = 7;
    EXPECT_THROW(gf_scanLiveries(), qmx::UserErrorException);
    EXPECT_TRUE(SCAN_LIVERIES.value.load()) << "the scan stays pending";
    EXPECT_FALSE(std::filesystem::exists(g_liveriesScannedFile));
    EXPECT_EQ(g_mainWindow.liveryCount.load(), 0U);

    LIG_AUTOMATIC.value = true;
    try {
        gf_scanLiveries();
        FAIL() << "no user error";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_THAT(e.what(), HasSubstr("Automatic scan has not found any liveries"));
    }
}

TEST_F(ScanDriverTest, WithoutTheScanOptionOnlyTheSavedScanIsRead)
{
    SCAN_LIVERIES.value = false;
    scan({{"DLH", "A320", "LH saved"}});
    lf_writeLiveriesScanned();
    ScannedLiveries.clear();
    gf_scanLiveries();
    EXPECT_THAT(indexedTitles(), ElementsAre("LH saved"));
    EXPECT_THAT(logText(), Not(HasSubstr("liveries scan")));
}

TEST_F(ScanDriverTest, AScanCutShortByAnExitIsSwitchedOffAndLeavesNoSavedScan)
{
    liveries("lib/a320", "A320", {"BAW one"});
    lfolder0.value.set("lib");
    exitingFlag = true;
    // The processing meets the saved scan missing; the next start finds it gone and scans.
    EXPECT_THROW(gf_scanLiveries(), qmx::UserErrorException);
    EXPECT_FALSE(SCAN_LIVERIES.value.load());
    EXPECT_THAT(testsupport::readFile(parametersFile()), HasSubstr(R"(name="SCAN_LIVERIES" value="false")"));
    EXPECT_FALSE(liveryTablesBuilt);
    EXPECT_FALSE(std::filesystem::exists(g_liveriesScannedFile));
}

TEST_F(ScanDriverTest, AnExitDuringTheWalkOfAFolderStartsNoFurtherTask)
{
    liveries("lib/a320", "A320", {"BAW one"});
    liveries("lib/b738", "B738", {"DLH two"});
    g_scanTasksLimit = 1;
    g_scanTasksRunning = 1; // a slot held elsewhere: the walk waits at its first livery file
    std::thread walk([] { lf_scanSimObjectsFolder(1, "lib"); });
    exitingFlag = true;
    gf_releaseScanSlot();
    walk.join();
    EXPECT_TRUE(ScannedLiveries.empty());
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
}

TEST_F(ScanDriverTest, AScanAfterOneCutShortDuringItsWalkFindsEveryLivery)
{
    liveries("lib1/a320", "A320", {"BAW one"});
    liveries("lib2/a320", "A320", {"DLH two"});
    lfolder0.value.set("lib1");
    lfolder1.value.set("lib2");
    // The walk of the first folder has claimed its titles when the exit is noticed.
    lf_scanSimObjectsFolder(1, "lib1");
    exitingFlag = true;
    EXPECT_TRUE(lf_scanLiveries({"lib1", "lib2"}));
    exitingFlag = false;
    gf_scanLiveries();
    EXPECT_THAT(indexedTitles(), ElementsAre("BAW one", "DLH two"));
    EXPECT_FALSE(std::filesystem::exists(g_incompleFltsimSectionsFile)) << "no title is taken twice";
}

} // namespace
