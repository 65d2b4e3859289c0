#include "liveries/aircraft_cfg.h"

#include "core/files.h"
#include "core/log.h"
#include "core/scan_throttle.h"
#include "core/text.h"
#include "liveries/model_classes.h"
#include "liveries/model_code_fixes.h"
#include "liveries/registrations.h"
#include "liveries/scan_problems.h"
#include "platform/ascii_case.h"
#include "platform/paths.h"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>
#include <optional>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

// The white space of the key patterns (\s of the classic locale), whatever locale is set.
bool lf_isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view lf_trimSpace(std::string_view text)
{
    while (!text.empty() && lf_isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && lf_isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool lf_startsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    return platform::asciiEqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The whole line is "\s*(key)\s*=\s*(.*\S)\s*", ignoring case; the value is the second group.
// Matched by hand rather than by a regular expression: the library's matcher recurses once per
// character and a very long line would overflow a scan task's stack.
std::optional<std::string> lf_keyValue(const std::string& line, std::string_view key)
{
    std::string_view rest = lf_trimSpace(line);
    if (!lf_startsWithIgnoreCase(rest, key))
        return std::nullopt;
    rest = lf_trimSpace(rest.substr(key.size()));
    if (rest.empty() || rest.front() != '=')
        return std::nullopt;
    rest = lf_trimSpace(rest.substr(1));
    // '.' matches no line terminator.
    if (rest.empty() || rest.find_first_of("\r\n") != std::string_view::npos)
        return std::nullopt;
    return std::string(rest);
}

bool lf_readKey(const std::string& line, std::string_view key, std::string& value)
{
    std::optional<std::string> found = lf_keyValue(line, key);
    if (!found)
        return false;
    value = std::move(*found);
    return true;
}

bool lf_isCommentLine(const std::string& line)
{
    return line.size() >= 2 && line[0] == '/' && line[1] == '/';
}

bool lf_containsCargo(const std::string& parkingTypes)
{
    return parkingTypes.find("CARGO") != std::string::npos;
}

// The name Windows opens for a name read from a simulator file: trailing dots do not count.
std::string lf_windowsName(std::string name)
{
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    return name;
}

} // namespace

// ---- key readers ----

bool lf_readKeyTitle(const std::string& line, std::string& value)
{
    return lf_readKey(line, "title", value);
}

bool lf_readKeySim(const std::string& line, std::string& value)
{
    return lf_readKey(line, "sim", value);
}

bool lf_readKeyModel(const std::string& line, std::string& value)
{
    return lf_readKey(line, "model", value);
}

bool lf_readKeyTexture(const std::string& line, std::string& value)
{
    return lf_readKey(line, "texture", value);
}

bool lf_readKeyAtcId(const std::string& line, std::string& value)
{
    return lf_readKey(line, "atc_id", value);
}

bool lf_readKeyParkingCodes(const std::string& line, std::string& value)
{
    const std::optional<std::string> found = lf_keyValue(line, "atc_parking_codes");
    if (!found)
        return false;
    const std::vector<std::string> fields = gf_splitAtComma(*found);
    value = fields.empty() ? std::string() : fields.front();
    return true;
}

bool lf_readKeyParkingTypes(const std::string& line, std::string& value)
{
    return lf_readKey(line, "atc_parking_types", value);
}

std::string lf_readKeyAtcModel(const std::string& line)
{
    return lf_keyValue(line, "atc_model").value_or(std::string());
}

std::string lf_readFltSimHeader(const std::string& line)
{
    if (lf_isCommentLine(line))
        return {};
    std::string_view text = lf_trimSpace(line);
    constexpr std::string_view kOpen = "[fltsim.";
    if (lf_startsWithIgnoreCase(text, kOpen) && text.size() > kOpen.size() + 1 && text.back() == ']') {
        const std::string_view digits = text.substr(kOpen.size(), text.size() - kOpen.size() - 1);
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::string(digits);
    }
    if (line.find("[fltsim.") != std::string::npos || line.find("[FLTSIM.") != std::string::npos)
        return "10000";
    return {};
}

bool lf_hasAtcIdKey(const std::string& line)
{
    return line.find("atc_id=") != std::string::npos;
}

bool lf_hasParkingTypesKey(const std::string& line)
{
    return line.find("atc_parking_types") != std::string::npos;
}

std::int32_t lf_findChar(const std::string& text, char c)
{
    const std::size_t at = text.find(c);
    return at == std::string::npos ? -1 : static_cast<std::int32_t>(at);
}

// ---- numbering ----

bool lf_checkFltSimNumbers(const std::vector<std::string>& lines, const fs::path& file)
{
    std::vector<std::int32_t> numbers;
    for (const std::string& line : lines) {
        const std::string digits = lf_readFltSimHeader(line);
        if (digits.empty())
            continue;
        std::int32_t number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error != std::errc() || end != digits.data() + digits.size()) {
            gf_logWarning(fmt::format("fltsim num {} incorrect", line));
            return false;
        }
        numbers.push_back(number);
    }
    if (numbers.empty()) {
        emptyAircraftCfgFiles.append(gf_pathText(file));
        return true;
    }
    std::sort(numbers.begin(), numbers.end());
    std::int32_t expected = 0;
    for (const std::int32_t number : numbers) {
        if (number == expected) {
            ++expected;
            continue;
        }
        const std::string problem = number == 10000 ? std::string("a [fltsim.] section without a number")
                                                    : fmt::format("non-consecutive [fltsim.x] numbers at .x={}", number);
        lf_addInvalidCfgFile(gf_pathText(file) + " contains " + problem);
        return false;
    }
    return true;
}

