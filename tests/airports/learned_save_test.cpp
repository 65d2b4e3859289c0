// Saving what was learned at the park airport into its learned file.

#include "airports/apf_state.h"
#include "airports/learned_save.h"
#include "airports/shell_services.h"
#include "airports/stand_file.h"
#include "airports/stand_file_loader.h"
#include "standfiles_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

using ::testing::HasSubstr;

namespace {

class LearnedSaveTest : public airportstest::StandFilesTest {
protected:
    void SetUp() override
    {
        StandFilesTest::SetUp();
        gf_setParkAirport({"EGLL", "LHR", 51.47, -0.45, 83.0});
        parkApfInfo = {"Heathrow", "stock", 83};
        standTable.push_back(stand("A1", {option(1, 1)}));             // only archived options: left out
        standTable.push_back(stand("A2", {option(1, 1), option(2, 0)})); // keeps its learned option
        standTable.push_back(stand("A3", {}));
        standTable.back().radiusChange = true;
        standTable.push_back(stand("M1", {}));
        standTable.back().manual = true;
    }
    static Stand stand(const std::string& name, std::vector<ParkPosOption> options)
    {
        return Stand(name, std::move(options), {51.47, -0.45, 0.0}, 30.0, 1, 1, 1);
    }
    static ParkPosOption option(std::uint32_t number, std::uint32_t fixed)
    {
        ParkPosOption o;
        o.airl = "BAW";
        o.type = "A320";
        o.day = 2;
        o.number = number;
        o.fixed = fixed;
        o.hours.set(number);
        return o;
    }
    static std::vector<std::string> standIds(const fs::path& path)
    {
        pugi::xml_document document;
        EXPECT_TRUE(document.load_file(path.c_str()));
        std::vector<std::string> ids;
        for (const pugi::xml_node p : document.child("parkpositions").children("parkpos"))
            ids.emplace_back(p.attribute("id").value());
        return ids;
    }
    std::string lastLogLine() const
    {
        std::string log = logText();
        log.pop_back();
        return log.substr(log.rfind('\n') + 1);
    }
};

TEST_F(LearnedSaveTest, StockAirportKeepsOnlyWhatWasLearned)
{
    learnedUpdateCount = 3;
    lf_saveAirportFile();
    const fs::path path = g_learnedStockFolder / "EGLL.xml";
    EXPECT_EQ(standIds(path), (std::vector<std::string>{"A2", "A3", "M1"}));
    EXPECT_EQ(standTable[1].opts.size(), 1u) << "the archived options left the table's stands";
    // The time, then the path as it stands: the backslashes of a Windows path are no pattern.
    const std::string line = lastLogLine();
    EXPECT_TRUE(std::regex_match(line.substr(0, 9), std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2} "))) << line;
    EXPECT_EQ(line.substr(9), "\"" + path.string() + "\" saved with 3 updates ");
    EXPECT_EQ(learnedUpdateCount.load(), 0u);

    learnedUpdateCount = 1;
    apfSettingsChanged = true;
    lf_saveAirportFile();
    EXPECT_THAT(lastLogLine(), HasSubstr("saved with 1 update and one or more parameter changes"));
    EXPECT_FALSE(apfSettingsChanged.load());
}

TEST_F(LearnedSaveTest, HandmadeAirportSavesEveryStand)
{
    handmadeOverrule = true;
    lf_saveAirportFile();
    const fs::path path = g_learnedStockFolder / "EGLL.xml";
    EXPECT_EQ(standIds(path), (std::vector<std::string>{"A1", "A2", "A3", "M1"}));
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(path.c_str()));
    EXPECT_EQ(lf_getStringParameter(document, "handmade"), "true");
    EXPECT_EQ(lf_getIntParameter(document, "altitude"), 83);
    EXPECT_TRUE(lf_getIntParameter(document, "Qf_real").value_or(-1) > 0);
    EXPECT_THAT(lastLogLine(), HasSubstr(" handmade \""));
}

TEST_F(LearnedSaveTest, ThirdpartyPublisherGetsItsOwnFolder)
{
    parkApfInfo.publisher = "unknown";
    lf_saveAirportFile();
    const fs::path path = g_learnedThirdpartyFolder / "unknown" / "EGLL.xml";
    ASSERT_TRUE(fs::exists(path));
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(path.c_str()));
    EXPECT_EQ(lf_getStringParameter(document, "BGLpath"), "");
}

TEST_F(LearnedSaveTest, UnwritableFolderIsReported)
{
    fs::remove_all(g_learnedStockFolder);
    learnedUpdateCount = 2;
    lf_saveAirportFile();
    EXPECT_THAT(lastLogLine(), HasSubstr(" saving \"" + (g_learnedStockFolder / "EGLL.xml").string() +
                                         "\" did not succeed"));
    EXPECT_EQ(learnedUpdateCount.load(), 0u);
}

} // namespace

