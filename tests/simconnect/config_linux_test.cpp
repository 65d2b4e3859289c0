// The Linux stand-ins beneath SimConnect.cfg and the pipe: the folders searched by default, and
// the Unix socket path that stands for a pipe name.

#include "platform/local_socket.h"
#include "simconnect/simconnect_config.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

using namespace qmx;

namespace {

// The home folder stands in for the public documents folder.
TEST(ConfigTest, TheDefaultFoldersAreHomeDocumentsAndTheCurrentFolder)
{
    testsupport::TempFolder temp(true);
    testsupport::ScopedEnv home("HOME", (temp.path() / "h").string());
    testsupport::ScopedEnv documents("XDG_DOCUMENTS_DIR", (temp.path() / "d").string());
    gf_scSetConfigFolders({});
    EXPECT_EQ(gf_scConfigFolders(),
              (std::vector<std::filesystem::path>{temp.path() / "h", temp.path() / "d", std::filesystem::current_path()}));
    // The file name is found in any case, as on Windows.
    std::filesystem::create_directories(temp.path() / "d");
    testsupport::writeFile(temp.path() / "d" / "simconnect.CFG", "[SimConnect]\nPort=321\n");
    SimConnectConfig config;
    EXPECT_EQ(gf_scReadConfig(0, config), kConfigOk);
    EXPECT_EQ(config.port, "321");
}

// ---- pipe names as socket paths

TEST(PipeSocketPathTest, PipeNamesMapToPathsUnderTheRuntimeFolder)
{
    testsupport::TempFolder temp;
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", temp.path().string());
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect", "lockheed%20martin%20prepar3d%20v5%5Csimconnect"},
        {"//./PIPE/Custom", "custom"},
        {"\\\\.\\Pipe\\a%b_c-d.e", "a%25b_c-d.e"},
        {"\\\\.\\pipe\\caf\xC3\xA9", "caf%C3%A9"},
        {"\\\\server\\pipe\\SimConnect", ""},
        {"\\\\.\\pipe\\", ""},
        {"\\\\.\\pipes\\x", ""},
        {"pipe\\x", ""},
        {"", ""},
    };
    for (const auto& [pipe, file] : cases) {
        SCOPED_TRACE(pipe);
        EXPECT_EQ(platform::pipeSocketPath(pipe), file.empty() ? std::filesystem::path() : temp.path() / file);
    }
}

} // namespace