// ---- shared section helpers ----

std::string lf_cfgFolderText(const fs::path& file)
{
    const std::string text = gf_pathText(file);
    const std::size_t last = text.rfind(fs::path::preferred_separator);
    return last == std::string::npos ? std::string() : text.substr(0, last);
}

void lf_dropTrailingSectionLines(std::vector<std::string>& section)
{
    while (section.size() > 1 && (section.back().empty() || lf_isCommentLine(section.back())))
        section.pop_back();
}

std::string lf_simEntryText(const std::string& folder, const std::string& name)
{
    return gf_pathText(gf_pathFromText(folder) / name);
}

namespace {

// The statuses looked up while the calling thread reads one file; null outside such a read.
thread_local std::unordered_map<std::string, fs::file_status>* t_fileEntryStatuses = nullptr;

fs::file_status lf_lookUpSimEntry(const std::string& folder, const std::string& name)
{
    const fs::path base = folder.empty() ? fs::path(".") : gf_pathFromText(folder);
    const std::string windowsName = lf_windowsName(name);
    // The name as written is the one found when it exists: one status query instead of the
    // search's existence test and a second query.
    std::error_code ec;
    const fs::file_status exact = fs::status(base / gf_pathFromText(windowsName), ec);
    if (fs::exists(exact))
        return exact;
    return fs::status(platform::findCaseInsensitive(base, windowsName));
}

fs::file_status lf_simEntryStatus(const std::string& folder, const std::string& name)
{
    if (t_fileEntryStatuses == nullptr)
        return lf_lookUpSimEntry(folder, name);
    const std::string key = folder + '\0' + name;
    if (const auto found = t_fileEntryStatuses->find(key); found != t_fileEntryStatuses->end())
        return found->second;
    const fs::file_status status = lf_lookUpSimEntry(folder, name);
    t_fileEntryStatuses->emplace(key, status);
    return status;
}

} // namespace

FileEntryLookups::FileEntryLookups()
{
    t_fileEntryStatuses = &statuses_;
}

FileEntryLookups::~FileEntryLookups()
{
    t_fileEntryStatuses = nullptr;
}

bool lf_simFolderExists(const std::string& folder, const std::string& name)
{
    return fs::is_directory(lf_simEntryStatus(folder, name));
}

bool lf_simFileExists(const std::string& folder, const std::string& name)
{
    return fs::is_regular_file(lf_simEntryStatus(folder, name));
}

bool lf_holdsNul(const std::string& title)
{
    return title.find('\0') != std::string::npos;
}

bool lf_isTitleNotToUse(const std::string& title)
{
    return std::find(titlesNotToUse.begin(), titlesNotToUse.end(), title) != titlesNotToUse.end();
}

// ---- one [fltsim.N] section ----

namespace {

enum class Verdict { Go, Reject, Drop };

class FltSimSection {
public:
    FltSimSection(std::int32_t priority, const std::string& model, const fs::path& file, const std::string& folder,
                  const std::string& header)
        : priority_(priority), model_(model), file_(file), folder_(folder), header_(header)
    {
    }

