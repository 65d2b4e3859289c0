#pragma once
// The publisher of a scenery package, named from the package's file or folder name against the
// publisher lists of the data base. Read-only on tables that do not change after start-up, so
// several airport-scan tasks may ask at once.

#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <vector>

// One publisher name or alias made ready for matching, once, when the data base is read: a text
// without expression characters matches by a search ignoring ASCII letter case, any other text
// through its expression compiled here.
struct NamePattern {
    std::string text;
    std::string folded;                  // text in ASCII lower case, for a plain text
    std::uint32_t lead = 0;              // its first byte, or its first two bytes as 256 + 256 * first + second
    std::optional<std::regex> expression; // for a text with expression characters that compiles
    bool plain = true;
};
NamePattern gf_prepareNamePattern(const std::string& text);
std::vector<std::vector<NamePattern>> gf_preparePublisherPatterns(const std::vector<std::vector<std::string>>& lists);

// "simaddon" for an ORBX package (noted in the airport scan's messages), else the name of the first publisher list with an entry that
// matches the name, else "unknown". Never throws for a pattern problem.
std::string gf_publisherFromName(const std::string& name);

// Whether the name matches ".*" + pattern + ".*" as a case-insensitive ECMAScript expression;
// false for a pattern that is no valid expression.
bool lf_matchesNamePattern(const std::string& name, const std::string& pattern);
