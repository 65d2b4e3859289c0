#pragma once
// The publisher of a scenery package, named from the package's file or folder name against the
// publisher lists of the data base. Read-only on tables that do not change after start-up, so
// several airport-scan tasks may ask at once.

#include <string>

// "simaddon" for an ORBX package (noted in the airport scan's messages), else the name of the first publisher list with an entry that
// matches the name, else "unknown". Never throws for a pattern problem.
std::string gf_publisherFromName(const std::string& name);

// Whether the name matches ".*" + pattern + ".*" as a case-insensitive ECMAScript expression;
// false for a pattern that is no valid expression.
bool lf_matchesNamePattern(const std::string& name, const std::string& pattern);
