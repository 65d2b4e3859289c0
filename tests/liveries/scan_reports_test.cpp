// The scan reports and the corrections of liveries from the registration table.

#include "liveries/scan_reports.h"
#include "scan_test_fixture.h"

namespace {

namespace fs = std::filesystem;
using scantest::ScanTest;

class ScanReportsTest : public ScanTest {
protected:
    static qmx::LiveryData livery(const std::string& atcid)
    {
        qmx::LiveryData l;
        l.airline = "CLH", l.model = "A319", l.title = "Lufthansa CityLine", l.atcid = atcid;
        return l;
    }
};

TEST_F(ScanReportsTest, LiveriesFollowTheRegistrationTable)
{
    dbaseTables.DbaseRegcodes["D-AIBA"] = {"DLH", "A319", "", false};
    dbaseTables.DbaseRegcodes["G-EUPA"] = {"BAW", "A320", "SHT", true};
    dbaseTables.DbaseRegcodes["D-NONE"] = {"", "", "", false};

    qmx::LiveryData byAirline = livery("D-AIBA");
    lf_updateLiveryFromDbase(byAirline);
    EXPECT_EQ(byAirline.airline, "DLH");

    qmx::LiveryData byVariant = livery("GEUPA"); // found as G-EUPA
    lf_updateLiveryFromDbase(byVariant);
    EXPECT_TRUE(byVariant.airline == "SHT" && byVariant.model == "A320" && byVariant.cargo);

    // Empty fields of the table never blank a livery's codes.
    qmx::LiveryData emptyRecord = livery("D-NONE");
    lf_updateLiveryFromDbase(emptyRecord);
    EXPECT_TRUE(emptyRecord.airline == "CLH" && emptyRecord.model == "A319");

    qmx::LiveryData unregistered = livery("");
    dbaseTables.DbaseRegcodes[""] = {"DLH", "B738", "", true};
    lf_updateLiveryFromDbase(unregistered);
    EXPECT_EQ(unregistered.airline, "CLH");

    const std::string title = "Lufthansa CityLine" + std::string(62, ' ');
    EXPECT_EQ(airlineModelConversions,
              (std::vector<std::string>{title + " D-AIBA airl CLH => DLH", title + " GEUPA cargo false => true",
                                        title + " GEUPA airl CLH => SHT", title + " GEUPA model A319 => A320"}));
}

TEST_F(ScanReportsTest, ProblemListsBecomeSortedReportsWithCountLines)
{
    lf_addInvalidAirline("XYZ", "b/aircraft.cfg", "[fltsim.1]");
    lf_addIncompleteSection("z section");
    lf_addIncompleteSection("a section");
    lf_addCodeFix("second fix");
    lf_addCodeFix("first fix");
    emptyAircraftCfgFiles.append("e.cfg");
    airlineModelConversions = {"conversion"};
    lf_writeScanErrorReport();

    EXPECT_EQ(testsupport::readFile(g_incompleFltsimSectionsFile), "a section\nz section\n");
    EXPECT_EQ(testsupport::readFile(g_fixesFile), "second fix\nfirst fix\n");
    EXPECT_EQ(testsupport::readFile(g_aircraftCfgNoFltsimFile), "e.cfg\n");
    EXPECT_EQ(testsupport::readFile(g_airlineModelConversionsFile), "conversion\n");
    EXPECT_FALSE(fs::exists(g_invalidAircraftCodesFile));
    const std::string log = logText();
    for (const std::string& line : std::vector<std::string>
         {"\nErrors:\n", "1 invalid airline code, see " + g_invalidAirlineCodesFile.string(),
          "2 code fixes, see ", "2 incomplete [fltsim.x] sections, see ", "\nInformation:\n",
          "1 empty aircraft.cfg files, see ", "1 liveries updated with real live data from dbase, see "})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(ScanReportsTest, AScanWithoutProblemsLeavesNoErrorFolder)
{
    testsupport::writeFile(g_fixesFile, "old");
    testsupport::writeFile(g_liveriesScannedFile, "old");
    testsupport::writeFile(g_airlineModelConversionsFile, "kept");
    lf_removePreviousScanFiles();
    EXPECT_FALSE(fs::exists(g_liveriesScannedFile));
    EXPECT_FALSE(fs::exists(g_outputErrorsFolder));
    EXPECT_TRUE(fs::exists(g_airlineModelConversionsFile));

    lf_writeScanErrorReport();
    EXPECT_FALSE(fs::exists(g_outputErrorsFolder));
    EXPECT_NE(logText().find("\nNo errors\n\nInformation:\n"), std::string::npos);
}

TEST_F(ScanReportsTest, AUserFileKeepsTheErrorFolderForTheNewReports)
{
    testsupport::writeFile(g_outputErrorsFolder / "mine.txt", "user");
    lf_removePreviousScanFiles();
    EXPECT_NE(logText().find("problems with removing previous files: "), std::string::npos);
    lf_addInvalidModel("B7X8", "a.cfg");
    lf_writeScanErrorReport();
    EXPECT_EQ(testsupport::readFile(g_invalidAircraftCodesFile), "B7X8             in a.cfg\n");
    EXPECT_TRUE(fs::exists(g_outputErrorsFolder / "mine.txt"));
}

} // namespace
