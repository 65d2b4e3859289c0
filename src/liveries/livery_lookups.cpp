#include "liveries/livery_lookups.h"

#include "liveries/aircraft_cfg.h"

#include <regex>

LiveryLookupTables liveryLookupTables;

bool gf_isKnownAirline(const std::string& code)
{
    return !code.empty() && liveryLookupTables.airlines.count(code) != 0;
}

std::vector<std::string> gf_regcodeVariants(const std::string& regcode)
{
    if (regcode.size() >= 5 && regcode.front() != 'N' && regcode.find('-') == std::string::npos)
        return {regcode.substr(0, 2) + "-" + regcode.substr(2), regcode.substr(0, 1) + "-" + regcode.substr(1), regcode};
    return {regcode};
}

bool gf_findRegcodeRecord(std::optional<DbaseRegRecord>& record, const std::string& writtenForm)
{
    const auto found = liveryLookupTables.regcodes.find(writtenForm);
    if (found == liveryLookupTables.regcodes.end())
        return false;
    record = found->second;
    return true;
}

std::optional<DbaseRegRecord> gf_regcodeLookup(const std::string& regcode)
{
    std::optional<DbaseRegRecord> record;
    if (regcode.empty())
        return record;
    for (const std::string& form : gf_regcodeVariants(regcode))
        if (gf_findRegcodeRecord(record, form))
            break;
    return record;
}

std::string lf_findPvtRegcodeInTitle(const std::string& title)
{
    for (const auto& [regcode, record] : liveryLookupTables.regcodes)
        if (record.airline == "PVT" && regcode.size() < 5 && title.find(regcode) != std::string::npos)
            return regcode;
    return {};
}

std::string lf_fixModelCode(const std::filesystem::path& /*file*/, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        std::string code = lf_readKeyAtcModel(line);
        if (!code.empty())
            return code;
    }
    return {};
}

std::string lf_fixIvaoModelCode(const std::filesystem::path& file)
{
    static const std::regex pattern(R"(.+/IVAO_MTL/IVAO_(\w+)/aircraft\.cfg$)",
                                    std::regex::ECMAScript | std::regex::icase);
    std::smatch match;
    const std::string text = file.string();
    if (!std::regex_match(text, match, pattern))
        return {};
    return match[1].str();
}
