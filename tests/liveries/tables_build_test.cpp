// The livery tables built from the saved scan: who owns the titles, how passenger and cargo
// liveries split, what the category report logs and switches off, and that they are built once.

#include "app/controls.h"
#include "app/main_window.h"
#include "core/exceptions.h"
#include "liveries/scanned_liveries_file.h"
#include "tables_test_fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using testing::UnorderedElementsAre;

namespace {

class TablesBuildTest : public tablestest::TablesTest {
protected:
    // Writes LiveriesScanned.xml with these liveries, as a scan would have left it.
    void saveScan(const std::vector<tablestest::Livery>& liveries)
    {
        scan(liveries);
        lf_writeLiveriesScanned();
        ScannedLiveries.clear();
    }
};

TEST_F(TablesBuildTest, ProcessingSplitsLiveriesByKindAndKeepsOneCopyOfEachTitle)
{
    dbaseTables.LargeModels = {"A320", "B738"};
    dbaseTables.HeavyModels = {"B744"};
    saveScan({{"BAW", "A320", "BA pax 1"},
              {"BAW", "A320", "BA pax 2"},
              {"BAW", "B744", "BA freighter", true},
              {"DLH", "A320", "LH pax", false, "D-AIZA"},
              {"ZZZ", "B738", "Generic 738"}});
    lf_processScannedLiveries();

    EXPECT_TRUE(liveryTablesBuilt);
    EXPECT_TRUE(ScannedLiveries.empty());
    EXPECT_EQ(g_mainWindow.liveryCount.load(), 5U);
    ASSERT_EQ(AirlineIndex.size(), 3U);
    ASSERT_EQ(AirlineIndex.at("BAW").at("A320").size(), 2U);
    EXPECT_EQ(AirlineIndex.at("BAW").at("A320")[0].title, "BA pax 1");

    // Every view points into the index.
    const std::string& stored = AirlineIndex.at("BAW").at("A320")[1].title;
    EXPECT_EQ(AirlineModelTables[kPaxSlot].at("BAW").at("A320")[1].data(), stored.data());
    EXPECT_EQ(AirlineModelTables[kPaxSlot].at("BAW").count("B744"), 0U) << "a model only where it has that kind";
    EXPECT_EQ(AirlineModelTables[kCargoSlot].at("BAW").at("B744")[0], "BA freighter");
    EXPECT_EQ(AirlineModelTables[kCargoSlot].count("DLH"), 0U);
    EXPECT_THAT(sorted(ModelTables[kPaxSlot].at("A320")), ElementsAre("BA pax 1", "BA pax 2", "LH pax"));
    EXPECT_EQ(ModelTables[kCargoSlot].size(), 1U);
    EXPECT_EQ(RegcodeMap.at("D-AIZA"), "LH pax");

    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("1 registration codes"));
    EXPECT_THAT(log, HasSubstr("3 airlines, 2 pax aircraft models and 1 cargo aircraft models"));
    EXPECT_THAT(log, HasSubstr("1 model have a generic livery\n  B738\n"));
    EXPECT_THAT(log, HasSubstr("Category Large: 4 pax liveries\n  A320,B738\n"));
    EXPECT_THAT(log, HasSubstr("Category Heavy: 0 pax liveries and 1 cargo liverie\n  B744\n"));
    EXPECT_EQ(lf_findLiveryTitle("LH pax").data(), AirlineIndex.at("DLH").at("A320")[0].title.data());
    EXPECT_TRUE(lf_findLiveryTitle("lh pax").empty()) << "titles compare exactly";
}

TEST_F(TablesBuildTest, AClassWithoutLiveriesIsSwitchedOffAndItsBoxDisabled)
{
    ASSERT_TRUE(gf_createCheckBox(LIGHT_AIRCRAFT, 0));
    ASSERT_TRUE(gf_createCheckBox(HELICOPTERS, 20));
    LIGHT_AIRCRAFT.value = true;
    HELICOPTERS.value = true;
    dbaseTables.RotorcraftModels = {"EC35"};
    dbaseTables.LargeModels = {"A320"};
    saveScan({{"ZZZ", "EC35", "Heli"}, {"DLH", "A320", "LH"}});
    lf_processScannedLiveries();

    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("Category Light: No livery found\n"));
    EXPECT_THAT(log, HasSubstr("LIGHT_AIRCRAFT temporary switched off because you do not have light aircraft installed"));
    EXPECT_FALSE(LIGHT_AIRCRAFT.value.load());
    EXPECT_THAT(testsupport::readFile(parametersFile()), HasSubstr(R"(name="LIGHT_AIRCRAFT" value="false")"));
    EXPECT_FALSE(port.find(LIGHT_AIRCRAFT.controlId)->enabled);
    EXPECT_TRUE(HELICOPTERS.value.load());
    EXPECT_TRUE(port.find(HELICOPTERS.controlId)->enabled);
    EXPECT_THAT(ClassModelLists[2], ElementsAre("EC35"));
    EXPECT_TRUE(ClassModelLists[0].empty());
    EXPECT_THAT(log, HasSubstr("Category Rotorcraft: 1 pax liverie\n  EC35\n"));
}

