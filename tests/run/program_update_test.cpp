#include "app/message_line.h"
#include "core/exceptions.h"
#include "liveries/dbase.h"
#include "run/program_update.h"
#include "run/startup.h"
#include "support/params_fixture.h"
#include "support/zip_maker.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::makeZip;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// A file:// download server in the test's working folder.
class ProgramUpdate : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        gf_clearError();
        gf_clearMessage();
    }
    fs::path server() const { return folder.path() / "server"; }
    void publishVersion(const std::string& text) const { writeFile(server() / "release" / "version_P3D.json", text); }
    std::string installerNotice(const std::string& version) const
    {
        return "New version " + version + " available. Exit here, and run as administrator:   \"" +
               (fs::current_path() / "install_new_version.exe").string() + "\"";
    }
    testsupport::ScopedEnv base{"ORVANTA_DOWNLOAD_BASE", "file://" + (folder.path() / "server").string() + "/"};
};

} // namespace

TEST_F(ProgramUpdate, SameOrOlderVersionDoesNothingAndAMissingFileOnlyWarns)
{
    for (const char* text : {"10.9.8\r\n", "10.9.7", "9.99.99"}) {
        publishVersion(text);
        EXPECT_NO_THROW(gf_checkForProgramUpdate()) << text;
    }
    fs::remove(server() / "release" / "version_P3D.json");
    EXPECT_NO_THROW(gf_checkForProgramUpdate());
    EXPECT_NE(logText().find("===> Program Version file not found?\n"), std::string::npos);
    EXPECT_FALSE(fs::exists("install_new_version.exe"));
}

TEST_F(ProgramUpdate, NewerVersionUnpacksTheInstallerAndStopsWithTheNotice)
{
    PROGRAM_INSTALL_PATH.value = "C:\\not\\yet\\set"; // start-up sets it only after the check
    publishVersion("10.10.0\r\n");                     // written on Windows
    // A folder entry behind the installer holds nothing to unpack over it.
    makeZip(server() / "release" / "setup_Orvanta_P3D_d_v10.10.0.zip",
            {{"install_new_version.exe", "MZ installer"}, {"docs/", ""}});
    try {
        gf_checkForProgramUpdate();
        FAIL() << "no notice";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_EQ(e.what(), installerNotice("10.10.0"));
    }
    EXPECT_EQ(readFile("install_new_version.exe"), "MZ installer");
    EXPECT_FALSE(fs::exists("setup_Orvanta_P3D_d_v10.10.0.zip")) << "the archive is removed";
    const std::string log = logText();
    EXPECT_NE(log.find("downloaded setup_Orvanta_P3D_d_v10.10.0.zip\n"), std::string::npos);
    EXPECT_NE(log.find("setup_Orvanta_P3D_d_v10.10.0.zip unzipped to " + (fs::current_path() / "install_new_version.exe").string()),
              std::string::npos);
}

TEST_F(ProgramUpdate, FailuresAreReportedNeverTakenForSuccess)
{
    publishVersion(R"({"major":11,"minor":0,"patch":0})");
    EXPECT_NO_THROW(gf_checkForProgramUpdate()) << "no installer archive on the server";
    EXPECT_NE(logText().find("Downloading program installer file version 11.0.0 failed\n"), std::string::npos);
    EXPECT_EQ(gf_messageLineState().text,
              "The downloading/unzipping of the new version failed? Try manually via dolvenar website");

    writeFile(server() / "release" / "setup_Orvanta_P3D_d_v11.0.0.zip", "not a zip");
    EXPECT_NO_THROW(gf_checkForProgramUpdate());
    EXPECT_NE(logText().find("===> could not open setup_Orvanta_P3D_d_v11.0.0.zip\n"), std::string::npos);

    // The first entry unpacks, the second fails: the installer is not whole.
    const fs::path archive = server() / "release" / "setup_Orvanta_P3D_d_v11.0.0.zip";
    makeZip(archive, {{"readme.txt", "first"}, {"install_new_version.exe", std::string(4000, 'x')}});
    testsupport::damageZipEntry(archive, 1);
    EXPECT_NO_THROW(gf_checkForProgramUpdate());
    EXPECT_NE(logText().find("===> unzipping error code : "), std::string::npos);
    EXPECT_FALSE(fs::exists("setup_Orvanta_P3D_d_v11.0.0.zip"));
    EXPECT_FALSE(fs::exists("install_new_version.exe")) << "the damaged installer is removed";

    makeZip(archive, {{"setup/", ""}});
    EXPECT_NO_THROW(gf_checkForProgramUpdate()) << "an archive of folders holds no installer";
    EXPECT_FALSE(fs::exists("install_new_version.exe"));
}

TEST_F(ProgramUpdate, ADataBaseThatFailedToReadIsReadByTheNextStartUp)
{
    makeZip(server() / "dbase.zip", {{"temp2.xml", "<aircrafts"}});
    EXPECT_THROW(lf_readDbaseOnce(), qmx::UserErrorException);
    // One that fails after its wingspans and groups were read.
    const std::string sample = readFile(fs::path(ORVANTA_SOURCE_DIR) / "tests/liveries/fixtures/dbase/temp2.xml");
    const std::size_t airports = sample.find("<simaddonsP3D>");
    ASSERT_NE(airports, std::string::npos);
    makeZip(server() / "dbase.zip", {{"temp2.xml", sample.substr(0, airports)}});
    EXPECT_THROW(lf_readDbaseOnce(), qmx::UserErrorException);
    const DbaseTables partial = dbaseTables;
    ASSERT_GT(partial.ClassHalfWingspans[3], 0.0);
    makeZip(server() / "dbase.zip", {{"temp2.xml", sample}});
    EXPECT_NO_THROW(lf_readDbaseOnce());
    EXPECT_FALSE(dbaseTables.ModelCodes.empty());
    EXPECT_EQ(dbaseTables.ClassHalfWingspans, partial.ClassHalfWingspans) << "the class averages are not added up";
    EXPECT_EQ(dbaseTables.SimilarGroups, partial.SimilarGroups);
    EXPECT_EQ(dbaseTables.Publishers, partial.Publishers);
    fs::remove(server() / "dbase.zip");
    EXPECT_NO_THROW(lf_readDbaseOnce()) << "a data base once read is not fetched again";
    gf_clearDbaseTables();
}
