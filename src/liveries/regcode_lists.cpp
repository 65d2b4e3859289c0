#include "liveries/regcode_lists.h"

#include "core/download.h"
#include "core/files.h"
#include "core/log.h"
#include "core/scramble.h"
#include "core/shell_port.h"
#include "core/text.h"
#include "liveries/aircraft_labels.h"
#include "liveries/dbase.h"
#include "liveries/livery_data.h"
#include "liveries/livery_tables.h"
#include "liveries/plural.h"
#include "liveries/scan_problems.h"
#include "params/names.h"

#include <fmt/format.h>
#include <fstream>
#include <pugixml.hpp>

std::unordered_map<std::string, std::string_view> RegcodeMap;
std::vector<std::string_view> SpecialTitles;
std::vector<std::string> offlineRegcodeReport;

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxRegcodeLength = 12;
constexpr std::size_t kMinListedRegcodeLength = 3;

void lf_wrongLength(RegcodeLineContext& context, const std::string& text)
{
    gf_logWarning(fmt::format("wrong regcode length \"{}\" in {}", text, context.file.string()));
    context.success = false;
}

void lf_parseRegcodeFields(RegcodeLineContext& context, const std::vector<std::string>& fields)
{
    // An empty piece between commas is no registration.
    std::list<std::string> regcodes = gf_splitAtCommaList(fields[1]);
    regcodes.remove(std::string());
    if (regcodes.empty())
        return;
    if (regcodes.size() == 1) {
        if (fields[1].size() > kMaxRegcodeLength)
            lf_wrongLength(context, fields[1]);
        else
            context.entries.push_back({fields[0], {regcodes.front()}, true});
        return;
    }
    const bool special = fields.size() == 3 && fields[2] == "#";
    std::vector<std::string> kept;
    for (const std::string& regcode : regcodes)
        lf_appendValidRegcodes(context, regcode, kept);
    if (kept.empty()) {
        gf_logWarning(fmt::format("{} ; regs empty? ", context.file.string()));
        return;
    }
    context.entries.push_back({fields[0], std::move(kept), special});
}

void lf_readRegcodeFile(const fs::path& file, std::vector<RegcodeEntry>& entries, bool& success)
{
    gf_log(fmt::format("Processing regcodes file \"{}\"", file.string()));
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error(fmt::format("cannot open {}", file.string()));
    RegcodeLineContext context{file, entries, success};
    std::string line;
    while (gf_readLine(in, line))
        lf_parseRegcodeLine(context, line);
}

// Enters one registration; counts it as new or replaced.
void lf_addRegcode(const std::string& regcode, std::string_view title, std::size_t& added, std::size_t& replaced)
{
    const auto [it, inserted] = RegcodeMap.try_emplace(regcode, title);
    if (inserted) {
        ++added;
        return;
    }
    if (it->second == title)
        return;
    offlineRegcodeReport.push_back(
        fmt::format("   regcode {} for \"{}\", instead of the same for \"{}\"", regcode, title, it->second));
    it->second = title;
    ++replaced;
}

void lf_appendTitlesNotToUse(const std::vector<RegcodeEntry>& entries, std::size_t& appended)
{
    for (const RegcodeEntry& entry : entries) {
        if (entry.regcodes.empty() && !entry.regcodesUnreadable) {
            titlesNotToUse.push_back(entry.title);
            ++appended;
        }
    }
}

void lf_removeAigRegcodesFile()
{
    fs::remove(g_aigRegcodesFile);
}

} // namespace

void lf_appendValidRegcodes(RegcodeLineContext& context, const std::string& regcode, std::vector<std::string>& kept)
{
    if (regcode.size() >= kMinListedRegcodeLength && regcode.size() <= kMaxRegcodeLength)
        kept.push_back(regcode);
    else
        lf_wrongLength(context, regcode);
}

void lf_parseRegcodeLine(RegcodeLineContext& context, const std::string& line)
{
    if (line.empty())
        return;
    const std::vector<std::string> fields = gf_splitAtSemicolon(line);
    if (fields.size() == 1) {
        if (!fields[0].empty())
            context.entries.push_back({fields[0], {}, false});
    } else if (fields.size() == 2 || fields.size() == 3) {
        lf_parseRegcodeFields(context, fields);
    } else {
        gf_logWarning(fmt::format("{}: wrong format \"{}\"", context.file.string(), line));
        context.success = false;
    }
}

bool gf_readRegcodeFolder(const fs::path& folder, std::vector<RegcodeEntry>& entries)
{
    bool success = true;
    entries.reserve(entries.size() + 512);
    try {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file() && gf_equalsUpper(".TXT", entry.path().extension().string()))
                lf_readRegcodeFile(entry.path(), entries, success);
        }
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("Error in reading regcode file {}, what: {}", folder.string(), e.what()));
        return false;
    }
    gf_log(fmt::format("{} liverie{} read", entries.size(), gf_plural(entries.size())));
    return success;
}

bool gf_readAigRegcodesXml(const fs::path& path, std::vector<RegcodeEntry>& entries)
{
    pugi::xml_document document;
    if (!document.load_file(path.c_str())) {
        gf_logWarning(fmt::format("Failed to load {}", path.string()));
        return false;
    }
    std::size_t count = 0;
    for (const pugi::xml_node livery : document.child("AIG-regcodes").children("livery")) {
        RegcodeEntry entry{livery.attribute("title").as_string(), {}, gf_isYesText(livery.attribute("special").as_string())};
        if (entry.title.empty())
            continue;
        bool given = false;
        for (const std::string& stored : gf_splitAtComma(livery.attribute("reg").as_string())) {
            given = given || !stored.empty();
            // A registration that cannot be unscrambled was warned about by the unscrambler.
            if (std::string regcode = gf_unscrambleRegcode(stored); !regcode.empty())
                entry.regcodes.push_back(std::move(regcode));
        }
        entry.regcodesUnreadable = given && entry.regcodes.empty();
        entries.push_back(std::move(entry));
        ++count;
    }
    gf_backupFile(path);
    gf_log(fmt::format("{} liverie{} read from {}", count, gf_plural(count), path.string()));
    return true;
}

