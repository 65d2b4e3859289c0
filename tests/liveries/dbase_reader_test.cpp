// Reading the data base: the tables it fills from a scrambled file, the list syntax, the
// warnings for entries it skips, the errors that stop it, and the download that feeds it.

#include "core/exceptions.h"
#include "core/log.h"
#include "liveries/dbase.h"
#include "liveries/dbase_sample_test.h"
#include "liveries/model_classes.h"
#include "params/names.h"
#include "support/temp_folder.h"
#include "support/zip_maker.h"

#include <cmath>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using dbasetest::registration;
using dbasetest::wingspan;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
namespace fs = std::filesystem;

constexpr double kNmPerMetre = 1.0 / 1852.0;

class DbaseReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gf_clearDbaseTables();
        gf_openLog();
    }
    void TearDown() override
    {
        gf_closeLog();
        gf_clearDbaseTables();
    }

    fs::path write(const dbasetest::Sample& sample) const
    {
        const fs::path path = folder / "temp2.xml";
        testsupport::writeFile(path, sample.xml());
        return path;
    }
    std::string logText() const { return testsupport::readFile(folder / "Log.txt"); }

    testsupport::TempFolder folder{true};
    const DbaseTables& t = dbaseTables;
};

// The message of the exception that `read` throws, with its type checked.
template <typename Exception, typename Read>
std::string lf_errorOf(Read read)
{
    try {
        read();
    } catch (const Exception& e) {
        return e.what();
    }
    return "nothing thrown";
}

TEST_F(DbaseReaderTest, ReadsEveryTableAsPlainCodesAndRemovesTheFile)
{
    dbasetest::Sample sample;
    sample.extra = "<similar_types>\n"
                   " <similar types=\"" + dbasetest::scrambledList({"A321", "A320", "A319"}, testsupport::scrambleType) + "\"/>\n"
                   " <similar types=\"\"/>\n"
                   "</similar_types>\n"
                   "<publishers><pub names=\"Beta, be\"/><pub names=\"Alpha,alp\"/><pub names=\"Beta, be\"/></publishers>\n"
                   "<fixes><fx wro=\"A32O\" cor=\"A320\"/></fixes>\n"
                   "<thirdpartiesP3D><thirdpartieP3D pub=\"Alpha\" arpts=\"EDDF, EDDM\"/>"
                   "<thirdpartieP3D pub=\"Alpha\" arpts=\"EDDF\"/></thirdpartiesP3D>\n"
                   "<dbase>" + registration("D-AIAB", "DLH", "A321", "CLH", "1") + registration("N123", "", "C172") + "</dbase>\n";
    const fs::path path = write(sample);

    ASSERT_TRUE(gf_readDbaseFile(path));

    EXPECT_FALSE(fs::exists(path));
    EXPECT_THAT(t.ModelCodes, ElementsAre("A320", "A321", "B744", "C172", "E190", "EC35", "F16", "GLF5"));
    EXPECT_THAT(t.LargeModels, ElementsAre("A320", "A321", "E190"));
    EXPECT_THAT(t.HeavyModels, ElementsAre("B744"));
    EXPECT_THAT(t.BuzjetModels, ElementsAre("GLF5"));
    EXPECT_THAT(t.RotorcraftModels, ElementsAre("EC35"));
    EXPECT_THAT(t.HighPerfModels, ElementsAre("F16"));
    EXPECT_THAT(t.CargoModels, ElementsAre("B744"));
    EXPECT_THAT(t.IcaoAirlines, ElementsAre("BAW", "DLH", "PVT"));
    EXPECT_THAT(t.CargoOperators, ElementsAre("FDX"));
    ASSERT_EQ(t.SimilarGroups.size(), 2u);
    EXPECT_THAT(t.SimilarGroups[0], ElementsAre("A319", "A320", "A321")) << "each group sorted";
    EXPECT_TRUE(t.SimilarGroups[1].empty()) << "an empty group is kept";
    ASSERT_EQ(t.Publishers.size(), 2u) << "a repeated names text is read once";
    EXPECT_THAT(t.Publishers[0], ElementsAre("Alpha", "alp")) << "ordered by the names text";
    EXPECT_THAT(t.Publishers[1], ElementsAre("Beta", "be"));
    ASSERT_EQ(t.ModelFixes.size(), 1u);
    EXPECT_EQ(t.ModelFixes.at("A32O"), "A320");
    EXPECT_THAT(t.SimaddonAirports, ElementsAre("EGLL", "LOWI"));
    ASSERT_EQ(t.PublisherAirports.size(), 2u) << "duplicates kept";
    EXPECT_EQ(t.PublisherAirports[0].publisher, "Alpha");
    EXPECT_THAT(t.PublisherAirports[0].airports, ElementsAre("EDDF", "EDDM"));
    ASSERT_EQ(t.DbaseRegcodes.size(), 2u);
    const DbaseRegRecord& lufthansa = t.DbaseRegcodes.at("D-AIAB");
    EXPECT_EQ(lufthansa.airline, "DLH");
    EXPECT_EQ(lufthansa.model, "A321");
    EXPECT_EQ(lufthansa.operatorCode, "CLH");
    EXPECT_TRUE(lufthansa.cargo);
    const DbaseRegRecord& cessna = t.DbaseRegcodes.at("N123");
    EXPECT_EQ(cessna.airline, "") << "an empty airline stays empty";
    EXPECT_EQ(cessna.operatorCode, "");
    EXPECT_FALSE(cessna.cargo);
    EXPECT_EQ(t.MaxHalfWingspan, 0.0) << "no wingspans section";
    EXPECT_THAT(logText(), Not(HasSubstr("===> "))) << "a clean file gives no warning";
}

