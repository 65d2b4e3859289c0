// Loading the park airport's stand file and merging its learned file.

#include "airports/apf_state.h"
#include "airports/learned_merge.h"
#include "airports/shell_services.h"
#include "airports/stand_file_loader.h"
#include "core/exceptions.h"
#include "standfiles_fixture.h"
#include "traffic/traffic_reader.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using airportstest::apfText;
using airportstest::parameterXml;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const std::string kStands = "<parkpos id=\"A1\" latitude=\"51.47\" longitude=\"-0.45\" radius=\"30\">"
                            "<opt airl=\"BAW\" type=\"A320\" day=\"1\" hh=\"10,11\" cs=\"BAW1\"/></parkpos>\n"
                            "<parkpos id=\"A2\" latitude=\"51.4704\" longitude=\"-0.45\" radius=\"25\"/>\n"
                            "<parkpos id=\"B1\" latitude=\"51.48\" longitude=\"-0.45\" radius=\"30\" cargo=\"true\"/>\n";

class LoaderTest : public airportstest::StandFilesTest {
protected:
    void SetUp() override
    {
        StandFilesTest::SetUp();
        gf_setParkAirport({"EGLL", "LHR", 51.47, -0.45, 0.0});
        trafficReader.setReferenceElevation(std::nullopt);
    }
    void TearDown() override
    {
        trafficReader.setReferenceElevation(std::nullopt);
        StandFilesTest::TearDown();
    }
    static std::string header(const std::string& extra = "")
    {
        return parameterXml("airport_name", "Heathrow") + parameterXml("publisher", "stock") +
               parameterXml("altitude", "83") + parameterXml("Qf_real", "50") + extra;
    }
    std::string load(const std::string& path)
    {
        standTable.clear();
        ApfInfo info;
        const std::string result = gf_readApf(path, info, parkQualityFactors);
        parkApfInfo = info;
        return result;
    }
    static std::string userError(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const qmx::UserErrorException& e) {
            return e.what();
        }
        return "no error";
    }
    void writeLearned(const std::string& parameters, const std::string& parkpositions) const
    {
        testsupport::writeFile(g_learnedStockFolder / "EGLL.xml", apfText(parameters, parkpositions));
    }
    const std::string stock = "archive/stock/EGLL.xml";
};

TEST_F(LoaderTest, LearnedPathOfServerAndLocalFiles)
{
    // The learned file's path with the system's separator throughout.
    const auto learned = [](const fs::path& below) { return (g_learnedFolder / below).make_preferred().string(); };
    EXPECT_EQ(lf_learnedApfPath("", "P"), "");
    EXPECT_EQ(lf_learnedApfPath("archive/thirdparty/A%20B/EGLL.xml", "P"), learned("thirdparty/A B/EGLL.xml"));
    EXPECT_EQ(lf_learnedApfPath((g_myThirdpartyFolder / "EGLL.xml").string(), "P"), learned("thirdparty/P/EGLL.xml"));
    EXPECT_EQ(lf_learnedApfPath((g_myOrbxFolder / "EGLL.xml").string(), "P"), learned("my_ORBX/EGLL.xml"));
    EXPECT_EQ(lf_learnedApfPath("/elsewhere/EGLL.xml", "P"), "/elsewhere/EGLL.xml");
    // A publisher name never leads out of the learned folder.
    EXPECT_EQ(lf_learnedApfPath((g_myThirdpartyFolder / "EGLL.xml").string(), "../.."),
              learned("thirdparty/.._../EGLL.xml"));
    EXPECT_EQ(lf_publisherFolderName("../.."), ".._..");
    EXPECT_EQ(lf_publisherFolderName(".."), "unknown");
    EXPECT_EQ(lf_publisherFolderName("A B"), "A B");
}