TEST_F(TablesBuildTest, ModelCodesAreLoggedTwentyToARow)
{
    std::vector<tablestest::Livery> liveries;
    for (int i = 0; i < 21; ++i)
        liveries.push_back({"ZZZ", fmt::format("M{:02}", i), fmt::format("Generic {}", i)});
    install(liveries);
    lf_reportGenericLiveries();
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("21 models have a generic livery\n"
                               "  M00,M01,M02,M03,M04,M05,M06,M07,M08,M09,M10,M11,M12,M13,M14,M15,M16,M17,M18,M19\n"
                               "  M20\n"));
    EXPECT_TRUE(ClassModelLists[0].empty()) << "generic models join no class list";
}

TEST_F(TablesBuildTest, ASecondStartUpKeepsTheTablesAndEmptiesTheScan)
{
    saveScan({{"DLH", "A320", "LH"}});
    lf_processScannedLiveries();
    const char* title = AirlineIndex.at("DLH").at("A320")[0].title.data();
    scan({{"BAW", "A320", "BA"}});
    std::filesystem::remove(g_liveriesScannedFile);
    lf_processScannedLiveries();
    EXPECT_THAT(logText(), HasSubstr("Processing scanned liveries skipped; already done in previous start-up"));
    EXPECT_TRUE(ScannedLiveries.empty());
    EXPECT_EQ(AirlineIndex.at("DLH").at("A320")[0].title.data(), title);

    SimilarModels["A319"] = {"A320"};
    gf_clearLiveryTables();
    EXPECT_FALSE(liveryTablesBuilt);
    EXPECT_TRUE(AirlineIndex.empty());
    EXPECT_TRUE(SimilarModels.empty()) << "a rescan's groups must not keep the old liveries";
    EXPECT_THROW(lf_processScannedLiveries(), qmx::UserErrorException) << "a missing saved scan";
    EXPECT_TRUE(ScannedLiveries.empty());
}

// ---- Similar model groups ----

TEST_F(TablesBuildTest, SimilarGroupsKeepTheMembersWithLiveries)
{
    dbaseTables.SimilarGroups = {{"A319", "A320", "A321"}, {"A319", "X999"}, {"A319", "A20N"}};
    dbaseTables.LargeModels = {"A319", "A320", "A321", "A20N", "X999"};
    install({{"BAW", "A320", "BA 320"}, {"DLH", "A319", "LH 319"}, {"DLH", "A320", "LH 320"},
             {"DLH", "A321", "LH 321"}, {"EZY", "X999", "EZ X"}, {"EZY", "A20N", "EZ 20N"}});
    gf_buildSimilarModelGroups();

    EXPECT_THAT(SimilarModels.at("A319"), ElementsAre("A20N")) << "the line that sorts lowest wins";
    EXPECT_THAT(SimilarModels.at("A320"), ElementsAre("A319", "A321"));
    EXPECT_THAT(SimilarModels.at("X999"), ElementsAre("A319"));
    EXPECT_EQ(AirlineSimilarModels.count("DLH"), 1U);
    EXPECT_EQ(AirlineSimilarModels.at("DLH").count("A320"), 0U) << "DLH has A320 liveries itself";
    EXPECT_THAT(AirlineSimilarModels.at("DLH").at("X999"), ElementsAre("A319"));
    // A319 stands in only for A20N, which BAW does not have.
    EXPECT_THAT(AirlineSimilarModels.at("BAW"), UnorderedElementsAre(testing::Pair("A321", ElementsAre("A320"))));
    EXPECT_THAT(logText(), HasSubstr("5 similar model definitions"));

    AcDescription ac;
    ac.airline = "BAW";
    ac.type = "A321";
    EXPECT_THAT(gf_getSimilarTypesForAirline(ac), ElementsAre("A320"));
    ac.type = "B744";
    EXPECT_TRUE(gf_getSimilarTypesForAirline(ac).empty());
}

TEST_F(TablesBuildTest, AnUngroupedSmallModelBorrowsTheFirstModelOfItsClass)
{
    RANDOM.value = false;
    dbaseTables.BuzjetModels = {"GLF5"};
    dbaseTables.HeavyModels = {"B744"};
    EXPECT_TRUE(gf_getSimilarTypes("C152").empty()) << "no light liveries yet";
    ClassModelLists[0] = {"C172", "PA28"};
    EXPECT_THAT(gf_getSimilarTypes("C152"), ElementsAre("C172"));
    EXPECT_TRUE(gf_getSimilarTypes("GLF5").empty());
    EXPECT_TRUE(gf_getSimilarTypes("B744").empty());
}

} // namespace
