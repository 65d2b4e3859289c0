#include "airports/addon_airport_scan.h"
#include "airports/stand_file.h"
#include "core/exceptions.h"
#include "core/scan_throttle.h"
#include "liveries/dbase.h"
#include "liveries/scan_messages.h"
#include "params/parameter_store.h"
#include "run/exit.h"
#include "run/startup.h"
#include "standfiles_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fmt/format.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

const fs::path kNewLayoutBgl = testsupport::sharedDataDir() / "bgl" / "LEAB_ADEP5_ARV187.bgl";
const fs::path kOldLayoutBgl = testsupport::sharedDataDir() / "bgl" / "LEAB_ADEP4_ARV187.bgl";

std::size_t countContaining(const std::vector<std::string>& lines, std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != l.npos; }));
}

std::size_t countContaining(const std::string& text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class AddonScan : public airportstest::StandFilesTest {
protected:
    void SetUp() override
    {
        StandFilesTest::SetUp();
        fs::create_directories(g_outputInfoFolder);
        g_stockSceneryPath = folder / "sim" / "Scenery";
        gf_initScanThrottle();
        gf_takeScanMessages();
        g_addonAirportsFound = false;
        g_tbloAirportCount = 0;
    }
    void TearDown() override
    {
        g_stockSceneryPath.clear();
        exitingFlag = false;
        g_addonAirportsFound = false;
        StandFilesTest::TearDown();
    }

    fs::path sceneryFolder(const std::string& name) const
    {
        const fs::path path = folder / "addons" / name;
        fs::create_directories(path);
        return path;
    }
    static void copyBgl(const fs::path& from, const fs::path& to)
    {
        fs::create_directories(to.parent_path());
        fs::copy_file(from, to);
    }
    void putStock(const std::string& code, bool suitable) const
    {
        putOnServer("archive/stock/" + code + ".xml",
                    airportstest::apfText(airportstest::parameterXml("Qf_real", suitable ? "5" : "-1"), ""));
    }
    static std::string scanLog() { return testsupport::readFile(g_airportsScanLogFile); }
};

TEST_F(AddonScan, ManualScanDecodesOnlyRealAirportFilesAndUnticksTheOption)
{
    const fs::path addon = sceneryFolder("LEAB_freeware");
    copyBgl(kNewLayoutBgl, addon / "scenery" / "LEAB_ADEP5_ARV187.bgl");
    copyBgl(kOldLayoutBgl, addon / "statics" / "LEAB_ADEP4_ARV187.bgl");
    copyBgl(kOldLayoutBgl, addon / "LEAB_heliports" / "x_heliports.bgl");
    copyBgl(kOldLayoutBgl, addon / "scenery" / "X.Bgl");
    // An earlier scan's generated file and link file go; the user's own stand and link files stay.
    AirportFile earlier;
    earlier.ICAO = "OLD1";
    earlier.stands.emplace_back("A1", std::vector<ParkPosOption>{}, StandPlacement{38.9, -1.9, 0.0}, 30.0, 1, 1, 1);
    ASSERT_TRUE(gf_writeApf(earlier, g_myThirdpartyFolder / "OLD1.xml", ApfWriteMode::Generated));
    testsupport::writeFile(g_myOrbxFolder / "OLD2.txt", "archive/simaddon/OLD2.xml\n");
    testsupport::writeFile(g_myThirdpartyFolder / "MINE.xml", airportstest::apfText("", ""));
    testsupport::writeFile(g_myThirdpartyFolder / "MINE.txt", "airports/my_thirdparty/mine/MINE.xml\n");
    AFG_AUTOMATIC.value = false;
    afolder0.value = addon.string();
    SCAN_AIRPORTS.value = true;

    gf_scanAddonAirports();

    const std::string log = scanLog();
    EXPECT_TRUE(log.starts_with("Scanning for addon airports in " + addon.string() + "\n"));
    EXPECT_EQ(countContaining(log, "Generated LEAB.xml: "), 1u);
    EXPECT_TRUE(fs::exists(g_myThirdpartyFolder / "LEAB.xml"));
    EXPECT_FALSE(fs::exists(g_myThirdpartyFolder / "OLD1.xml"));
    EXPECT_FALSE(fs::exists(g_myOrbxFolder / "OLD2.txt"));
    EXPECT_TRUE(fs::exists(g_myThirdpartyFolder / "MINE.xml"));
    EXPECT_TRUE(fs::exists(g_myThirdpartyFolder / "MINE.txt"));
    EXPECT_TRUE(gf_isGeneratedApf(g_myThirdpartyFolder / "LEAB.xml"));
    EXPECT_FALSE(fs::exists(g_tbloFolder)); // LEAB has no stock file to learn from
    EXPECT_EQ(g_tbloAirportCount.load(), 0u);
    EXPECT_FALSE(SCAN_AIRPORTS.value.load());
    const std::string saved = testsupport::readFile(parametersFile());
    EXPECT_NE(saved.find("name=\"SCAN_AIRPORTS\" value=\"false\""), std::string::npos);
    EXPECT_NE(logText().find("airports scan manual  starts"), std::string::npos);
    EXPECT_NE(logText().find("Airports scan successful"), std::string::npos);
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
    EXPECT_TRUE(gf_takeScanMessages().empty());
}

TEST_F(AddonScan, ManualModeWithoutFoldersStopsBeforeRemovingAnything)
{
    testsupport::writeFile(g_myThirdpartyFolder / "OLD1.xml", "stale");
    AFG_AUTOMATIC.value = false;
    SCAN_AIRPORTS.value = true;
    try {
        gf_scanAddonAirports();
        FAIL() << "no user error";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()), "49: Set afolder parameter(-s) to your add-on airports first, see Manual 6.1");
    }
    EXPECT_TRUE(SCAN_AIRPORTS.value.load());
    EXPECT_TRUE(fs::exists(g_myThirdpartyFolder / "OLD1.xml"));
}

