#include "liveries/livery_lookups.h"

#include "liveries/aircraft_cfg.h"

#include <regex>

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