TEST_F(DbaseReaderTest, ListItemsAreTrimmedKeepInnerEmptyItemsAndDropATrailingComma)
{
    dbasetest::Sample sample;
    sample.extra = "<publishers><pub names=\" Alpha ,, alp \t\"/><pub names=\"Gamma,\"/><pub names=\"\"/></publishers>\n";
    sample.simaddonAirports = "EGLL, LOWI ,";
    ASSERT_TRUE(gf_readDbaseFile(write(sample)));
    ASSERT_EQ(t.Publishers.size(), 3u);
    EXPECT_TRUE(t.Publishers[0].empty()) << "an empty names text sorts first and gives no item";
    EXPECT_THAT(t.Publishers[1], ElementsAre("Alpha", "", "alp"));
    EXPECT_THAT(t.Publishers[2], ElementsAre("Gamma"));
    EXPECT_THAT(t.SimaddonAirports, ElementsAre("EGLL", "LOWI"));
}

TEST_F(DbaseReaderTest, AnEmptyRequiredListStopsTheReadAndKeepsTheFile)
{
    struct Case {
        std::string message;
        std::function<void(dbasetest::Sample&)> spoil;
    };
    const std::vector<Case> cases = {
        {"61: In an xml file section simaddonsP3D simaddonP3D arpts is empty ",
         [](dbasetest::Sample& s) { s.leftOut.insert("simaddonsP3D"); }},
        {"61: In an xml file section simaddonsP3D simaddonP3D arpts is empty ",
         [](dbasetest::Sample& s) { s.simaddonAirports = ""; }},
        {"61: In an xml file section aircrafts aircraft types is empty ",
         [](dbasetest::Sample& s) { s.leftOut.insert("aircrafts"); }},
        {"61: In an xml file section cargo_operators ICAO codes is empty ",
         [](dbasetest::Sample& s) { s.cargoOperators.clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        gf_clearDbaseTables();
        dbasetest::Sample sample;
        c.spoil(sample);
        const fs::path path = write(sample);
        EXPECT_EQ(lf_errorOf<qmx::UserErrorException>([&] { gf_readDbaseFile(path); }), c.message);
        EXPECT_TRUE(fs::exists(path));
    }
    EXPECT_THAT(t.ModelCodes, Not(testing::IsEmpty())) << "the tables keep what was read before the error";
}

TEST_F(DbaseReaderTest, AFileThatDoesNotParseIsAUserError)
{
    const fs::path missing = folder / "input" / "temp2.xml";
    EXPECT_EQ(lf_errorOf<qmx::UserErrorException>([&] { gf_readDbaseFile(missing); }),
              "60: \"" + missing.string() + "\" not read because of File was not found");
    testsupport::writeFile(folder / "bad.xml", "<aircrafts><aircraft types=\"x\"></aircrafts>");
    EXPECT_THAT(lf_errorOf<qmx::UserErrorException>([&] { gf_readDbaseFile(folder / "bad.xml"); }),
                HasSubstr("not read because of"));
    EXPECT_TRUE(t.ModelCodes.empty());
}

TEST_F(DbaseReaderTest, WingspansAreHalvedInNauticalMilesAndAveragedPerClass)
{
    dbasetest::Sample sample;
    sample.extra = "<wingspans>" + wingspan("A320", "36") + wingspan("A320", "40") + wingspan("A321", "34") +
                   wingspan("B744", "64.4") + wingspan("ZZZZ", "80") + wingspan("C172", "nan") +
                   wingspan("GLF5", "-28") + wingspan("EC35", "1e400") + wingspan("E190", "") + "</wingspans>\n";
    ASSERT_TRUE(gf_readDbaseFile(write(sample)));

    EXPECT_DOUBLE_EQ(t.Wingspans.at("A320"), 36 * 0.5 * kNmPerMetre) << "the first entry of a model stays";
    EXPECT_NEAR(t.Wingspans.at("A320"), 0.0097192, 1e-7);
    EXPECT_DOUBLE_EQ(t.Wingspans.at("E190"), 0.0) << "a missing width reads as 0";
    EXPECT_DOUBLE_EQ(t.MaxHalfWingspan, 64.4 * 0.5 * kNmPerMetre);
    EXPECT_FALSE(t.Wingspans.contains("ZZZZ"));
    for (const char* bad : {"C172", "GLF5", "EC35"})
        EXPECT_FALSE(t.Wingspans.contains(bad)) << bad << ": not a usable width";
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("===> wingspan model ZZZZ is no valid model, skipped"));
    EXPECT_THAT(log, HasSubstr("===> wingspan nan of model C172 is no valid number, skipped"));

    const double large = (36 + 34 + 0.0) * 0.5 * kNmPerMetre / 3; // A320, A321, E190
    const double heavy = 64.4 * 0.5 * kNmPerMetre;
    EXPECT_DOUBLE_EQ(t.ClassHalfWingspans[2], large);
    EXPECT_DOUBLE_EQ(t.ClassHalfWingspans[3], heavy);
    const double all = (36 + 34 + 64.4) * 0.5 * kNmPerMetre / 4;
    for (int c : {0, 1, 4, 5}) {
        EXPECT_DOUBLE_EQ(t.ClassHalfWingspans[c], all) << "class " << c << " has no wingspan of its own";
        EXPECT_TRUE(std::isfinite(t.ClassHalfWingspans[c]));
    }
}

TEST_F(DbaseReaderTest, AMaxWingspanRaisedByARepeatedEntry)
{
    dbasetest::Sample sample;
    sample.extra = "<wingspans>" + wingspan("A320", "36") + wingspan("A320", "40") + "</wingspans>\n";
    ASSERT_TRUE(gf_readDbaseFile(write(sample)));
    EXPECT_DOUBLE_EQ(t.Wingspans.at("A320"), 36 * 0.5 * kNmPerMetre);
    EXPECT_DOUBLE_EQ(t.MaxHalfWingspan, 40 * 0.5 * kNmPerMetre);
}

TEST_F(DbaseReaderTest, FixesAndRegistrationsSkipBadAndRepeatedEntriesWithAWarning)
{
    dbasetest::Sample sample;
    sample.extra = "<fixes><fx wro=\"A32O\" cor=\"A320\"/><fx wro=\"A32O\" cor=\"A321\"/><fx wro=\"B74\" cor=\"B7X\"/>"
                   "<fx wro=\"X\"/></fixes>\n"
                   "<dbase>" +
                   registration("G-EUPA", "BAW", "A320", "", "Yes") + registration("G-EUPA", "EZY", "A319") +
                   registration("G-EUPB", "BAW", "A320", "", "no") + registration("G-EUPC", "BAW", "A320", "", "0") +
                   registration("G-EUPD", "BAW", "A320", "", "true") + "</dbase>\n";
    ASSERT_TRUE(gf_readDbaseFile(write(sample)));

    ASSERT_EQ(t.ModelFixes.size(), 1u);
    EXPECT_EQ(t.ModelFixes.at("A32O"), "A320") << "the first fix stays";
    EXPECT_EQ(t.DbaseRegcodes.at("G-EUPA").airline, "BAW") << "the first record stays";
    EXPECT_TRUE(t.DbaseRegcodes.at("G-EUPA").cargo);
    EXPECT_FALSE(t.DbaseRegcodes.at("G-EUPB").cargo);
    EXPECT_FALSE(t.DbaseRegcodes.at("G-EUPC").cargo);
    EXPECT_TRUE(t.DbaseRegcodes.at("G-EUPD").cargo);
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("===> wrong part of fix: \"A32O\", already exists, skipped"));
    EXPECT_THAT(log, HasSubstr("===> wrong fix B74->B7X, the latter is not a valid model"));
    EXPECT_THAT(log, HasSubstr("===> wrong fix X->, the latter is not a valid model"));
    EXPECT_THAT(log, HasSubstr("===> regcode G-EUPA already exists"));
}

