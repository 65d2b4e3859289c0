#include "airports/scenery_config.h"
#include "app/message_line.h"
#include "core/exceptions.h"
#include "run/startup.h"
#include "platform/paths.h"
#include "support/params_fixture.h"
#include "support/test_seams.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::writeFile;

namespace {

class SceneryConfig : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        gf_clearError();
        installPath = prefix / "drive_c" / "Program Files" / "Lockheed Martin" / "Prepar3D v5";
        fs::create_directories(installPath / "Scenery");
        SIM_INSTALL_PATH.value = installPath.string();
        g_stockSceneryPath = installPath / "Scenery";
        platform::setProgramDataFolderForTest(prefix / "drive_c" / "ProgramData");
        configFolder = prefix / "drive_c" / "ProgramData" / "Lockheed Martin" / "Prepar3D v5";
    }
    void TearDown() override
    {
        platform::setProgramDataFolderForTest({});
        g_stockSceneryPath.clear();
        ParamsTest::TearDown();
    }

    SceneryFolders readCfg(const std::string& text)
    {
        writeFile(configFolder / "scenery.cfg", text);
        SceneryFolders folders;
        lf_readSceneryCfg(folders);
        return folders;
    }

    // The folder that a Windows path of drive `letter` names on this system, which the program
    // reads scenery.cfg's and scenery_add-ons.xml's paths into (the prefix's dosdevices on Linux).
    static fs::path drive(char letter) { return platform::windowsPathToLocal(std::string{letter, ':', '\\'}); }

    fs::path prefix = folder / "wine";
    testsupport::ScopedEnv wine{"WINEPREFIX", prefix.string()};
    fs::path installPath;
    fs::path configFolder;
};

} // namespace

TEST_F(SceneryConfig, ActiveLocalAreasOfSceneryCfgInAreaOrder)
{
    const std::string cfg = "[General]\r\nTitle=FS World\r\nLocal=D:\\Ignored\\BeforeAreas\r\n"
                            "[Area.001]\r\nTitle=Default Terrain\r\nLocal=Scenery\\World\r\nActive=TRUE\r\nLayer=1\r\n"
                            "[Area.002]\r\nTitle=Old\r\nLocal=Scenery\\0307\r\nActive=True\r\n"
                            "[Area.003]\r\nTitle=Off\r\nLocal=D:\\Scenery\\Off\r\nActive=FALSE\r\n"
                            "[Area.004]\r\nTitle=Mine\r\nLocal=Addon Scenery\\MyAirport\r\nACTIVE=true\r\nRequired=False\r\n"
                            "[Area.005]\r\nLayer=5\r\n  LOCAL = D:\\X  \r\nactive=True\r\n"
                            "[Area.006]\r\nTitle=Harbour Area\r\nLocal=D:\\Scenery\\EGLL\r\nActive=TRUE\r\n"
                            "[Area.007]\r\nLocal=Scenery\\Props\r\nActive=TRUE\r\n"
                            // Keys and section names decide, not the words in a path.
                            "[Area.008]\r\nLocal=C:\\Addons\\area51\r\nActive=TRUE\r\n"
                            "[area.009]\r\nLocal=D:\\Title Layer Required\r\nActive=true\r\n"
                            "[AREA.010]\r\nLocal=D:\\active\\true\r\nActive=FALSE\r\n";
    const SceneryFolders folders = readCfg(cfg);
    EXPECT_EQ(folders, (SceneryFolders{(installPath / "Addon Scenery" / "MyAirport").string(),
                                       (drive('D') / "X").string(), (drive('D') / "Scenery" / "EGLL").string(),
                                       (drive('C') / "Addons" / "area51").string(),
                                       (drive('D') / "Title Layer Required").string()}));
    EXPECT_NE(logText().find("      found:" + (drive('D') / "X").string()), std::string::npos);
    EXPECT_NE(logText().find("5 scenery add-on paths found"), std::string::npos);
}

TEST_F(SceneryConfig, AddOnsXmlPathsAndMissingFiles)
{
    SceneryFolders folders;
    lf_readSceneryCfg(folders);
    lf_readSceneryAddOnsXml(folders);
    EXPECT_TRUE(folders.empty());
    EXPECT_NE(logText().find((configFolder / "scenery.cfg").string() + " not found!"), std::string::npos);
    EXPECT_NE(logText().find((configFolder / "scenery_add-ons.xml").string() + " not found!"), std::string::npos);

    writeFile(configFolder / "scenery_add-ons.xml",
              "<SimBase.Document>\n  <AddOn.Component>\n    <Category>Scenery</Category>\n"
              "    <Path>E:\\Addons\\KSEA</Path>\n    <Path>E:\\Addons\\Half\n  </AddOn.Component>\n"
              "  <Path>" + (folder / "linux").string() + "</Path>\n</SimBase.Document>\n");
    lf_readSceneryAddOnsXml(folders);
    EXPECT_EQ(folders, (SceneryFolders{(drive('E') / "Addons" / "KSEA").string(), (folder / "linux").string()}));
    EXPECT_NE(logText().find("found path:E:\\Addons\\KSEA"), std::string::npos);
}

TEST_F(SceneryConfig, StockFolderNamesAndStockPath)
{
    EXPECT_TRUE(lf_isStockSceneryPath("Local=Scenery\\NAMC"));
    EXPECT_FALSE(lf_isStockSceneryPath("Local=Scenery\\namc"));
    EXPECT_TRUE(lf_isStockSceneryPath("X\\Bathymetry\\Y"));
    EXPECT_FALSE(lf_isStockSceneryPath("Local=Addon Scenery\\EHAM"));

    EXPECT_TRUE(lf_containsStockSceneryPath((installPath / "Scenery" / "World").string()));
    EXPECT_FALSE(lf_containsStockSceneryPath((folder / "addons").string()));
}

TEST_F(SceneryConfig, ManualFoldersStopAtTheFirstStockFolder)
{
    afolder1.value = (folder / "one").string();
    afolder4.value = "D:\\Two";
    SceneryFolders folders;
    lf_checkAfolderNotStock(folders);
    EXPECT_EQ(folders, (SceneryFolders{(folder / "one").string(), (drive('D') / "Two").string()}));

    afolder3.value = (installPath / "Scenery" / "World").string();
    folders.clear();
    try {
        lf_checkAfolderNotStock(folders);
        ADD_FAILURE() << "no user error";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "42: parameter afolder3 points to stock airports instead of add-on airports!");
    }
}

TEST_F(SceneryConfig, EachFolderIsCheckedBeforeItIsWalked)
{
    std::vector<fs::path> walked;
    const SceneryFolderWalk walk = [&](const fs::path& path) { walked.push_back(path); };
    fs::create_directories(folder / "addon");
    writeFile(folder / "file.txt", "x");

    lf_checkAfolders("", walk);
    lf_checkAfolders((folder / "addon").string(), walk);
    lf_checkAfolders((installPath / "Scenery").string(), walk);
    EXPECT_EQ(walked, std::vector<fs::path>{folder / "addon"});

    lf_checkAfolders((folder / "gone").string(), walk);
    EXPECT_EQ(gf_messageLineState().text, (folder / "gone").string() + " does not exist, skipped!");
    lf_checkAfolders((folder / "file.txt").string(), walk);
    EXPECT_EQ(gf_messageLineState().text, (folder / "file.txt").string() + " is not a folder name, skipped!");
    EXPECT_NE(logText().find(" does not exist, skipped!"), std::string::npos);
    EXPECT_EQ(walked.size(), 1u);
}
