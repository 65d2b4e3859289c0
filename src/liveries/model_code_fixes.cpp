#include "liveries/model_code_fixes.h"

#include "liveries/aircraft_cfg.h"
#include "liveries/dbase.h"
#include "liveries/scan_problems.h"

#include <array>
#include <fmt/format.h>
#include <regex>
#include <string_view>

namespace {

struct IvaoRename {
    std::string_view from;
    std::string_view to;
};

constexpr std::array<IvaoRename, 9> kIvaoRenames{{
    {"B744F", "B744"},
    {"T154M", "T154"},
    {"T154B2", "T154"},
    {"GLID_SH", "GLID"},
    {"GLID_A13", "GLID"},
    {"GLID_A25", "GLID"},
    {"GLID_KA6", "GLID"},
    {"GLID_KA8", "GLID"},
    {"GLID_L13", "GLID"},
}};

} // namespace

std::string lf_validateOrFixModelCode(const std::string& code, const std::filesystem::path& file)
{
    if (!code.empty() && dbaseTables.ModelCodes.count(code) != 0)
        return code;
    if (const auto fix = dbaseTables.ModelFixes.find(code); fix != dbaseTables.ModelFixes.end()) {
        lf_addCodeFix(fmt::format("Model fix: {} found in {} changed into {}", code, file.string(), fix->second));
        return fix->second;
    }
    lf_addInvalidModel(code, file);
    return {};
}

std::string lf_fixModelCode(const std::filesystem::path& file, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        const std::string code = lf_readKeyAtcModel(line);
        if (!code.empty())
            return lf_validateOrFixModelCode(code, file);
    }
    lf_addInvalidCfgFile("Line atc_model= is missing in [General] section of " + file.string());
    return {};
}

std::string lf_ivaoCandidateCode(const std::string& name)
{
    if (!name.empty() && name.back() == 'w')
        return name.substr(0, name.size() - 1);
    for (const IvaoRename& rename : kIvaoRenames)
        if (name == rename.from)
            return std::string(rename.to);
    return name;
}

std::string lf_fixIvaoModelCode(const std::filesystem::path& file)
{
    // Either separator: the path may come from a Windows text or from this system.
    static const std::regex pattern(R"(.+[\\/]IVAO_MTL[\\/]IVAO_(\w+)[\\/]aircraft\.cfg$)",
                                    std::regex::ECMAScript | std::regex::icase);
    std::smatch match;
    const std::string text = file.string();
    if (!std::regex_match(text, match, pattern)) {
        lf_addInvalidModel("  ", file);
        return {};
    }
    return lf_validateOrFixModelCode(lf_ivaoCandidateCode(match[1].str()), file);
}
