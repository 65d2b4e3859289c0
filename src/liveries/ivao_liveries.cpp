#include "liveries/ivao_liveries.h"

#include "core/files.h"
#include "core/log.h"
#include "core/scan_throttle.h"
#include "core/text.h"
#include "liveries/model_classes.h"
#include "liveries/model_code_fixes.h"
#include "liveries/registrations.h"
#include "liveries/scan_problems.h"

#include <cctype>
#include <fmt/format.h>
#include <optional>

namespace fs = std::filesystem;

namespace {

bool lf_isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

class IvaoSection {
public:
    IvaoSection(std::int32_t priority, const std::string& model, const fs::path& file, const std::string& folder,
                const std::string& header)
        : priority_(priority), model_(model), file_(file), folder_(folder), header_(header)
    {
    }

    qmx::LiveryData process(const std::vector<std::string>& lines)
    {
        bool go = true;
        for (auto line = lines.begin(); go && line != lines.end(); ++line)
            go = readLine(*line);
        go = go && checkFiles() && checkTitle();
        return go ? build() : qmx::LiveryData();
    }

private:
    bool reject(const std::string& text)
    {
        lf_addIncompleteSection(folder_ + " " + header_ + text);
        return false;
    }

    bool readLine(const std::string& line)
    {
        std::string value;
        if (lf_readKeyTitle(line, value)) {
            if (!title_.empty())
                return reject(" has more than one title key");
            title_ = std::move(value);
            return true;
        }
        if (parkingTypes_.empty() && lf_readKeyParkingTypes(line, value)) {
            parkingTypes_ = gf_trim(value);
            return true;
        }
        if (!parkingTypes_.empty() && lf_hasParkingTypesKey(line))
            return reject(" has more than one atc_parking_types key");
        if (!atcid_.empty() && lf_hasAtcIdKey(line)) {
            lf_addIncompleteSection(fmt::format("{}, {}, has more than one atc_id key", folder_, header_));
            return false;
        }
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

    std::string checkedRegcode(const std::string& value) const
    {
        const std::vector<std::string> fields = gf_splitAtComma(value);
        for (const std::string& field : fields) {
            if (field.empty()) {
                gf_log(fmt::format(" empty regcode in: {}", value));
                return {};
            }
            if (field.size() > 12) {
                gf_log(fmt::format("regcode: {}, has more than 12 chars in title: {}", field.size(), title_));
                return {};
            }
            if (field.find('*') != std::string::npos) {
                gf_logWarning(fmt::format("{} {} wild cards no longer supported, atc_id skipped ", title_, field));
                return {};
            }
        }
        return fields.size() == 1 ? fields.front() : std::string();
    }

    bool checkFiles()
    {
        std::string missing;
        if (!lf_simFolderExists(folder_, "model." + modelKey_))
            missing = lf_simEntryText(folder_, "model." + modelKey_);
        else if (!lf_simFileExists(folder_, simKey_ + ".air"))
            missing = lf_simEntryText(folder_, simKey_ + ".air");
        else if (!lf_simFolderExists(folder_, "texture." + textureKey_))
            missing = lf_simEntryText(folder_, "texture." + textureKey_);
        if (missing.empty())
            return true;
        lf_addIncompleteSection(missing + " " + header_ + " does not exist");
        return false;
    }

    bool checkTitle()
    {
        if (title_.empty())
            return reject(" misses title");
        if (lf_holdsNul(title_))
            return reject(" title holds a NUL character");
        return !lf_isTitleNotToUse(title_);
    }

    qmx::LiveryData build()
    {
        std::string airline = lf_airlineInIvaoTitle(title_, model_);
        if (!airline.empty()) {
            if (!gf_isKnownAirline(airline)) {
                lf_addInvalidAirline(airline, file_, header_);
                return {};
            }
            if (airline == "ZZZ")
                atcid_.clear();
        } else if (atcid_.empty()) {
            reject(" misses airlinecode in title: " + title_ + ", and no regcode");
            return {};
        } else {
            // A registration record without an airline names none: treated as unknown.
            const std::optional<DbaseRegRecord> record = gf_regcodeLookup(atcid_);
            if (!record || record->airline.empty()) {
                reject(" misses airlinecode in title: " + title_ + ", and regcode unknown" + atcid_);
                return {};
            }
            airline = record->airline;
        }
        qmx::LiveryData livery(priority_, airline, model_, true, title_, atcid_);
        if (livery.isEmpty())
            reject(" title already exists: " + title_);
        return livery;
    }

    std::int32_t priority_;
    const std::string& model_;
    const fs::path& file_;
    const std::string& folder_;
    const std::string& header_;
    std::string title_, parkingTypes_, atcid_, modelKey_, simKey_, textureKey_;
};

void lf_closeIvaoSection(FltSimContext& context)
{
    if (!context.section.empty()) {
        qmx::LiveryData livery = lf_procesIvaoFltSimSection(context.priority, context.section, context.model,
                                                            context.file, context.folder);
        if (!livery.isEmpty())
            context.result.push_back(std::move(livery));
    }
    context.section.clear();
}

std::list<qmx::LiveryData> lf_readIvaoLiveriesOfFile(std::int32_t priority, const fs::path& file)
{
    const FileEntryLookups lookups;
    FltSimContext context;
    context.priority = priority;
    context.file = file;
    context.model = lf_fixIvaoModelCode(file);
    if (context.model.empty())
        return {};
    context.folder = lf_cfgFolderText(file);
    const int encoding = gf_detectTextEncoding(file);
    if (encoding == kEncodingNoFile) {
        gf_logWarning(fmt::format("no character set found for {}", file.string()));
        return {};
    }
    std::vector<std::string> lines;
    lines.reserve(4048);
    if (!gf_readEncodedTextFile(encoding, file, lines) || !lf_checkFltSimNumbers(lines, file))
        return {};
    context.section.reserve(48);
    for (const std::string& line : lines)
        lf_collectIvaoFltSimLine(context, line);
    if (context.inSection) {
        context.inSection = false;
        lf_closeIvaoSection(context);
    }
    return std::move(context.result);
}

} // namespace

std::string lf_airlineInIvaoTitle(const std::string& title, const std::string& model)
{
    if (title.size() < model.size())
        return {};
    for (std::size_t i = 0; i < model.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(title[i])) != std::tolower(static_cast<unsigned char>(model[i])))
            return {};
    std::size_t at = model.size();
    while (at < title.size() && std::isspace(static_cast<unsigned char>(title[at])) != 0)
        ++at;
    if (title.size() - at < 3 || !lf_isWordChar(title[at]) || !lf_isWordChar(title[at + 1]) ||
        !lf_isWordChar(title[at + 2]))
        return {};
    // The rest of the title is ".*$": it must hold no line terminator.
    if (title.find_first_of("\r\n", at + 3) != std::string::npos)
        return {};
    return title.substr(at, 3);
}

void lf_collectIvaoFltSimLine(FltSimContext& context, const std::string& line)
{
    if (!lf_readFltSimHeader(line).empty()) {
        context.inSection = true;
        lf_closeIvaoSection(context);
        context.section.push_back(line);
        return;
    }
    if (line.find('[') != std::string::npos) {
        if (context.inSection)
            lf_closeIvaoSection(context);
        context.inSection = false;
        return;
    }
    if (context.inSection)
        context.section.push_back(line);
}

qmx::LiveryData lf_procesIvaoFltSimSection(std::int32_t priority, std::vector<std::string>& section,
                                           const std::string& model, const fs::path& file, const std::string& folder)
{
    if (section.empty())
        return {};
    lf_dropTrailingSectionLines(section);
    return IvaoSection(priority, model, file, folder, section.front()).process(section);
}

std::list<qmx::LiveryData> lf_searchIvaoLiveriesinFile(std::int32_t priority, const fs::path& file)
{
    const ScanSlotRelease slot;
    return lf_readIvaoLiveriesOfFile(priority, file);
}
