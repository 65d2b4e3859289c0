#pragma once
// The publisher of a scenery package, named from the package's file or folder name against the
// publisher lists of the data base. Read-only on tables that do not change after start-up, so
// several airport-scan tasks may ask at once.

#include "liveries/name_expression.h"

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// One publisher name or alias made ready for matching, once, when the data base is read: a text
// without expression characters matches by a search ignoring ASCII letter case, any other text
// through its expression compiled here.
struct NamePattern {
    std::string text;
    std::string folded;                  // text in ASCII lower case, for a plain text
    std::uint32_t lead = 0;              // its first byte, or its first two bytes as 256 + 256 * first + second
    std::optional<NameExpression> expression; // for a text with expression characters that compiles
    bool plain = true;
};
NamePattern gf_prepareNamePattern(const std::string& text);

// Where one entry sits in the publisher lists; places compare in the order the lists are read.
struct PatternPlace {
    std::uint32_t list = 0;
    std::uint32_t entry = 0;
    auto operator<=>(const PatternPlace&) const = default;
};

// The publisher lists made ready for matching, list for list and entry for entry. A plain text
// can only match a name that holds its lead, so the plain entries are also filed by their lead:
// a name visits only the entries of the leads it holds, and the others.
struct PreparedPublishers {
    std::vector<std::vector<NamePattern>> lists;
    std::unordered_map<std::uint32_t, std::vector<PatternPlace>> plainByLead; // each in list order
    std::vector<PatternPlace> others; // empty texts and expressions, in list order
};
PreparedPublishers gf_preparePublisherPatterns(const std::vector<std::vector<std::string>>& lists);

// "simaddon" for an ORBX package (noted in the airport scan's messages), else the name of the first publisher list with an entry that
// matches the name, else "unknown". Never throws for a pattern problem.
std::string gf_publisherFromName(const std::string& name);

// Whether the name matches ".*" + pattern + ".*" as a case-insensitive ECMAScript expression;
// false for a pattern that is no valid expression or one that NameExpression refuses. Takes
// time in proportion to the name's length whatever the pattern.
bool lf_matchesNamePattern(const std::string& name, const std::string& pattern);