    std::list<qmx::LiveryData> process(const std::vector<std::string>& lines)
    {
        for (const std::string& line : lines)
            if (!readLine(line))
                return finish();
        if (verdict_ == Verdict::Go)
            checkFiles();
        if (verdict_ == Verdict::Go)
            checkTitle();
        if (verdict_ == Verdict::Go)
            completeAirline();
        if (verdict_ == Verdict::Go)
            build();
        return finish();
    }

private:
    bool reject(std::string text)
    {
        verdict_ = Verdict::Reject;
        reason_ = std::move(text);
        return false;
    }

    // False when the line ends the reading of the section.
    bool readLine(const std::string& line)
    {
        std::string value;
        if (lf_readKeyTitle(line, value)) {
            if (!title_.empty())
                return reject(fmt::format("{} {} has more than one title key", folder_, header_));
            title_ = std::move(value);
            return true;
        }
        if (!airline_.empty() && line.find("atc_parking_codes") != std::string::npos)
            return reject(fmt::format("{} {} has more than one ", folder_, header_) + "atc_parking_codes" + " key");
        if (airline_.empty() && lf_readKeyParkingCodes(line, value))
            return readAirline(gf_trim(value));
        if (parkingTypes_.empty() && lf_readKeyParkingTypes(line, value)) {
            parkingTypes_ = gf_trim(value);
            std::transform(parkingTypes_.begin(), parkingTypes_.end(), parkingTypes_.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
            return true;
        }
        if (!parkingTypes_.empty() && lf_hasParkingTypesKey(line))
            return reject(fmt::format("{} {} has more than one atc_parking_types key", folder_, header_));
        if (!atcid_.empty() && lf_hasAtcIdKey(line))
            return reject(fmt::format("{}, {}, has more than one atc_id key", folder_, header_));
        if (atcid_.empty() && lf_readKeyAtcId(line, value)) {
            atcid_ = checkedRegcode(value);
            return true;
        }
        if ((modelKey_.empty() && lf_readKeyModel(line, modelKey_)) || (simKey_.empty() && lf_readKeySim(line, simKey_)))
            return true;
        if (textureKey_.empty())
            lf_readKeyTexture(line, textureKey_);
        return true;
    }

    bool readAirline(std::string code)
    {
        if (code.size() == 4 && (code[3] == 'X' || code[3] == 'C'))
            code.resize(3);
        if (!code.empty() && gf_isKnownAirline(code)) {
            airline_ = std::move(code);
            return true;
        }
        if (code == "RFO") {
            verdict_ = Verdict::Drop;
            return false;
        }
        lf_addInvalidAirline(code, file_, header_);
        return true;
    }

    // One registration, or "" when the value names none, several, or a bad one.
    std::string checkedRegcode(std::string value) const
    {
        const std::size_t comment = value.find(';');
        if (comment != std::string::npos)
            value.resize(comment);
        const std::vector<std::string> fields = gf_splitAtComma(value);
        if (fields.empty()) {
            gf_log(fmt::format("invalid atc_id={} ==> in: {}", value, title_));
            return {};
        }
        for (const std::string& field : fields) {
            if (field.empty()) {
                gf_log(fmt::format("empty regcode in {} {}", title_, value));
                return {};
            }
            if (field.size() > 12) {
                gf_log(fmt::format("regcode: {}, has more than 12 chars or contains UTF16 chars in \"{}\"?", field, title_));
                return {};
            }
            if (field.find('*') != std::string::npos) {
                gf_logWarning(fmt::format("{} {} wild cards no longer supported, atc_id skipped ", title_, field));
                return {};
            }
        }
        return fields.size() == 1 ? fields.front() : std::string();
    }

    void checkFiles()
    {
        std::string missing;
        if (!lf_simFolderExists(folder_, "model." + modelKey_))
            missing = lf_simEntryText(folder_, "model." + modelKey_);
        else if (!lf_simFolderExists(folder_, "texture." + textureKey_))
            missing = lf_simEntryText(folder_, "texture." + textureKey_);
        else if (!lf_simFileExists(folder_, simKey_ + ".air"))
            missing = lf_simEntryText(folder_, simKey_ + ".air");
        if (!missing.empty())
            reject(fmt::format("{} {} does not exist", missing, header_));
    }

    void checkTitle()
    {
        if (title_.empty())
            reject(fmt::format("{} {} misses title", folder_, header_));
        else if (lf_holdsNul(title_))
            reject(fmt::format("{} {} title holds a NUL character", folder_, header_));
        else if (lf_isTitleNotToUse(title_))
            verdict_ = Verdict::Drop;
    }

    void completeAirline()
    {
        if (airline_ == "ZZZ")
            atcid_.clear();
        if (!airline_.empty())
            return;
        const std::int32_t sizeClass = gf_modelSizeClass(model_);
        const bool large = sizeClass == 2 || sizeClass == 3; // large or heavy airliners
        if (!atcid_.empty()) {
            // A registration record without an airline names no airline: such a livery is
            // treated like one whose registration the data base does not know.
            const std::optional<DbaseRegRecord> record = gf_regcodeLookup(atcid_);
            if (record && !record->airline.empty())
                airline_ = record->airline;
            else if (large)
                reject(fmt::format("\"{}\" \"{}\" has no airline and its regcode is not in my dbase (very old liv?)",
                                   folder_, header_));
            else
                airline_ = "PVT";
            return;
        }
        if (large) {
            reject(fmt::format("\"{}\" \"{}\" has no airline and no regcode info", folder_, header_));
            return;
        }
        airline_ = "PVT";
        atcid_ = lf_findPvtRegcodeInTitle(title_);
    }

    void build()
    {
        qmx::LiveryData livery(priority_, airline_, model_, !lf_containsCargo(parkingTypes_), title_, atcid_);
        if (livery.isEmpty())
            reject(fmt::format("{} {} title \"{}\" already exists", folder_, header_, title_));
        else
            result_.push_back(std::move(livery));
    }

    std::list<qmx::LiveryData> finish()
    {
        if (verdict_ == Verdict::Reject)
            lf_addIncompleteSection(std::move(reason_));
        return std::move(result_);
    }

    std::int32_t priority_;
    const std::string& model_;
    const fs::path& file_;
    const std::string& folder_;
    const std::string& header_;
    Verdict verdict_ = Verdict::Go;
    std::string reason_;
    std::string title_, airline_, parkingTypes_, atcid_, modelKey_, simKey_, textureKey_;
    std::list<qmx::LiveryData> result_;
};

} // namespace

std::list<qmx::LiveryData> lf_procesFltSimSection(std::int32_t priority, std::vector<std::string>& section,
                                                  const std::string& model, const fs::path& file,
                                                  const std::string& folder)
{
    if (section.empty())
        return {};
    try {
        lf_dropTrailingSectionLines(section);
        return FltSimSection(priority, model, file, folder, section.front()).process(section);
    } catch (const std::exception& e) {
        gf_log(fmt::format("exception in lf_procesFltSimSection: {}, file: {}", e.what(), gf_pathText(file)));
        throw;
    }
}

// ---- one file ----

namespace {

void lf_closeFltSimSection(FltSimContext& context)
{
    if (!context.section.empty())
        context.result.splice(context.result.end(), lf_procesFltSimSection(context.priority, context.section,
                                                                           context.model, context.file, context.folder));
    context.section.clear();
}

} // namespace

void lf_collectFltSimLine(FltSimContext& context, const std::string& line)
{
    if (!lf_readFltSimHeader(line).empty()) {
        context.inSection = true;
        lf_closeFltSimSection(context);
        context.section.push_back(line);
        return;
    }
    const std::int32_t bracket = lf_findChar(line, '[');
    if (bracket >= 0 && bracket <= 5) {
        if (context.inSection)
            lf_closeFltSimSection(context);
        context.inSection = false;
        return;
    }
    if (context.inSection)
        context.section.push_back(line);
}

namespace {

std::list<qmx::LiveryData> lf_readLiveriesOfFile(std::int32_t priority, const fs::path& file)
{
    if (!fs::exists(file))
        return {};
    const FileEntryLookups lookups;
    FltSimContext context;
    context.priority = priority;
    context.file = file;
    context.folder = lf_cfgFolderText(file);
    std::vector<std::string> lines;
    lines.reserve(4048);
    if (!gf_readTextFile(file, lines) || !lf_checkFltSimNumbers(lines, file))
        return {};
    context.model = lf_fixModelCode(file, lines);
    if (context.model.empty())
        return {};
    context.section.reserve(48);
    for (const std::string& line : lines)
        lf_collectFltSimLine(context, line);
    if (context.inSection) {
        context.inSection = false;
        lf_closeFltSimSection(context);
    }
    return std::move(context.result);
}

} // namespace

std::list<qmx::LiveryData> lf_searchLiveriesinFile(std::int32_t priority, const fs::path& file)
{
    const ScanSlotRelease slot;
    try {
        return lf_readLiveriesOfFile(priority, file);
    } catch (const std::exception& e) {
        gf_log(fmt::format("exception in lf_searchLiveriesinFile {}: {}", gf_pathText(file), e.what()));
        throw;
    }
}
