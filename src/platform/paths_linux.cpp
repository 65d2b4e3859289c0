#include "platform/paths.h"

#include "platform/ascii_case.h"

#include <cctype>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

// Set by tests only (tests/support/test_seams.h): each test keeps its settings in its own folder.
fs::path appDataForTest;
// Set by tests only, likewise: the simulator's shared files of each test lie in its own folder.
fs::path programDataForTest;

fs::path lf_envFolder(const char* variable, const fs::path& fallback)
{
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0')
        return fs::path(value);
    return fallback;
}

std::vector<std::string> lf_splitNames(std::string_view text)
{
    std::vector<std::string> names;
    std::string current;
    for (char c : text) {
        if (c == '\\' || c == '/') {
            if (!current.empty())
                names.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        names.push_back(std::move(current));
    return names;
}

// The entry of `folder` that Windows would open for `name`, or `name` itself.
std::string lf_matchName(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    if (name == "." || name == ".." || fs::exists(folder / name, ec))
        return name;
    const bool hasExtension = fs::path(name).has_extension();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (asciiEqualsIgnoreCase(entry, name))
            return entry;
        if (!hasExtension && entry.size() == name.size() + 1 && entry.back() == '.' &&
            asciiEqualsIgnoreCase(std::string_view(entry).substr(0, name.size()), name))
            return entry;
    }
    return name;
}

} // namespace

fs::path homeFolder()
{
    return lf_envFolder("HOME", fs::path("/"));
}

fs::path winePrefix()
{
    return lf_envFolder("WINEPREFIX", homeFolder() / ".wine");
}

void setAppDataFolderForTest(const fs::path& folder)
{
    appDataForTest = folder;
}

fs::path appDataFolder()
{
    const fs::path folder =
        appDataForTest.empty() ? lf_envFolder("XDG_CONFIG_HOME", homeFolder() / ".config") : appDataForTest;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return {};
    return folder;
}

void setProgramDataFolderForTest(const fs::path& folder)
{
    programDataForTest = folder;
}

fs::path programDataFolder()
{
    if (!programDataForTest.empty())
        return programDataForTest;
    return findCaseInsensitive(winePrefix(), "drive_c/ProgramData");
}

fs::path publicDocumentsFolder()
{
    return homeFolder();
}

fs::path documentsFolder()
{
    return lf_envFolder("XDG_DOCUMENTS_DIR", homeFolder() / "Documents");
}

fs::path runtimeFolder()
{
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec)
        temp = "/tmp";
    return lf_envFolder("XDG_RUNTIME_DIR", temp);
}

fs::path findCaseInsensitive(const fs::path& base, std::string_view relative)
{
    fs::path result = base;
    for (const std::string& name : lf_splitNames(relative))
        result /= lf_matchName(result.empty() ? fs::path(".") : result, name);
    return result;
}

fs::path windowsPathToLocal(std::string_view windowsPath)
{
    if (windowsPath.size() >= 2 && windowsPath[1] == ':' && std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
        const char drive = asciiLower(windowsPath[0]);
        const fs::path root = drive == 'c' ? winePrefix() / "drive_c" : winePrefix() / "dosdevices" / std::string{drive, ':'};
        return findCaseInsensitive(root, windowsPath.substr(2));
    }
    if (!windowsPath.empty() && windowsPath.front() == '/')
        return findCaseInsensitive("/", windowsPath);
    return findCaseInsensitive({}, windowsPath);
}

} // namespace platform
