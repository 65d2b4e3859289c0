#include "core/version.h"

#include <fmt/format.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <regex>
#include <stdexcept>

namespace {

constexpr const char* kProgramVersionLiteral = "10.9.8";

// Base-10 conversion with the range of a 32-bit unsigned long.
std::uint32_t lf_toUint32(const std::string& digits)
{
    const unsigned long long value = std::stoull(digits, nullptr, 10);
    if (value > std::numeric_limits<std::uint32_t>::max())
        throw std::out_of_range("stoul");
    return static_cast<std::uint32_t>(value);
}

} // namespace

const ProgramVersion g_programVersion = gf_parseVersion(kProgramVersionLiteral);

ProgramVersion gf_parseVersion(std::string_view text)
{
    ProgramVersion version;
    if (text.empty())
        return version;
    try {
        static const std::regex pattern(R"((\d+).(\d+).(\d+))");
        std::match_results<std::string_view::const_iterator> match;
        if (std::regex_match(text.begin(), text.end(), match, pattern)) {
            version.major = lf_toUint32(match[1].str());
            version.minor = lf_toUint32(match[2].str());
            version.patch = lf_toUint32(match[3].str());
        } else {
            const auto json = nlohmann::json::parse(text);
            version.major = json.at("major").get<std::uint32_t>();
            version.minor = json.at("minor").get<std::uint32_t>();
            version.patch = json.at("patch").get<std::uint32_t>();
        }
    } catch (const std::exception&) {
        // The fields stored before the failure stay.
    }
    return version;
}

std::string gf_versionText(const ProgramVersion& version)
{
    return fmt::format("{}.{}.{}", version.major, version.minor, version.patch);
}
