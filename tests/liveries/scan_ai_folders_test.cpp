// The automatic livery folders from add-ons.cfg, the packages' add-on.xml and simobjects.cfg,
// in a Wine prefix of the test's own.

#include "liveries/ai_folders.h"
#include "platform/paths.h"
#include "scan_test_fixture.h"
#include "support/scratch_registry.h"
#include "support/test_seams.h"

namespace {

namespace fs = std::filesystem;
using scantest::ScanTest;
using testsupport::writeFile;

class AiFoldersTest : public ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        // A stale value of an old profile, which only old programs read.
        registry.setString(platform::RegRoot::CurrentUser,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "AppData",
                           (folder / "Stale").string());
        platform::setProgramDataFolderForTest(folder / "ProgramData");
        SIM_INSTALL_PATH.value.set((folder.path() / "P3D v5").string());
    }
    void TearDown() override
    {
        platform::setProgramDataFolderForTest({});
        ScanTest::TearDown();
    }
    fs::path simData(const std::string& where) const { return folder / where / "Lockheed Martin" / "Prepar3D v5"; }
    // The folder that a Windows path of drive `letter` names on this system (the prefix's dosdevices
    // on Linux): simobjects.cfg paths are only mapped, never opened.
    static fs::path drive(char letter) { return platform::windowsPathToLocal(std::string{letter, ':', '\\'}); }

    testsupport::ScratchRegistry registry{folder / "wine"};
};

TEST_F(AiFoldersTest, PackagesOfAddOnsCfgNameTheirSimObjectsInAddOnXml)
{
    // Packages and their SimObjects folders are named by full paths in the test's folder.
    const fs::path ai = folder / "AI";
    writeFile(simData("Stale") / "add-ons.cfg", "[Package.0]\nPATH=" + (ai / "Old").string() + "\n");
    writeFile(simData("config") / "add-ons.cfg",
              "PATH=" + (ai / "Before").string() + "\n[Package.0]\nPATH=" + (ai / "Pack1").string() +
                  "\nTITLE=Pack1\nREQUIRED=false\nTITLE=Pathfinder\n[Package.1]\npath = " + (ai / "Pack2").string() + "  \n");
    const fs::path airplanes = ai / "Pack1" / "SimObjects" / "Airplanes";
    writeFile(ai / "Pack1" / "add-on.xml",
              "<AddOn.Component>\n<Category>SimObjects</Category>\n<Path>" + airplanes.string() + "</Path>\n"
              "</AddOn.Component>\n<AddOn.Component>\n<Category>SimObjects</Category>\n\n<Path>D:\\AI\\Late</Path>\n"
              "<Category>SimObjects</Category>\n<Path>D:\\Lights Reborn\\SimObjects</Path>\n");
    writeFile(ai / "Pack2" / "ADD-ON.XML", "<Category>Simobjects</Category>\n<Path>Relative\\AI</Path>\n");

    std::vector<std::string> folders{"given"};
    lf_readP3DAddOnsAircraft(folders);
    EXPECT_EQ(folders, (std::vector<std::string>{"given", airplanes.string(), fs::path("Relative/AI").make_preferred().string()}));
    const std::string log = logText();
    EXPECT_NE(log.find("path found: " + (ai / "Pack2").string() + "  \n"), std::string::npos);
    EXPECT_EQ(log.find("Before"), std::string::npos);
    EXPECT_NE(log.find("      Simobjects found:" + airplanes.string()), std::string::npos);
    EXPECT_NE(log.find("\n2 AI add-on packages found"), std::string::npos);
}

TEST_F(AiFoldersTest, MissingAddOnsCfgAndUnknownVersionAreLoggedNotThrown)
{
    std::vector<std::string> folders;
    lf_readP3DAddOnsAircraft(folders);
    EXPECT_TRUE(folders.empty());
    EXPECT_NE(logText().find("add-ons.cfg not found!\n0 AI add-on packages found"), std::string::npos);

    SIM_INSTALL_PATH.value.set("/nowhere");
    P3D_VERSION.value.store(0);
    lf_readP3DAddOnsAircraft(folders);
    EXPECT_NE(logText().find("===> sys error exception 77: "), std::string::npos);
}

TEST_F(AiFoldersTest, SimObjectsCfgSkipsTheStockCategories)
{
    std::vector<std::string> folders;
    lf_readSimObjectsCfg(folders); // no file: nothing, not even a log line
    EXPECT_EQ(logText().find("simobjects.cfg"), std::string::npos);

    writeFile(simData("ProgramData") / "simobjects.cfg",
              "[Entry.0]\nTitle=Default Airplanes\nPath=SimObjects\\Airplanes\nRequired=True\n"
              "[Entry.1]\nPath=SimObjects\\MyTraffic\n[Entry.2]\nPath=E:\\Traffic\\AIModels\n"
              "[Entry.3]\nPATH=E:\\simobjects\\AI\n");
    lf_readSimObjectsCfg(folders);
    EXPECT_EQ(folders, (std::vector<std::string>{(folder.path() / "P3D v5" / "SimObjects" / "MyTraffic").string(),
                                                 (drive('E') / "Traffic" / "AIModels").string(),
                                                 (drive('E') / "simobjects" / "AI").string()}));
    EXPECT_NE(logText().find("\n3 AI add-on packages found"), std::string::npos);
}

} // namespace