void lf_reportInlineRegcodeClashes()
{
    std::list<std::string> lines;
    for (const qmx::LiveryData& livery : ScannedLiveries) {
        if (livery.atcid.empty())
            continue;
        const std::string_view title = lf_findLiveryTitle(livery.title);
        if (title.empty()) {
            lines.push_back(fmt::format("==> [{}] {} \"{}\" not available, system error, should not happen?",
                                        gf_aimoKey(livery.airline, livery.model), livery.atcid, livery.title));
            continue;
        }
        const auto [it, inserted] = RegcodeMap.try_emplace(livery.atcid, title);
        if (!inserted && it->second != title)
            lines.push_back(fmt::format("{} \"{}\" => already in use by \"{}\"", livery.atcid, livery.title, it->second));
    }
    if (lines.empty())
        return;
    fs::create_directories(g_outputErrorsFolder);
    gf_writeListToFile(lines, g_inlineRegcodesFile);
    gf_log(fmt::format("{} in-line regcode clashes, see \"{}\"", lines.size(), g_inlineRegcodesFile.string()));
}

void lf_mergeRegcodeEntries(const std::vector<RegcodeEntry>& entries)
{
    std::size_t added = 0;
    std::size_t replaced = 0;
    std::size_t special = 0;
    for (const RegcodeEntry& entry : entries) {
        const std::string_view title = lf_findLiveryTitle(entry.title);
        if (title.empty())
            continue;
        for (const std::string& regcode : entry.regcodes)
            lf_addRegcode(regcode, title, added, replaced);
        if (entry.special) {
            SpecialTitles.push_back(title);
            ++special;
        }
    }
    std::string line = fmt::format("{} new regcode{} added", added, gf_plural(added));
    if (replaced > 0)
        line += fmt::format(", {} regcode{} replaced", replaced, gf_plural(replaced));
    if (special > 0)
        line += fmt::format(", {} regcode{} defined as special", special, gf_plural(special));
    offlineRegcodeReport.push_back(std::move(line));
}

void lf_processRegcodeFile(const fs::path& path)
{
    offlineRegcodeReport.push_back("Processing file " + path.string());
    std::vector<RegcodeEntry> entries;
    if (!gf_readAigRegcodesXml(path, entries))
        offlineRegcodeReport.push_back(fmt::format(
            "There were errors in processing the AIG-regcode file \"{}\", see the Log.txt", path.string()));
    lf_mergeRegcodeEntries(entries);
}

void lf_processRegcodeFolder()
{
    if (!gf_folderHasEntries(g_myRegcodesFolder))
        return;
    offlineRegcodeReport.push_back("Processing files in " + g_myRegcodesFolder.string());
    std::vector<RegcodeEntry> entries;
    if (!gf_readRegcodeFolder(g_myRegcodesFolder, entries))
        gf_reportMessage(fmt::format("There were errors in processing the regcode files in folder \"{}\", see the Log.txt",
                                   g_myRegcodesFolder.string()),
                       true);
    lf_mergeRegcodeEntries(entries);
}

bool lf_processRegcodes()
{
    offlineRegcodeReport.clear();
    if (gf_downloadAndUnzip(g_aigRegcodesArchive, g_aigRegcodesFile)) {
        lf_processRegcodeFile(g_aigRegcodesFile);
        lf_removeAigRegcodesFile();
    } else if (gf_downloadsStopped()) {
        return false;
    } else {
        gf_logWarning("reading AIG-regcodes failed?");
    }
    lf_processRegcodeFolder();
    if (fs::exists(g_offlineRegcodesFile))
        fs::remove(g_offlineRegcodesFile);
    if (offlineRegcodeReport.empty())
        return true;
    fs::create_directories(g_offlineRegcodesFile.parent_path());
    gf_writeLinesToFile(offlineRegcodeReport, g_offlineRegcodesFile);
    gf_log(fmt::format("Offline regcode files processed, results can be found in \"{}\"", g_offlineRegcodesFile.string()));
    if (!SpecialTitles.empty())
        gf_log(fmt::format("{} special liveries", SpecialTitles.size()));
    return true;
}

void lf_readDontUseTitlesXml(const fs::path& path)
{
    std::vector<RegcodeEntry> entries;
    gf_readAigRegcodesXml(path, entries);
    std::size_t appended = 0;
    lf_appendTitlesNotToUse(entries, appended);
    gf_log(fmt::format("{} don't use title{} read", appended, gf_plural(appended)));
}

void lf_readDontUseTitlesFolder()
{
    std::vector<RegcodeEntry> entries;
    gf_readRegcodeFolder(g_myRegcodesFolder, entries);
    std::size_t appended = 0;
    lf_appendTitlesNotToUse(entries, appended);
    gf_log(fmt::format("{} don't use title{} read from files in {}", appended, gf_plural(appended),
                       g_myRegcodesFolder.string()));
}

void lf_readAigRegcodes()
{
    if (gf_downloadAndUnzip(g_aigRegcodesArchive, g_aigRegcodesFile)) {
        lf_readDontUseTitlesXml(g_aigRegcodesFile);
        lf_removeAigRegcodesFile();
    } else {
        gf_logWarning(fmt::format("reading {} failed?", g_aigRegcodesFile.string()));
    }
    if (gf_folderHasEntries(g_myRegcodesFolder))
        lf_readDontUseTitlesFolder();
}