TEST_F(LoaderTest, LoadsNumbersLinksAndPublishes)
{
    putOnServer(stock, apfText(header(parameterXml("RT_traffic_week", "12")), kStands));
    parking_percentage.value = 70;
    apfSettingsChanged = true;
    EXPECT_EQ(load(stock), "");
    EXPECT_TRUE(fs::exists(g_parkAirportFile)) << "the local copy stays";
    ASSERT_EQ(standTable.size(), 3u);
    EXPECT_EQ(standTable[2].id, 3u);
    EXPECT_EQ(standTable[0].neighbours, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(standTable[0].opts[0].fixed, 1u);
    EXPECT_TRUE(standTable[2].cargo);
    EXPECT_EQ(parkApfInfo.publisher, "stock");
    EXPECT_EQ(parkApfInfo.altitude, 83);
    EXPECT_DOUBLE_EQ(gf_parkAirport().elevation, 83.0);
    EXPECT_EQ(trafficReader.referenceElevation(), 83.0);
    EXPECT_EQ(rtTrafficWeek, 12u);
    EXPECT_EQ(parkQualityFactors, (std::uint64_t{0xffffffffu} << 32 | 50u)) << "the file's factors without learning";
    EXPECT_EQ(parking_percentage.value.load(), 30);
    EXPECT_TRUE(standsLoaded.load());
    EXPECT_FALSE(apfSettingsChanged.load());
    EXPECT_EQ(g_mainWindow.standCount.load(), 3u);
    EXPECT_EQ(g_mainWindow.qualityText.get(), "50");
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("Airport file read from \"archive/stock/EGLL.xml\" for Heathrow"));
    EXPECT_THAT(log, HasSubstr("          publisher               : stock"));
    EXPECT_THAT(log, HasSubstr("          altitude                : 83 ft"));
    EXPECT_THAT(log, HasSubstr("          parking_percentage      : 30"));
}

TEST_F(LoaderTest, RefusedFiles)
{
    EXPECT_EQ(load(""), "gf_readApf xml is empty...");
    EXPECT_THAT(load("archive/stock/EGKK.xml"), HasSubstr("failed to download: \""));
    testsupport::writeFile(g_myThirdpartyFolder / "EGLL.xml", "<meta>");
    EXPECT_THAT(load((g_myThirdpartyFolder / "EGLL.xml").string()), HasSubstr("EGLL.xml could not be loaded: "));
    testsupport::writeFile(g_myThirdpartyFolder / "EGLL.xml", "<parameters/>");
    EXPECT_EQ(load((g_myThirdpartyFolder / "EGLL.xml").string()),
              (g_myThirdpartyFolder / "EGLL.xml").string() + " but refused to load, copyright problem");
    EXPECT_FALSE(standsLoaded.load());

    testsupport::writeFile(g_myThirdpartyFolder / "EGLL.xml", apfText(parameterXml("publisher", "x"), kStands));
    EXPECT_EQ(userError([&] { load((g_myThirdpartyFolder / "EGLL.xml").string()); }),
              "65: Parameter altitude not found");
    testsupport::writeFile(g_myThirdpartyFolder / "EGLL.xml",
                           apfText(header(), "<parkpos latitude=\"1\"/><parkpos latitude=\"2\"/>"));
    EXPECT_EQ(userError([&] { load((g_myThirdpartyFolder / "EGLL.xml").string()); }),
              "94: Parking position  appears more than once?");

    gf_setParkAirport({});
    EXPECT_EQ(load((g_myThirdpartyFolder / "EGLL.xml").string()), "gf_readApf no park airport set");
}

