// The automatic livery folders from add-ons.cfg, the packages' add-on.xml and simobjects.cfg,
// in a Wine prefix of the test's own.

#include "liveries/ai_folders.h"
#include "scan_test_fixture.h"

namespace {

namespace fs = std::filesystem;
using scantest::ScanTest;
using testsupport::writeFile;

class AiFoldersTest : public ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        writeFile(prefix / "user.reg",
                  "WINE REGISTRY Version 2\n"
                  "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1700000000\n"
                  "\"AppData\"=\"C:\\\\users\\\\me\\\\AppData\\\\Roaming\"\n");
        fs::create_directories(drive("d:") / "AI");
        SIM_INSTALL_PATH.value.set((folder.path() / "P3D v5").string());
    }
    fs::path drive(const std::string& letter) const { return prefix / "dosdevices" / letter; }
    fs::path simData(const std::string& where) const { return prefix / "drive_c" / where / "Lockheed Martin" / "Prepar3D v5"; }

    fs::path prefix = folder.path() / "wine";
    testsupport::ScopedEnv wine{"WINEPREFIX", prefix.string()};
};

TEST_F(AiFoldersTest, PackagesOfAddOnsCfgNameTheirSimObjectsInAddOnXml)
{
    writeFile(simData("users/me/AppData/Roaming") / "add-ons.cfg",
              "PATH=D:\\AI\\Before\n[Package.0]\nPATH=D:\\AI\\Pack1\nTITLE=Pack1\nREQUIRED=false\n"
              "TITLE=Pathfinder\n[Package.1]\npath = D:\\AI\\Pack2  \n");
    writeFile(drive("d:") / "AI" / "Pack1" / "add-on.xml",
              "<AddOn.Component>\n<Category>SimObjects</Category>\n<Path>D:\\AI\\Pack1\\SimObjects\\Airplanes</Path>\n"
              "</AddOn.Component>\n<AddOn.Component>\n<Category>SimObjects</Category>\n\n<Path>D:\\AI\\Late</Path>\n"
              "<Category>SimObjects</Category>\n<Path>D:\\Lights Reborn\\SimObjects</Path>\n");
    writeFile(drive("d:") / "AI" / "Pack2" / "ADD-ON.XML",
              "<Category>Simobjects</Category>\n<Path>Relative\\AI</Path>\n");

    std::vector<std::string> folders{"given"};
    lf_readP3DAddOnsAircraft(folders);
    EXPECT_EQ(folders, (std::vector<std::string>{"given", (drive("d:") / "AI/Pack1/SimObjects/Airplanes").string(),
                                                 "Relative/AI"}));
    const std::string log = logText();
    EXPECT_NE(log.find("path found: D:\\AI\\Pack2  \n"), std::string::npos);
    EXPECT_EQ(log.find("Before"), std::string::npos);
    EXPECT_NE(log.find("      Simobjects found:D:\\AI\\Pack1\\SimObjects\\Airplanes"), std::string::npos);
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
                                                 (drive("e:") / "Traffic/AIModels").string(),
                                                 (drive("e:") / "simobjects/AI").string()}));
    EXPECT_NE(logText().find("\n3 AI add-on packages found"), std::string::npos);
}

} // namespace
