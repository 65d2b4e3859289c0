#include "core/version.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <vector>

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

bool lf_isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The "." of the version pattern: any one character but a line end.
bool lf_isAnyCharacter(char c)
{
    return c != '\n' && c != '\r';
}

// The three groups of the whole text matched against "(\d+).(\d+).(\d+)", each "." any one
// character, split as a regular expression's backtracking splits them: the first group as long as
// the rest still matches, then the second. A regular expression engine takes time cubic in the
// length of a run of digits (and deep recursion) for it; this takes one pass.
std::optional<std::array<std::string_view, 3>> lf_matchVersionText(std::string_view text)
{
    const std::size_t size = text.size();
    std::vector<std::size_t> digitsFrom(size + 1, 0); // length of the run of digits from each index
    for (std::size_t i = size; i-- > 0;)
        digitsFrom[i] = lf_isDigit(text[i]) ? digitsFrom[i + 1] + 1 : 0;
    // The third group runs to the end: it begins inside the digits that end the text.
    std::size_t thirdEarliest = size;
    while (thirdEarliest > 0 && lf_isDigit(text[thirdEarliest - 1]))
        --thirdEarliest;
    for (std::size_t first = digitsFrom[0]; first >= 1; --first) {
        const std::size_t secondBegin = first + 1;
        if (secondBegin + 3 > size || !lf_isAnyCharacter(text[first]) || digitsFrom[secondBegin] == 0)
            continue;
        // The second separator as far on as the second group's digits and a third group allow;
        // below the end of the digits only the first non-digit can be a line end.
        std::size_t separator = std::min(secondBegin + digitsFrom[secondBegin], size - 2);
        if (!lf_isAnyCharacter(text[separator]))
            --separator;
        if (separator <= secondBegin || separator + 1 < thirdEarliest)
            continue;
        return std::array{text.substr(0, first), text.substr(secondBegin, separator - secondBegin),
                          text.substr(separator + 1)};
    }
    return std::nullopt;
}

} // namespace

const ProgramVersion g_programVersion = gf_parseVersion(kProgramVersionLiteral);

ProgramVersion gf_parseVersion(std::string_view text)
{
    ProgramVersion version;
    if (text.empty())
        return version;
    try {
        if (const auto groups = lf_matchVersionText(text)) {
            version.major = lf_toUint32(std::string((*groups)[0]));
            version.minor = lf_toUint32(std::string((*groups)[1]));
            version.patch = lf_toUint32(std::string((*groups)[2]));
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