TEST_F(LoaderTest, StandsWithNumbersThatAreNoneAreRefused)
{
    const std::string file = (g_myThirdpartyFolder / "EGLL.xml").string();
    testsupport::writeFile(file, apfText(header(), "<parkpos id=\"N1\" latitude=\"nan\" longitude=\"-0.45\" radius=\"30\"/>"
                                                   "<parkpos id=\"N2\" latitude=\"51.47\" longitude=\"-0.45\" radius=\"inf\"/>"
                                                   "<parkpos id=\"N3\" latitude=\"51.47\" longitude=\"-0.45\" radius=\"-5\"/>"
                                                   "<parkpos id=\"N4\" latitude=\"51.47\" longitude=\"-0.45\" heading=\"-inf\"/>" +
                                                   kStands));
    testsupport::writeFile(g_learnedThirdpartyFolder / "stock" / "EGLL.xml",
                           apfText("", "<parkpos id=\"A1\" radius_change=\"true\" radius=\"nan\"/>"
                                       "<parkpos id=\"M1\" manual=\"true\" latitude=\"51.47\" longitude=\"-0.45\" "
                                       "radius=\"30\" heading=\"nan\"/>"));
    EXPECT_EQ(load(file), "");
    ASSERT_EQ(standTable.size(), 3u);
    EXPECT_EQ(standTable[0].name, "A1");
    EXPECT_NEAR(standTable[0].radius * 1852.0, 30.0, 0.01) << "a learned radius that is no number";
    for (const Stand& stand : standTable)
        EXPECT_TRUE(std::isfinite(stand.radius) && stand.radius >= 0.0 && std::isfinite(stand.lat));
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr(file + ": stand N1 refused, its latitude is \"nan\""));
    EXPECT_THAT(log, HasSubstr(file + ": stand N2 refused, its radius is \"inf\""));
    EXPECT_THAT(log, HasSubstr(file + ": stand N3 refused, its radius is \"-5\""));
    EXPECT_THAT(log, HasSubstr(file + ": stand N4 refused, its heading is \"-inf\""));
    EXPECT_THAT(log, HasSubstr("EGLL.xml: stand M1 refused, its heading is \"nan\""));
}

TEST_F(LoaderTest, FileWithoutStandsStillArmsParking)
{
    testsupport::writeFile(g_myThirdpartyFolder / "EGLL.xml",
                           "<meta><info name=\"author\" value=\"a\"/><info name=\"date\" value=\"d\"/>"
                           "<info name=\"version\" value=\"v\"/></meta><parameters>" +
                               parameterXml("altitude", "5") + "</parameters>");
    EXPECT_EQ(load((g_myThirdpartyFolder / "EGLL.xml").string()), "no stands found");
    EXPECT_TRUE(standsLoaded.load());
}

TEST_F(LoaderTest, LearnedFileAmendsStandsAndSettings)
{
    putOnServer(stock, apfText(header(), kStands));
    writeLearned(parameterXml("airport_name", "London") + parameterXml("MAX_FIT", "60") +
                     parameterXml("LEARN_SOFT", "true") + parameterXml("MAX_LIVE", "500000"),
                 // disjoint slots: added; one slot in common: dropped
                 "<parkpos id=\"A1\" radius_change=\"true\" radius=\"40\">"
                 "<opt airl=\"BAW\" type=\"A320\" day=\"1\" hh=\"12\"/>"
                 "<opt airl=\"BAW\" type=\"A320\" day=\"1\" hh=\"11,30\"/></parkpos>\n"
                 "<parkpos id=\"B1\" cargo_change=\"true\" cargo=\"false\"/>\n"
                 "<parkpos id=\"ZZ\"/>\n"
                 "<parkpos id=\"M1\" manual=\"true\" latitude=\"51.49\" longitude=\"-0.45\" radius=\"20\"/>\n"
                 "<parkpos id=\"A2\" manual=\"true\" latitude=\"51.49\" longitude=\"-0.45\" radius=\"20\"/>\n"
                 "<parkpos id=\"M2\" manual=\"true\" latitude=\"0\" longitude=\"0\" radius=\"20\"/>\n");
    parking_percentage.value = 70;
    MAX_LIVE.value = 5;
    EXPECT_EQ(load(stock), "");
    ASSERT_EQ(standTable.size(), 4u);
    const Stand& a1 = standTable[0];
    EXPECT_TRUE(a1.radiusChange);
    EXPECT_NEAR(a1.radius * 1852.0, 40.0, 1e-9);
    ASSERT_EQ(a1.opts.size(), 2u);
    EXPECT_EQ(a1.opts[1].number, 2u);
    EXPECT_EQ(a1.opts[1].fixed, 0u);
    EXPECT_TRUE(a1.opts[1].hours.test(12));
    EXPECT_TRUE(standTable[2].cargoChange);
    EXPECT_FALSE(standTable[2].cargo);
    EXPECT_EQ(standTable[3].name, "M1");
    EXPECT_TRUE(standTable[3].manual);
    EXPECT_EQ(standTable[3].id, 4u);

    EXPECT_EQ(MAX_FIT.value.load(), 47);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 24.0f);
    EXPECT_TRUE(LEARN_SOFT.value.load());
    EXPECT_EQ(MAX_LIVE.value.load(), MAX_LIVE.maxValue);
    EXPECT_EQ(parking_percentage.value.load(), 30) << "missing in the learned file";
    EXPECT_NE(parkQualityFactors, (std::uint64_t{0xffffffffu} << 32 | 50u)) << "recomputed from the stands";
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("Warning: learned file airport name: \"London\" differs from archived file airport name: "
                               "\"Heathrow\""));
    EXPECT_THAT(log, HasSubstr("MAX_FIT                 : 47 (max number of half hours, is 24 hrs decimal)"));
    EXPECT_THAT(log, HasSubstr("learned stand ZZ in "));
    EXPECT_THAT(log, HasSubstr("===> manually created standid A2 already exists in "));
    EXPECT_THAT(log, HasSubstr("===> manually created standid M2 misses correct attributes in "));
}

