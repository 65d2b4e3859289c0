// SimConnect.cfg on Windows: the folders that the system names for it.

#include "simconnect/simconnect_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <shlobj.h>
#include <sstream>
#include <windows.h>

using namespace qmx;

namespace {

std::filesystem::path lf_knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR folder = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &folder)))
        result = folder;
    ::CoTaskMemFree(folder);
    return result;
}

// A SimConnect.cfg of the test in a folder; what stood there before comes back afterwards.
class ScopedConfigFile {
public:
    ScopedConfigFile(const std::filesystem::path& folder, const std::string& text) : path_(folder / "SimConnect.cfg")
    {
        if (std::ifstream old(path_, std::ios::binary); old) {
            std::ostringstream bytes;
            bytes << old.rdbuf();
            previous_ = bytes.str();
        }
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~ScopedConfigFile()
    {
        if (previous_)
            std::ofstream(path_, std::ios::binary) << *previous_;
        else
            std::filesystem::remove(path_);
    }
    ScopedConfigFile(const ScopedConfigFile&) = delete;
    ScopedConfigFile& operator=(const ScopedConfigFile&) = delete;

private:
    std::filesystem::path path_;
    std::optional<std::string> previous_;
};

// Network set-ups keep SimConnect.cfg in Public Documents; the user's Documents one overrides it.
TEST(ConfigWindowsTest, PublicDocumentsAreReadFirstThenTheUsersDocuments)
{
    const std::filesystem::path publicDocuments = lf_knownFolder(FOLDERID_PublicDocuments);
    const std::filesystem::path documents = lf_knownFolder(FOLDERID_Documents);
    ASSERT_FALSE(publicDocuments.empty());
    ASSERT_FALSE(documents.empty());
    ASSERT_NE(publicDocuments, documents);
    gf_scSetConfigFolders({});
    const ScopedConfigFile shared(publicDocuments, "[SimConnect.41]\nProtocol=IPv4\nAddress=10.0.0.5\nPort=500\n");
    const ScopedConfigFile own(documents, "[SimConnect.41]\nPort=600\n");
    SimConnectConfig config;
    ASSERT_EQ(gf_scReadConfig(41, config), kConfigOk);
    EXPECT_EQ(config.protocol, SimConnectConfig::Protocol::IPv4);
    EXPECT_EQ(config.address, "10.0.0.5");
    EXPECT_EQ(config.port, "600");
}

} // namespace
