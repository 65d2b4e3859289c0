// Finding an airport's stand file, the nearest stand of a file and the offline-learning test.

#include "airports/airport_file_locator.h"
#include "airports/airport_file_queries.h"
#include "core/download.h"
#include "standfiles_fixture.h"
#include "support/test_seams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using airportstest::apfText;
using airportstest::parameterXml;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class LocatorTest : public airportstest::StandFilesTest {
protected:
    void TearDown() override
    {
        gf_setDownloadRetryPause({});
        StandFilesTest::TearDown();
    }
    static void writeLocal(const fs::path& path, const std::string& text) { testsupport::writeFile(path, text); }
    static std::string stands(const std::string& body) { return apfText(parameterXml("altitude", "10"), body); }
};

TEST_F(LocatorTest, LinkFileIsCutAfterItsLastL)
{
    std::string out = "unchanged";
    EXPECT_FALSE(lf_pathFromTxtFile("missing.txt", out));
    writeLocal("empty.txt", "");
    EXPECT_FALSE(lf_pathFromTxtFile("empty.txt", out));
    EXPECT_EQ(out, "unchanged");
    writeLocal("a.txt", "archive/thirdparty/A%20B/EGLL.xml  \r\nsecond line\n");
    ASSERT_TRUE(lf_pathFromTxtFile("a.txt", out));
    EXPECT_EQ(out, "archive/thirdparty/A%20B/EGLL.xml");
    writeLocal("b.txt", "no such mark\n");
    ASSERT_TRUE(lf_pathFromTxtFile("b.txt", out));
    EXPECT_EQ(out, "");
}

TEST_F(LocatorTest, PrecedenceOfFoldersLinksAndStock)
{
    EXPECT_EQ(gf_locateApf("EGLL"), "");
    EXPECT_FALSE(gf_airportFileAvailable("EGLL"));

    putOnServer("archive/stock/EGLL.xml", stands(""));
    EXPECT_EQ(gf_locateApf("EGLL"), "") << "a file missing on the server is not asked for again at once";
    gf_forgetFailedDownloads(); // a new start
    EXPECT_EQ(gf_locateApf("EGLL"), "archive/stock/EGLL.xml");
    EXPECT_TRUE(gf_airportFileAvailable("EGLL"));
    EXPECT_FALSE(fs::exists("EGLL.xml")) << "the probe keeps no copy";

    writeLocal(g_myOrbxFolder / "EGLL.xml", stands(""));
    EXPECT_EQ(gf_locateApf("EGLL"), (g_myOrbxFolder / "EGLL.xml").string());
    writeLocal(g_myOrbxFolder / "EGLL.txt", "archive/simaddon/EGLL.xml\n");
    EXPECT_EQ(gf_locateApf("EGLL"), "archive/simaddon/EGLL.xml");

    writeLocal(g_myThirdpartyFolder / "EGLL.xml", stands(""));
    EXPECT_EQ(gf_locateApf("EGLL"), (g_myThirdpartyFolder / "EGLL.xml").string())
        << "my_ORBX's link is not consulted";
    writeLocal(g_myThirdpartyFolder / "EGLL.txt", "");
    EXPECT_EQ(gf_locateApf("EGLL"), (g_myThirdpartyFolder / "EGLL.xml").string()) << "an empty link is passed over";
    writeLocal(g_myThirdpartyFolder / "EGLL.txt", "airports/my_thirdparty/other.xml\n");
    EXPECT_EQ(gf_locateApf("EGLL"), "airports/my_thirdparty/other.xml");
    writeLocal(g_myThirdpartyFolder / "EGLL.txt", "nothing here\n");
    EXPECT_EQ(gf_locateApf("EGLL"), "") << "a link without a path ends the search";
    EXPECT_TRUE(gf_airportFileAvailable("EGLL"));
}

TEST_F(LocatorTest, AFailedDownloadIsTriedAgainAfterAPauseAndLoggedOnceUntilHad)
{
    const auto count = [&](std::string_view part) {
        const std::string log = logText();
        std::size_t n = 0;
        for (std::size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(gf_locateApf("EGLL"), "");
    putOnServer("archive/stock/EGLL.xml", stands(""));
    EXPECT_EQ(gf_locateApf("EGLL"), "") << "not within the pause";
    gf_setDownloadRetryPause(std::chrono::seconds(0)); // as when the pause has passed
    EXPECT_EQ(gf_locateApf("EGLL"), "archive/stock/EGLL.xml");
    EXPECT_FALSE(fs::exists("EGLL.xml"));
    fs::remove(serverFile("archive/stock/EGLL.xml"));
    EXPECT_EQ(gf_locateApf("EGLL"), "");
    EXPECT_EQ(gf_locateApf("EGLL"), "");
    const std::string url = gf_p3dDownloadUrl() + "archive/stock/EGLL.xml";
    EXPECT_EQ(count("download of " + url + " failed"), 2u) << "once before the file was had, once after";
    EXPECT_EQ(count(url + " is asked for again at later checks, at most every 5 minutes"), 2u);
}

TEST_F(LocatorTest, NearestStandOfAFile)
{
    std::string name = "none";
    EXPECT_EQ(gf_readDestApfForClosestStand("EGLL", {51.0, 0.0}, name), 100.0);
    EXPECT_EQ(name, "none");

    gf_forgetFailedDownloads(); // a new start
    putOnServer("archive/stock/EGLL.xml",
                stands("<parkpos id=\"far\" latitude=\"53.5\" longitude=\"0\"/>\n"
                       "<parkpos id=\"A\" latitude=\"51.01\" longitude=\"0\"/>\n"
                       "<parkpos id=\"B\" latitude=\"50.99\" longitude=\"0\"/>\n"));
    const double d = gf_readDestApfForClosestStand("EGLL", {51.0, 0.0}, name);
    EXPECT_NEAR(d, 0.6, 0.01);
    EXPECT_EQ(name, "A") << "ties keep the first";
    EXPECT_TRUE(fs::exists(g_airportFile));

    writeLocal(g_myThirdpartyFolder / "EGKK.xml", stands("<parkpos id=\"X\" latitude=\"55\" longitude=\"0\"/>\n"));
    name = "none";
    EXPECT_EQ(gf_readDestApfForClosestStand("EGKK", {51.0, 0.0}, name), 100.0);
    EXPECT_EQ(name, "none");

    writeLocal(g_myThirdpartyFolder / "EGKK.xml", "<not xml");
    EXPECT_EQ(gf_readDestApfForClosestStand("EGKK", {51.0, 0.0}, name), 100.0);
    EXPECT_FALSE(fs::exists(g_airportFile));
}

TEST_F(LocatorTest, SuitabilityForOfflineLearning)
{
    const auto stock = [&](const std::string& params) {
        putOnServer("archive/stock/EGLL.xml", apfText(params, ""));
        const bool suitable = gf_suitableForOfflineLearning("EGLL");
        EXPECT_FALSE(fs::exists("EGLL.xml"));
        return suitable;
    };
    EXPECT_TRUE(stock(parameterXml("Qf_real", "0")));
    EXPECT_FALSE(stock(""));
    EXPECT_THAT(logText(), Not(HasSubstr("Not suitable")));
    EXPECT_FALSE(stock(parameterXml("Qf_soft", "12") + parameterXml("WEEK", "17")));
    EXPECT_TRUE(stock(parameterXml("Qf_soft", "12") + parameterXml("WEEK", "18")));
    EXPECT_FALSE(gf_suitableForOfflineLearning("EGKK"));
    EXPECT_THAT(logText(), HasSubstr("===> EGKK Not suitable for offline learning"));
}

} // namespace
