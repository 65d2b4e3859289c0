#include "platform/paths.h"

#include <algorithm>
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
// Set by tests only, likewise: the simulator's shared files of each test lie in its own folder.
fs::path programDataForTest;

fs::path lf_fromUtf8(std::string_view text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

bool lf_isSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The names of a path text joined with backslashes: the simulator's files and the settings may
// use '/', double a separator or end in one, and the program shows and compares paths as Windows
// writes them.
std::string lf_joinedNames(std::string_view text)
{
    std::string joined;
    for (std::size_t at = 0; at < text.size();) {
        if (lf_isSeparator(text[at])) {
            ++at;
            continue;
        }
        const std::size_t end = std::min(text.find_first_of("\\/", at), text.size());
        if (!joined.empty())
            joined += '\\';
        joined.append(text.substr(at, end - at));
        at = end;
    }
    return joined;
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

void setProgramDataFolderForTest(const fs::path& folder)
{
    programDataForTest = folder;
}

fs::path programDataFolder()
{
    if (!programDataForTest.empty())
        return programDataForTest;
    return lf_shellFolder(CSIDL_COMMON_APPDATA);
}

namespace {

fs::path lf_knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR folder = nullptr;
    fs::path result;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &folder)))
        result = fs::path(folder);
    ::CoTaskMemFree(folder);
    return result;
}

} // namespace

fs::path documentsFolder()
{
    return lf_knownFolder(FOLDERID_Documents);
}

fs::path publicDocumentsFolder()
{
    return lf_knownFolder(FOLDERID_PublicDocuments);
}

fs::path findCaseInsensitive(const fs::path& base, std::string_view relative)
{
    // Windows itself opens a name in any case, and "name" also as "name.".
    const std::string names = lf_joinedNames(relative);
    return names.empty() ? base : base / lf_fromUtf8(names);
}

fs::path windowsPathToLocal(std::string_view windowsPath)
{
    // The root as it stands: a drive "X:" and its separator, the two of a network path, or one.
    std::string root;
    std::string_view rest = windowsPath;
    if (rest.size() >= 2 && rest[1] == ':') {
        root = rest.substr(0, 2);
        rest.remove_prefix(2);
    }
    if (root.empty() && rest.size() >= 2 && lf_isSeparator(rest[0]) && lf_isSeparator(rest[1]))
        root = "\\\\";
    else if (!rest.empty() && lf_isSeparator(rest[0]))
        root += '\\';
    return lf_fromUtf8(root + lf_joinedNames(rest));
}

} // namespace platform
