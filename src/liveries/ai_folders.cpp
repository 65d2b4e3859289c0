#include "liveries/ai_folders.h"

#include "core/files.h"
#include "core/log.h"
#include "core/text.h"
#include "core/windows_glue.h"
#include "liveries/plural.h"
#include "params/parameters.h"
#include "params/simulator_version.h"
#include "platform/paths.h"

#include <fmt/format.h>

namespace fs = std::filesystem;

namespace {

bool lf_containsAny(const std::string& line, std::initializer_list<const char*> parts)
{
    for (const char* part : parts)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

// The trimmed text after the first "=", or nothing when the line has none.
bool lf_valueAfterEquals(const std::string& line, std::string& value)
{
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    value = gf_trim(std::string_view(line).substr(equals + 1));
    return true;
}

std::string lf_localText(const std::string& windowsPath)
{
    return gf_pathText(platform::windowsPathToLocal(windowsPath));
}

void lf_addPackagePath(std::vector<std::string>& packages, const std::string& line)
{
    std::string value;
    if (!lf_containsAny(line, {"Path", "PATH", "path"}) || !lf_valueAfterEquals(line, value))
        return;
    gf_logLine(fmt::format("path found:{}", line.substr(line.find('=') + 1)));
    packages.push_back(std::move(value));
}

void lf_addSimObjectsPath(std::vector<std::string>& folders, const std::string& line)
{
    std::string value;
    if (!lf_containsAny(line, {"Path", "PATH", "path"}) || !lf_valueAfterEquals(line, value))
        return;
    if (line.find("SimObjects") == std::string::npos) {
        folders.push_back(lf_localText(value));
        return;
    }
    if (lf_containsAny(line, {"Airplanes", "Avatars", "Rotorcraft", "GroundVehicles", "Boats", "Animals", "Misc",
                              "Submersible", "Weapons", "Countermeasures"}))
        return;
    folders.push_back(gf_pathText(platform::findCaseInsensitive(gf_pathFromText(SIM_INSTALL_PATH.getValue()), value)));
}

// Lines under each header line (`isHeader`) that `keep` accepts, handed to `use` when the next
// header or the end of the file comes; lines before the first header are ignored.
template <typename IsHeader, typename Keep, typename Use>
void lf_walkBlocks(const std::vector<std::string>& lines, IsHeader isHeader, Keep keep, Use use)
{
    bool inBlock = false;
    std::vector<std::string> buffer;
    for (const std::string& line : lines) {
        if (isHeader(line)) {
            inBlock = true;
            for (const std::string& held : buffer)
                use(held);
            buffer.clear();
        } else if (inBlock && keep(line)) {
            buffer.push_back(line);
        }
    }
    if (inBlock)
        for (const std::string& held : buffer)
            use(held);
}

} // namespace

void lf_readAddOnXml(std::vector<std::string>& folders, const std::string& packageFolder)
{
    const fs::path file = platform::findCaseInsensitive(platform::windowsPathToLocal(packageFolder), "add-on.xml");
    if (!fs::exists(file))
        return;
    gf_logLine(fmt::format("   exploring {}", gf_pathText(file)));
    std::vector<std::string> lines;
    if (!gf_readExtTextFileToStringVector(file, lines)) {
        gf_log(gf_pathText(file) + " not found!");
        return;
    }
    bool pathExpected = false;
    for (const std::string& line : lines) {
        if (pathExpected) {
            pathExpected = false;
            const std::string path = gf_extractPathElement(line);
            if (!path.empty() && !lf_containsAny(path, {"Lights Reborn", "Aerosoft Geneva Professional"})) {
                gf_log(fmt::format("      Simobjects found:{}", path));
                folders.push_back(lf_localText(path));
            }
        } else if (lf_containsAny(line, {"SimObjects", "SIMOBJECTS", "Simobjects", "simobjects"})) {
            pathExpected = true;
        }
    }
}

void lf_readP3DAddOnsAircraft(std::vector<std::string>& folders)
{
    const std::size_t before = folders.size();
    try {
        // The per-user data folder that the system names; the registry's "Shell Folders" values
        // are kept only for old programs and may be stale.
        const fs::path file = gf_appDataFolder() / "Lockheed Martin" /
                              ("Prepar3D v" + gf_p3dVersionFromPath()) / "add-ons.cfg";
        gf_logLine(fmt::format("\nReading {} for AI add-on packages...", gf_pathText(file)));
        std::vector<std::string> lines;
        std::vector<std::string> packages;
        if (gf_readExtTextFileToStringVector(file, lines))
            lf_walkBlocks(
                lines, [](const std::string& line) { return lf_containsAny(line, {"Package", "PACKAGE"}); },
                [](const std::string& line) { return !lf_containsAny(line, {"Required", "REQUIRED"}); },
                [&](const std::string& line) { lf_addPackagePath(packages, line); });
        else
            gf_log(gf_pathText(file) + " not found!");
        for (const std::string& package : packages)
            lf_readAddOnXml(folders, package);
        const std::size_t found = folders.size() - before;
        gf_logLine(fmt::format("{} AI add-on package{} found", found, gf_plural(found)));
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("sys error exception {} in {}, no AI add-on packages found", e.what(),
                                  "lf_readP3DAddOnsAircraft"));
    }
}

void lf_readSimObjectsCfg(std::vector<std::string>& folders)
{
    const fs::path file = platform::findCaseInsensitive(gf_simulatorDataFolder(), "simobjects.cfg");
    if (!fs::exists(file))
        return;
    gf_logLine(fmt::format("\nReading {} for AI add-on packages...", gf_pathText(file)));
    const std::size_t before = folders.size();
    std::vector<std::string> lines;
    if (gf_readExtTextFileToStringVector(file, lines))
        lf_walkBlocks(
            lines, [](const std::string& line) { return lf_containsAny(line, {"Entry", "ENTRY"}); },
            [](const std::string& line) { return !lf_containsAny(line, {"Title", "Required"}); },
            [&](const std::string& line) { lf_addSimObjectsPath(folders, line); });
    else
        gf_log(gf_pathText(file) + " not found!");
    gf_logLine(fmt::format("{} AI add-on packages found", folders.size() - before));
}