TEST_F(DbaseReaderTest, EmptyCodesNeverBecomeKnownCodes)
{
    dbasetest::Sample sample;
    sample.models = {"A320", "", "B744"};
    sample.extra = "<fixes><fx wro=\"ABCD\" cor=\"\"/></fixes>\n";
    ASSERT_TRUE(gf_readDbaseFile(write(sample)));
    EXPECT_THAT(t.ModelCodes, ElementsAre("A320", "B744"));
    EXPECT_TRUE(t.ModelFixes.empty()) << "a fix to the empty code would wipe a livery's model";
}

// The whole road at start-up: the archive on the download server, unpacked into the input
// folder (made when missing), read, and both the archive and the unpacked file removed.
TEST_F(DbaseReaderTest, TheStartUpReadDownloadsUnpacksReadsAndCleansUp)
{
    testsupport::ScopedEnv base{"ORVANTA_DOWNLOAD_BASE", "file://" + (folder / "server").string() + "/"};
    fs::create_directories(folder / "server");
    dbasetest::Sample sample;
    sample.extra = "<dbase>" + registration("D-AIAB", "DLH", "A321") + "</dbase>\n";
    testsupport::makeZip(folder / "server" / "dbase.zip", {{"temp2.xml", sample.xml()}});

    ASSERT_TRUE(gf_readDbase());
    EXPECT_EQ(t.DbaseRegcodes.at("D-AIAB").model, "A321");
    EXPECT_TRUE(fs::is_directory(folder / "input"));
    EXPECT_FALSE(fs::exists(folder / g_dbaseFile));
    EXPECT_FALSE(fs::exists(folder / "dbase.zip"));
    EXPECT_TRUE(fs::exists(folder / "server" / "dbase.zip"));

    fs::remove(folder / "server" / "dbase.zip");
    EXPECT_EQ(lf_errorOf<qmx::SysErrorException>([] { gf_readDbase(); }),
              "sys error 23: data base could not be read from on-line?");
}

// The sample data base beside the tests (for whole-program runs) reads without a warning.
TEST_F(DbaseReaderTest, TheFixtureDataBaseReadsCleanly)
{
    const fs::path fixture = testsupport::sourceDir() / "tests/liveries/fixtures/dbase/temp2.xml";
    const fs::path copy = folder / "temp2.xml";
    fs::copy_file(fixture, copy);
    ASSERT_TRUE(gf_readDbaseFile(copy));
    EXPECT_TRUE(t.ModelCodes.contains("A320"));
    EXPECT_TRUE(t.IcaoAirlines.contains("DLH"));
    EXPECT_GT(t.MaxHalfWingspan, 0.0);
    EXPECT_FALSE(t.DbaseRegcodes.empty());
    EXPECT_THAT(logText(), Not(HasSubstr("===> ")));
}

} // namespace