TEST_F(AddonScan, TasksStayWithinTheLimitAndAllEndBeforeTheWalkReturns)
{
    const fs::path addon = sceneryFolder("many");
    constexpr int kFiles = 24;
    for (int i = 0; i < kFiles; ++i)
        copyBgl(i % 2 ? kNewLayoutBgl : kOldLayoutBgl, addon / fmt::format("sub{}", i % 3) / fmt::format("f{}.bgl", i));
    g_scanTasksLimit = 2;
    std::atomic<bool> done{false};
    std::atomic<int> mostRunning{0};
    std::thread watcher([&] {
        while (!done.load()) {
            const int running = g_scanTasksRunning.load();
            if (running > mostRunning.load())
                mostRunning = running;
            std::this_thread::yield();
        }
    });
    lf_scanSceneryFolder(addon);
    done = true;
    watcher.join();

    EXPECT_LE(mostRunning.load(), 2);
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
    // One file wins, the one met last; every other is reported once as left out.
    const std::vector<std::string> lines = gf_takeScanMessages();
    EXPECT_GE(countContaining(lines, "Generated LEAB.xml: "), 1u);
    EXPECT_EQ(countContaining(lines, " left out, "), static_cast<std::size_t>(kFiles - 1));
}

TEST_F(AddonScan, StockFoldersInsideAnAddonFolderAreNotEntered)
{
    const fs::path addon = sceneryFolder("mixed");
    g_stockSceneryPath = addon / "Scenery";
    copyBgl(kNewLayoutBgl, addon / "Scenery" / "inside" / "a.bgl");
    copyBgl(kNewLayoutBgl, addon / "own" / "b.bgl");
    lf_scanSceneryFolder(addon);
    EXPECT_EQ(countContaining(gf_takeScanMessages(), "Generated LEAB.xml: "), 1u);
}

