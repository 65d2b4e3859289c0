#pragma once
// Program versions: the running one and the texts that name others.

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

struct ProgramVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;

    // Field by field, major first.
    auto operator<=>(const ProgramVersion&) const = default;
};

// The running version, parsed from the program's version literal during static initialisation.
extern const ProgramVersion g_programVersion;

// "10.9.8" (any one character between the numbers) or JSON {"major":..,"minor":..,"patch":..};
// fields read before a failure are kept, the others stay 0.
ProgramVersion gf_parseVersion(std::string_view text);

// "{}.{}.{}"
std::string gf_versionText(const ProgramVersion& version);
