// The registration-code lists: the text-line rules, the XML list, the precedence of the three
// sources in RegcodeMap, the special titles and the titles not to use.

#include "core/download.h"
#include "core/files.h"
#include "liveries/scanned_liveries_file.h"
#include "support/scramble_twin.h"
#include "support/zip_maker.h"
#include "tables_test_fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

class RegcodesTest : public tablestest::TablesTest {
protected:
    void myList(const std::string& name, const std::string& text) const
    {
        std::filesystem::create_directories(g_myRegcodesFolder);
        testsupport::writeFile(g_myRegcodesFolder / name, text);
    }
    // server/AIG-regcodes.zip holding AIG-regcodes.xml with these <livery> elements.
    void aigList(const std::string& elements) const
    {
        std::filesystem::create_directories("server");
        testsupport::makeZip("server/AIG-regcodes.zip",
                             {{"AIG-regcodes.xml", "<?xml version=\"1.0\"?>\n<AIG-regcodes>\n" + elements + "</AIG-regcodes>\n"}});
    }
    static std::string regs(const std::vector<std::string>& plain)
    {
        std::string text;
        for (const std::string& regcode : plain)
            text += (text.empty() ? "" : ",") + testsupport::scrambleRegcode(regcode);
        return text;
    }
};

TEST_F(RegcodesTest, TextLinesMakeFleetSpecialAndUnusableEntries)
{
    myList("a.TXT", "Fleet ; G-EUPA, G-EUPB\r\n"
                    "\n"
                    "Special fleet; G-EUPC,G-EUPD ; #\n"
                    "Not special;G-EUPE,G-EUPF;x\n"
                    "One aircraft; N1\n"
                    "Do not use\n"
                    "Short in list; G-EUPG, AB\n"
                    "No regs; ,\n"
                    "Unusable too;\n");
    myList("b.txt", "Too long; ABCDEFGHIJKLM\nFour; G-A; #; x\n");
    myList("c.cfg", "Ignored; G-XXXX\n");
    std::vector<RegcodeEntry> entries;
    EXPECT_FALSE(gf_readRegcodeFolder(g_myRegcodesFolder, entries)) << "malformed lines fail the read";

    std::vector<std::string> summary;
    for (const RegcodeEntry& e : entries)
        summary.push_back(fmt::format("{}|{}|{}", e.title, fmt::join(e.regcodes, ","), e.special));
    EXPECT_THAT(summary, ElementsAre("Fleet|G-EUPA,G-EUPB|false", "Special fleet|G-EUPC,G-EUPD|true",
                                     "Not special|G-EUPE,G-EUPF|false", "One aircraft|N1|true", "Do not use||false",
                                     "Short in list|G-EUPG|false",
                                     "Unusable too||false"));
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("wrong regcode length \"AB\" in " + (g_myRegcodesFolder / "a.TXT").string()));
    EXPECT_THAT(log, HasSubstr("wrong regcode length \"ABCDEFGHIJKLM\" in " + (g_myRegcodesFolder / "b.txt").string()));
    EXPECT_THAT(log, HasSubstr((g_myRegcodesFolder / "b.txt").string() + ": wrong format \"Four; G-A; #; x\""));
    EXPECT_THAT(log, HasSubstr("7 liveries read"));
    EXPECT_THAT(log, testing::Not(HasSubstr("c.cfg")));
}

TEST_F(RegcodesTest, LaterListsOverrideEarlierOnesAndTheInlineRegistrations)
{
    dbaseTables.LargeModels = {"A319"};
    scan({{"BAW", "A319", "BA old", false, "G-EUPA"},
          {"BAW", "A319", "BA new", false, "G-EUPA"},
          {"BAW", "A319", "BA retro"},
          {"BAW", "A319", "BA special"}});
    lf_writeLiveriesScanned();
    aigList("<livery title=\"BA retro\" reg=\"" + regs({"G-EUPB", "G-EUPC"}) + "\"/>\n"
            "<livery title=\"Not installed\" reg=\"" + regs({"G-EUPZ"}) + "\" special=\"1\"/>\n"
            "<livery title=\"BA special\" reg=\"" + regs({"G-EUPD"}) + "\" special=\"yes\"/>\n");
    myList("mine.txt", "BA new; G-EUPB, G-EUPE\nBA new; G-EUPE, G-EUPF\n");
    lf_processScannedLiveries();

    EXPECT_EQ(RegcodeMap.at("G-EUPA"), "BA new") << "the first scanned livery keeps its atc_id";
    EXPECT_THAT(testsupport::readFile(g_inlineRegcodesFile),
                HasSubstr("G-EUPA \"BA old\" => already in use by \"BA new\""));
    EXPECT_EQ(RegcodeMap.at("G-EUPB"), "BA new") << "the user's list has the last word";
    EXPECT_EQ(RegcodeMap.at("G-EUPC"), "BA retro");
    EXPECT_EQ(RegcodeMap.at("G-EUPD"), "BA special");
    EXPECT_EQ(RegcodeMap.count("G-EUPZ"), 0U);
    EXPECT_EQ(RegcodeMap.size(), 6U);
    ASSERT_EQ(SpecialTitles.size(), 1U);
    EXPECT_EQ(SpecialTitles[0].data(), lf_findLiveryTitle("BA special").data());

    const std::string report = testsupport::readFile(g_offlineRegcodesFile);
    EXPECT_THAT(report, HasSubstr("Processing file " + g_aigRegcodesFile.string() + "\n"
                                  "3 new regcodes added, 1 regcode defined as special\n"
                                  "Processing files in " + g_myRegcodesFolder.string() + "\n"
                                  "   regcode G-EUPB for \"BA new\", instead of the same for \"BA retro\"\n"
                                  "2 new regcodes added, 1 regcode replaced\n"));
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("1 in-line regcode clashes, see \"" + g_inlineRegcodesFile.string() + "\""));
    EXPECT_THAT(log, HasSubstr("3 liveries read from " + g_aigRegcodesFile.string()));
    EXPECT_THAT(log, HasSubstr("1 special liveries"));
    EXPECT_THAT(log, HasSubstr("6 registration codes"));
    EXPECT_FALSE(std::filesystem::exists(g_aigRegcodesFile)) << "the downloaded list never stays";
    EXPECT_TRUE(std::filesystem::exists("input/AIG-regcodes0.xml"));
}

