#include "airports/scenery_config.h"

#include "core/exceptions.h"
#include "core/files.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "core/text.h"
#include "params/parameters.h"
#include "params/simulator_version.h"
#include "platform/paths.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <optional>
#include <system_error>

namespace {

constexpr std::size_t kConfigLinesReserve = 4048;

constexpr std::array<std::string_view, 45> kStockFolderNames{
    "\\Cities", "\\CITIES", "\\cities", "\\World", "\\BASE", "\\0006", "\\0007", "\\0103", "\\0106",
    "\\0107",   "\\0206",   "\\0207",   "\\0307",  "\\0407", "\\0505", "\\0506", "\\0507", "\\0606",
    "\\0607",   "\\0706",   "\\0707",   "\\0805",  "\\0806", "\\0807", "\\0900", "\\0906", "\\0907",
    "\\1000",   "\\1006",   "\\1007",   "\\1100",  "\\1102", "\\1107", "\\AFRI", "\\ASIA", "\\AUST",
    "\\EURE",   "\\EURW",   "\\NAMC",   "\\NAME",  "\\NAMW", "\\OCEN", "\\SAME", "\\Global", "\\Bathymetry"};

bool lf_readConfigLines(const fs::path& path, std::vector<std::string>& lines)
{
    lines.reserve(kConfigLinesReserve);
    if (gf_readExtTextFileToStringVector(path, lines))
        return true;
    gf_log(path.string() + " not found!");
    return false;
}

// The folder of a Local= value: an absolute Windows path as it stands, anything else below the
// simulator's install folder.
std::string lf_localFolderText(const std::string& value)
{
    if (value.find(":\\") != std::string::npos)
        return platform::windowsPathToLocal(value).string();
    const fs::path installPath = platform::windowsPathToLocal(SIM_INSTALL_PATH.getValue());
    return platform::findCaseInsensitive(installPath, value).string();
}

// The key of a "key = value" line, trimmed; empty for a line without "=".
std::string lf_keyOf(std::string_view line)
{
    const std::size_t equals = line.find('=');
    return equals == std::string_view::npos ? std::string() : gf_trim(line.substr(0, equals));
}

std::string lf_valueOf(std::string_view line)
{
    return gf_trim(line.substr(line.find('=') + 1));
}

// Keys and section names are compared ignoring letter case; values are folder paths and titles
// that may hold any word.
bool lf_isKey(std::string_view line, std::string_view upperKey)
{
    return gf_equalsUpper(upperKey, lf_keyOf(line));
}

// The name of a "[name]" section header; nothing for any other line.
std::optional<std::string> lf_sectionName(std::string_view line)
{
    const std::string text = gf_trim(line);
    if (text.empty() || text.front() != '[')
        return std::nullopt;
    return text.substr(1, text.find(']') - 1);
}

bool lf_isAreaName(std::string_view name)
{
    return name.size() >= 4 && gf_equalsUpper("AREA", name.substr(0, 4));
}

void lf_addLocalLine(const std::string& line, SceneryFolders& folders)
{
    if (!lf_isKey(line, "LOCAL") || lf_isStockSceneryPath(line))
        return;
    const std::string folder = lf_localFolderText(lf_valueOf(line));
    if (lf_containsStockSceneryPath(folder))
        return;
    gf_log(fmt::format("      found:{}", folder));
    folders.push_back(folder);
}

void lf_addArea(const std::vector<std::string>& area, SceneryFolders& folders)
{
    const bool active = std::any_of(area.begin(), area.end(), [](const std::string& line) {
        return lf_isKey(line, "ACTIVE") && gf_equalsUpper("TRUE", lf_valueOf(line));
    });
    if (!active)
        return;
    for (const std::string& line : area)
        lf_addLocalLine(line, folders);
}

// Every [Area.NNN] section in file order; a section of another name ends the area before it.
void lf_addAreas(const std::vector<std::string>& lines, SceneryFolders& folders)
{
    bool insideArea = false;
    std::vector<std::string> area;
    for (const std::string& line : lines) {
        if (const std::optional<std::string> section = lf_sectionName(line)) {
            if (insideArea && !area.empty())
                lf_addArea(area, folders);
            area.clear();
            insideArea = lf_isAreaName(*section);
        } else if (insideArea && !lf_isKey(line, "REQUIRED") && !lf_isKey(line, "TITLE") && !lf_isKey(line, "LAYER")) {
            area.push_back(gf_trim(line));
        }
    }
    if (insideArea)
        lf_addArea(area, folders);
}

} // namespace

void lf_readSceneryCfg(SceneryFolders& folders)
{
    const fs::path path = gf_simulatorDataFolder() / "scenery.cfg";
    gf_log(fmt::format("\nReading: {} for airport add-ons ...", path.string()));
    const std::size_t before = folders.size();
    std::vector<std::string> lines;
    if (lf_readConfigLines(path, lines))
        lf_addAreas(lines, folders);
    gf_log(fmt::format("{} scenery add-on paths found\n", folders.size() - before));
}

void lf_readSceneryAddOnsXml(SceneryFolders& folders)
{
    const fs::path path = gf_simulatorDataFolder() / "scenery_add-ons.xml";
    gf_log(fmt::format("\nReading {} for add-on airport ...", path.string()));
    const std::size_t before = folders.size();
    std::vector<std::string> lines;
    if (lf_readConfigLines(path, lines)) {
        for (const std::string& line : lines) {
            const std::string folder = gf_extractPathElement(line);
            if (folder.empty())
                continue;
            gf_log(fmt::format("found path:{}", folder));
            folders.push_back(platform::windowsPathToLocal(folder).string());
        }
    }
    gf_log(fmt::format("{} scenery add-on paths found\n", folders.size() - before));
}

void lf_checkAfolderNotStock(SceneryFolders& folders)
{
    for (const StringParameter* parameter : g_afolderParameters) {
        const std::string value = parameter->getValue();
        if (value.empty())
            continue;
        const std::string folder = platform::windowsPathToLocal(value).string();
        if (lf_containsStockSceneryPath(folder))
            throw qmx::UserErrorException(
                42, fmt::format("parameter {} points to stock airports instead of add-on airports!", parameter->name));
        folders.push_back(folder);
    }
}

void lf_checkAfolders(const std::string& folder, const SceneryFolderWalk& walk)
{
    if (folder.empty())
        return;
    const fs::path path(folder);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec && status.type() != fs::file_type::not_found)
        throw fs::filesystem_error("status", path, ec);
    if (!fs::exists(status)) {
        gf_reportMessage(folder + " does not exist, skipped!", true);
        return;
    }
    if (!fs::is_directory(status)) {
        gf_reportMessage(folder + " is not a folder name, skipped!", true);
        return;
    }
    if (!lf_containsStockSceneryPath(folder))
        walk(path);
}

bool lf_isStockSceneryPath(std::string_view text)
{
    return std::any_of(kStockFolderNames.begin(), kStockFolderNames.end(),
                       [&](std::string_view name) { return text.find(name) != text.npos; });
}

bool lf_containsStockSceneryPath(std::string_view text)
{
    return text.find(g_stockSceneryPath.string()) != std::string_view::npos;
}