TEST_F(AddonScan, SuitableGeneratedFilesGoToTbloAndLinkedOnesLeaveTheirFolder)
{
    testsupport::writeFile(g_tbloFolder / "OLD.xml", "from an earlier scan");
    for (const std::string code : {"BBBB", "CCCC"})
        testsupport::writeFile(g_myOrbxFolder / (code + ".xml"), "generated");
    AirportFile generated;
    generated.ICAO = "AAAA";
    ASSERT_TRUE(gf_writeApf(generated, g_myOrbxFolder / "AAAA.xml", ApfWriteMode::Generated));
    testsupport::writeFile(g_myOrbxFolder / "AAAA.txt", "archive/simaddon/AAAA.xml\n");
    // The user's own file of an airport that the scan linked stays.
    testsupport::writeFile(g_myOrbxFolder / "EEEE.xml", airportstest::apfText("", ""));
    testsupport::writeFile(g_myOrbxFolder / "EEEE.txt", "archive/simaddon/EEEE.xml\n");
    testsupport::writeFile(g_myThirdpartyFolder / "DDDD.xml", "generated");
    putStock("AAAA", true);
    putStock("BBBB", true);
    putStock("EEEE", true);
    putStock("DDDD", false); // CCCC has no stock file at all

    EXPECT_FALSE(lf_writeAirportScanResults({}));

    EXPECT_TRUE(fs::exists(g_tbloFolder / "AAAA.xml"));
    EXPECT_TRUE(fs::exists(g_tbloFolder / "BBBB.xml"));
    EXPECT_FALSE(fs::exists(g_tbloFolder / "DDDD.xml"));
    EXPECT_FALSE(fs::exists(g_tbloFolder / "OLD.xml"));
    EXPECT_FALSE(fs::exists(g_myOrbxFolder / "AAAA.xml"));
    EXPECT_TRUE(fs::exists(g_myOrbxFolder / "AAAA.txt"));
    EXPECT_TRUE(fs::exists(g_myOrbxFolder / "BBBB.xml"));
    EXPECT_TRUE(fs::exists(g_tbloFolder / "EEEE.xml"));
    EXPECT_TRUE(fs::exists(g_myOrbxFolder / "EEEE.xml"));
    EXPECT_EQ(g_tbloAirportCount.load(), 3u);
    EXPECT_TRUE(g_allOrbxAirportsDone.load());
    const std::string text = logText();
    EXPECT_NE(text.find("All your third party airports are done, no off line learning needed."), std::string::npos);
    EXPECT_NE(text.find("===> zip folder \""), std::string::npos);
    EXPECT_NE(text.find("please!\\n"), std::string::npos);
    // The stock files are asked for ahead of their turn; what each answer logs comes in its turn.
    const std::size_t missingStock = text.find("stock/CCCC.xml is asked for again");
    EXPECT_LT(text.find("BBBB copied to"), missingStock);
    EXPECT_LT(missingStock, text.find("EEEE copied to"));
    EXPECT_TRUE(scanLog().empty());
}

// The exit during the offline-learning test: the answers of the downloads it stops are no verdict,
// the stock files asked for ahead are not left in the working folder, and the scan is not done:
// the next start scans again.
TEST_F(AddonScan, AnExitEndsTheOfflineLearningTestWithoutAVerdictOrItsStockFiles)
{
    const std::vector<std::string> codes{"AAAA", "BBBB", "CCCC"};
    for (const std::string& code : codes) {
        testsupport::writeFile(g_myOrbxFolder / (code + ".xml"), "generated");
        putStock(code, true);
    }
    AFG_AUTOMATIC.value = false;
    afolder0.value = sceneryFolder("empty").string();
    SCAN_AIRPORTS.value = true;
    gf_saveBoolParameter(SCAN_AIRPORTS);
    exitingFlag = true;
    gf_scanAddonAirports();
    for (const std::string& code : codes) {
        EXPECT_FALSE(fs::exists(fs::current_path() / (code + ".xml"))) << code;
        EXPECT_FALSE(fs::exists(g_tbloFolder / (code + ".xml"))) << code;
    }
    EXPECT_FALSE(g_allOrbxAirportsDone.load());
    EXPECT_EQ(logText().find("no off line learning needed"), std::string::npos);
    EXPECT_TRUE(SCAN_AIRPORTS.value.load());
    EXPECT_NE(testsupport::readFile(parametersFile()).find("name=\"SCAN_AIRPORTS\" value=\"true\""),
              std::string::npos);
}

} // namespace