TEST_F(LoaderTest, HandmadeLearnedFileReplacesTheStands)
{
    putOnServer(stock, apfText(header(), kStands));
    writeLearned(parameterXml("airport_name", "Heathrow") + parameterXml("handmade", "false"),
                 "<parkpos id=\"H1\" latitude=\"51.5\" longitude=\"-0.4\" radius=\"30\"><opt day=\"2\" hh=\"1\"/>"
                 "</parkpos>\n");
    MAX_LIVE.value = 5;
    EXPECT_EQ(load(stock), "");
    ASSERT_EQ(standTable.size(), 1u);
    EXPECT_EQ(standTable[0].name, "H1");
    EXPECT_EQ(standTable[0].opts[0].fixed, 1u);
    EXPECT_TRUE(handmadeOverrule);
    EXPECT_EQ(MAX_LIVE.value.load(), -1);
    EXPECT_TRUE(g_mainWindow.hFlag.load());
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("A handmade airport file overruled the archived file!"));
    EXPECT_THAT(log, HasSubstr("Airport file read from \"" + (g_learnedStockFolder / "EGLL.xml").string()));
}

TEST_F(LoaderTest, CorruptLearnedFileIsKeptAside)
{
    putOnServer(stock, apfText(header(), kStands));
    testsupport::writeFile(g_learnedStockFolder / "EGLL.xml", "<meta");
    EXPECT_EQ(load(stock), "");
    EXPECT_EQ(standTable.size(), 3u);
    EXPECT_EQ(testsupport::readFile(g_learnedStockFolder / "EGLL0.xml"), "<meta");
    EXPECT_THAT(logText(), HasSubstr("EGLL.xml found, but could not be loaded, saved as *.0.xml: "));
}

TEST_F(LoaderTest, DuplicateInAHandmadeFileKeepsTheStandsBeforeIt)
{
    putOnServer(stock, apfText(header(), kStands));
    writeLearned(parameterXml("airport_name", "Heathrow") + parameterXml("handmade", "true"),
                 "<parkpos id=\"H1\" latitude=\"51.5\" radius=\"30\"/><parkpos id=\"H1\" latitude=\"51.6\"/>\n");
    EXPECT_EQ(load(stock), "");
    EXPECT_EQ(standTable.size(), 1u);
    EXPECT_THAT(logText(), HasSubstr("lf_readLearned: 94: Parking position H1 appears more than once?"));
}

} // namespace