// The exit (a restart) stops the list's download: the tables are not built without it, and the
// restart's start-up builds them with it.
TEST_F(RegcodesTest, TablesWhoseListTheExitKeptFromThemAreBuiltByTheNextStartUp)
{
    dbaseTables.LargeModels = {"A319"};
    scan({{"BAW", "A319", "BA retro"}});
    lf_writeLiveriesScanned();
    aigList("<livery title=\"BA retro\" reg=\"" + regs({"G-EUPB", "G-EUPC"}) + "\"/>\n");
    std::filesystem::create_directories(g_aigRegcodesFile.parent_path());
    gf_stopDownloads();
    lf_processScannedLiveries();
    gf_allowDownloads();
    EXPECT_FALSE(liveryTablesBuilt);
    EXPECT_TRUE(RegcodeMap.empty());
    EXPECT_TRUE(AirlineIndex.empty());
    EXPECT_THAT(logText(), testing::Not(HasSubstr("reading AIG-regcodes failed?")));

    lf_processScannedLiveries();
    EXPECT_TRUE(liveryTablesBuilt);
    EXPECT_EQ(RegcodeMap.size(), 2U);
    EXPECT_EQ(AirlineIndex.at("BAW").at("A319").size(), 1U);
    EXPECT_THAT(logText(), testing::Not(HasSubstr("skipped; already done")));
}

TEST_F(RegcodesTest, WithoutAnyListNoReportIsWritten)
{
    EXPECT_FALSE(gf_folderHasEntries(g_myRegcodesFolder));
    std::filesystem::create_directories(g_myRegcodesFolder);
    EXPECT_FALSE(gf_folderHasEntries(g_myRegcodesFolder)) << "an empty folder is no list";
    testsupport::writeFile("plain", "x");
    EXPECT_FALSE(gf_folderHasEntries("plain")) << "nor is a file";
    testsupport::writeFile(g_offlineRegcodesFile, "old report");
    lf_processRegcodes();
    EXPECT_FALSE(std::filesystem::exists(g_offlineRegcodesFile));
    EXPECT_THAT(logText(), HasSubstr("===> reading AIG-regcodes failed?"));
    EXPECT_THAT(logText(), testing::Not(HasSubstr("Offline regcode files processed")));
}

TEST_F(RegcodesTest, EntriesWithoutRegistrationsNameTitlesNotToUse)
{
    aigList("<livery title=\"Broken AIG\"/>\n<livery title=\"\" reg=\"\"/>\n<livery title=\"Fine\" reg=\"" +
            regs({"G-EUPA"}) + "\"/>\n<livery title=\"Damaged\" reg=\"~Q9Z\"/>\n");
    myList("mine.txt", "Broken mine\nFine mine; G-EUPB\n");
    lf_readAigRegcodes();
    EXPECT_THAT(titlesNotToUse, ElementsAre("Broken AIG", "Broken mine"));
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("1 don't use title read\n")) << "a registration that cannot be read bans no livery";
    EXPECT_EQ(log.find("\"~Q9Z\" error"), log.rfind("\"~Q9Z\" error")) << "logged once";
    EXPECT_NE(log.find("===> decrypt reg \"~Q9Z\" error"), std::string::npos);
    EXPECT_THAT(log, HasSubstr("1 don't use title read from files in " + g_myRegcodesFolder.string()));
    EXPECT_FALSE(std::filesystem::exists(g_aigRegcodesFile));
}

} // namespace
