#include "platform/paths.h"

#include <shlobj.h>
#include <string>
#include <system_error>
#include <windows.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

// Set by tests only (tests/support/test_seams.h): each test keeps its settings in its own folder,
// where the shell's folder would be one for every test process of the Wine prefix.
fs::path appDataForTest;

fs::path lf_fromUtf8(std::string_view text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

// A shell folder by its CSIDL; empty when the shell does not know it.
fs::path lf_shellFolder(int csidl)
{
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    return fs::path(buffer);
}

} // namespace

fs::path homeFolder()
{
    return lf_shellFolder(CSIDL_PROFILE);
}

void setAppDataFolderForTest(const fs::path& folder)
{
    appDataForTest = folder;
}

fs::path appDataFolder()
{
    if (appDataForTest.empty())
        return lf_shellFolder(CSIDL_APPDATA | CSIDL_FLAG_CREATE);
    std::error_code ec;
    fs::create_directories(appDataForTest, ec);
    return ec ? fs::path() : appDataForTest;
}

fs::path programDataFolder()
{
    return lf_shellFolder(CSIDL_COMMON_APPDATA);
}

fs::path documentsFolder()
{
    PWSTR folder = nullptr;
    fs::path result;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &folder)))
        result = fs::path(folder);
    ::CoTaskMemFree(folder);
    return result;
}

fs::path findCaseInsensitive(const fs::path& base, std::string_view relative)
{
    // Windows itself opens a name in any case, and "name" also as "name.".
    fs::path result = base;
    result /= lf_fromUtf8(relative).relative_path();
    return result;
}

fs::path windowsPathToLocal(std::string_view windowsPath)
{
    return lf_fromUtf8(windowsPath);
}

} // namespace platform
