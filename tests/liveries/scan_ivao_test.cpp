// IVAO model-matching sets: the type from the folder, the airline from the title.

#include "core/scan_throttle.h"
#include "liveries/ivao_liveries.h"
#include "scan_test_fixture.h"

#include <algorithm>

namespace {

using scantest::ScanTest;

TEST(IvaoTitle, AirlineFollowsTheTypeCode)
{
    EXPECT_EQ(lf_airlineInIvaoTitle("B738 DLH Lufthansa", "B738"), "DLH");
    EXPECT_EQ(lf_airlineInIvaoTitle("B738DLH", "B738"), "DLH");
    EXPECT_EQ(lf_airlineInIvaoTitle("b738 dlh", "B738"), "dlh");
    EXPECT_EQ(lf_airlineInIvaoTitle("B738_DLH", "B738"), "_DL");
    EXPECT_EQ(lf_airlineInIvaoTitle("B738 DL", "B738"), "");
    EXPECT_EQ(lf_airlineInIvaoTitle("Lufthansa B738 DLH", "B738"), "");
}

class IvaoTest : public ScanTest {};

TEST_F(IvaoTest, SectionsTakeTheirAirlineFromTitleOrRegistration)
{
    dbaseTables.IcaoAirlines = {"DLH", "BAW"};
    dbaseTables.DbaseRegcodes["D-AIBA"] = {"DLH", "A319", "", false};
    dbaseTables.DbaseRegcodes["D-NOAIRL"] = {"", "A319", "", false};
    const std::string keys = "sim=a\nmodel=\ntexture=\n";
    const std::filesystem::path cfg = aircraft("ai/IVAO_MTL/IVAO_B738", "[General]\n"
        "[fltsim.0]\ntitle=B738 DLH Lufthansa\n" + keys + "atc_parking_codes=BAW\natc_parking_types=CARGO\n"
        "[fltsim.1]\ntitle=b738dlh lower case\n" + keys +
        "[fltsim.2]\ntitle=Registered only\n" + keys + "atc_id=D-AIBA\n"
        "[fltsim.3]\ntitle=Unknown registration\n" + keys + "atc_id=X-UNKN\n"
        "[fltsim.4]\ntitle=B738 BAW semicolon\n" + keys + "atc_id=D-AB;CDE\n"
        "[fltsim.5]\ntitle=B738 BAW note [old]\n" + keys +
        "[fltsim.6]\ntitle=B738 BAW no air\nsim=gone\nmodel=\ntexture=gone\n"
        "[fltsim.7]\ntitle=Plain\n" + keys +
        "[fltsim.8]\ntitle=Registered without airline\n" + keys + "atc_id=D-NOAIRL\n");

    const std::list<qmx::LiveryData> result = lf_searchIvaoLiveriesinFile(2, cfg);
    std::vector<std::string> got;
    for (const qmx::LiveryData& l : result)
        got.push_back(l.title + "|" + l.airline + "|" + l.model + "|" + l.atcid + "|" + (l.cargo ? "cargo" : "pax"));
    EXPECT_EQ(got, (std::vector<std::string>{"B738 DLH Lufthansa|DLH|B738||pax", "Registered only|DLH|B738|D-AIBA|pax",
                                             "B738 BAW semicolon|BAW|B738|D-AB;CDE|pax"}));

    const std::string folder = cfg.parent_path().string();
    std::vector<std::string> rejected = lines(incompleteFltsimSections.lines);
    std::sort(rejected.begin(), rejected.end());
    EXPECT_EQ(rejected, (std::vector<std::string>{
                            folder + " [fltsim.3] misses airlinecode in title: Unknown registration, and regcode unknownX-UNKN",
                            folder + " [fltsim.7] misses airlinecode in title: Plain, and no regcode",
                            // a registration record without airline names none
                            folder + " [fltsim.8] misses airlinecode in title: Registered without airline, and regcode unknownD-NOAIRL",
                            (std::filesystem::path(folder) / ".air").string() + " [fltsim.5] does not exist", // the title line's '[' ended the section
                            (std::filesystem::path(folder) / "gone.air").string() + " [fltsim.6] does not exist",
                        }));
    EXPECT_EQ(lines(invalidAirlineCodes.lines),
              std::vector<std::string>{"dlh          in " + cfg.string() + " [fltsim.1]"});
}

TEST_F(IvaoTest, AFileOutsideTheIvaoFolderShapeIsNotOpened)
{
    const std::int32_t running = g_scanTasksRunning.load();
    EXPECT_TRUE(lf_searchIvaoLiveriesinFile(1, aircraft("ai/IVAO_MTL/IVAO_B738/deeper", "[fltsim.0]\n")).empty());
    EXPECT_TRUE(lf_searchIvaoLiveriesinFile(1, "ai/IVAO_MTL/IVAO_A320/aircraft.cfg").empty());
    EXPECT_EQ(g_scanTasksRunning.load(), running - 2);
    EXPECT_TRUE(emptyAircraftCfgFiles.lines.empty());
    EXPECT_NE(logText().find("no character set found for ai/IVAO_MTL/IVAO_A320/aircraft.cfg"), std::string::npos);
}

} // namespace