namespace {

// What one visit learned comes back with the next load of the airport, without the options of
// the airport file being taken twice.
using RoundTripTest = airportstest::StandFilesTest;

TEST_F(RoundTripTest, LearnedOptionsSurviveASaveAndTheNextLoad)
{
    const std::string stock = "archive/stock/EGLL.xml";
    putOnServer(stock, airportstest::apfText(
                           airportstest::parameterXml("publisher", "stock") + airportstest::parameterXml("altitude", "83"),
                           "<parkpos id=\"A1\" latitude=\"51.47\" longitude=\"-0.45\" radius=\"30\">"
                           "<opt airl=\"BAW\" type=\"A320\" day=\"1\" hh=\"10\"/></parkpos>\n"));
    gf_setParkAirport({"EGLL", "LHR", 51.47, -0.45, 0.0});
    ASSERT_EQ(gf_readApf(stock, parkApfInfo, parkQualityFactors), "");
    ParkPosOption learned;
    learned.airl = "EZY";
    learned.type = "A319";
    learned.cs = "EZY12";
    learned.day = 4;
    learned.hours.set(20);
    learned.number = 2;
    standTable[0].opts.push_back(learned);
    standTable[0].radius *= 2.0;
    standTable[0].radiusChange = true;
    learnedUpdateCount = 1;
    PARK_SOFT.value = true;
    lf_saveAirportFile();

    standTable.clear();
    PARK_SOFT.value = false;
    ASSERT_EQ(gf_readApf(stock, parkApfInfo, parkQualityFactors), "");
    ASSERT_EQ(standTable.size(), 1u);
    const Stand& a1 = standTable[0];
    ASSERT_EQ(a1.opts.size(), 2u);
    EXPECT_EQ(a1.opts[0].fixed, 1u);
    EXPECT_EQ(a1.opts[1].cs, "EZY12");
    EXPECT_EQ(a1.opts[1].fixed, 0u);
    EXPECT_EQ(a1.opts[1].day, 4u);
    EXPECT_NEAR(a1.radius * 1852.0, 60.0, 0.05);
    EXPECT_TRUE(PARK_SOFT.value.load()) << "the settings in force at the airport come back";
}

// Every kind of stand file, generated, the user's or the stock one, with or without a publisher,
// finds again what was learned there; so does a file learned under its publisher's folder alone.
struct KindOfStandFile {
    const char* code;
    fs::path folder; // empty: the stock archive on the server
    const char* publisher;
};

class StandFileKindsTest : public airportstest::StandFilesTest {
protected:
    std::string placeStandFile(const KindOfStandFile& kind)
    {
        const std::string parameters = (*kind.publisher ? airportstest::parameterXml("publisher", kind.publisher) : "") +
                                       airportstest::parameterXml("altitude", "83");
        const std::string text = airportstest::apfText(
            parameters, "<parkpos id=\"A1\" latitude=\"51.47\" longitude=\"-0.45\" radius=\"30\"/>\n");
        gf_setParkAirport({kind.code, "", 51.47, -0.45, 0.0});
        const std::string file = std::string(kind.code) + ".xml";
        if (kind.folder.empty()) {
            putOnServer("archive/stock/" + file, text);
            return "archive/stock/" + file;
        }
        testsupport::writeFile(kind.folder / file, text);
        return (kind.folder / file).string();
    }
    void learnOneOptionAndSave()
    {
        ParkPosOption learned;
        learned.airl = "EZY";
        learned.type = "A319";
        learned.day = 4;
        learned.hours.set(20);
        learned.number = 1;
        standTable[0].opts.push_back(learned);
        learnedUpdateCount = 1;
        lf_saveAirportFile();
        standTable.clear();
    }
};

TEST_F(StandFileKindsTest, WhatWasLearnedComesBackForEveryKindOfFile)
{
    const KindOfStandFile kinds[] = {
        {"EGL1", {}, "stock"},
        {"EGL2", g_myOrbxFolder, "simaddon"},
        {"EGL3", g_myOrbxFolder, ""},
        {"EGL4", g_myThirdpartyFolder, "simaddon"},
        {"EGL5", g_myThirdpartyFolder, "stock"},
        {"EGL6", g_myThirdpartyFolder, ""},
        {"EGL7", g_myThirdpartyFolder, "Maker A"},
    };
    for (const KindOfStandFile& kind : kinds) {
        SCOPED_TRACE(kind.code);
        const std::string path = placeStandFile(kind);
        ASSERT_EQ(gf_readApf(path, parkApfInfo, parkQualityFactors), "");
        learnOneOptionAndSave();
        ASSERT_EQ(gf_readApf(path, parkApfInfo, parkQualityFactors), "");
        ASSERT_EQ(standTable.size(), 1u);
        EXPECT_EQ(standTable[0].opts.size(), 1u);
        standTable.clear();
    }
}

TEST_F(StandFileKindsTest, FileLearnedUnderItsPublisherAloneIsStillRead)
{
    const std::string path = placeStandFile({"EGL2", g_myOrbxFolder, "simaddon"});
    ASSERT_EQ(gf_readApf(path, parkApfInfo, parkQualityFactors), "");
    parkApfInfo.learnedPath.clear(); // saved where the publisher alone decided
    learnOneOptionAndSave();
    ASSERT_TRUE(fs::exists(g_learnedSimaddonFolder / "EGL2.xml"));
    ASSERT_EQ(gf_readApf(path, parkApfInfo, parkQualityFactors), "");
    EXPECT_EQ(standTable[0].opts.size(), 1u);
}

} // namespace
