#pragma once
// Text helpers shared by the readers and writers of every subsystem.

#include "core/geodesy.h"

#include <bitset>
#include <list>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kTrimSet = " \t\n\r";

std::string gf_trim(std::string_view text);
// A text without any trim character stays; otherwise it becomes its comma fields joined by ",".
void gf_trimInPlace(std::string& text);

// Fields between separators, each trimmed; an empty text gives none, a trailing separator adds
// no empty field, empty fields inside stay.
std::vector<std::string> gf_splitAtComma(std::string_view text);
std::vector<std::string> gf_splitAtSemicolon(std::string_view text);
std::list<std::string> gf_splitAtCommaList(std::string_view text);

// a equals b with b's letters a..z in upper case (a is compared unchanged).
bool gf_equalsUpper(std::string_view a, std::string_view b);
// b is a followed by "*".
bool gf_isStarredName(std::string_view a, std::string_view b);
// The characters between the first "<Path>" and the first "</Path>"; empty when either is
// missing or the closing tag comes first.
std::string gf_extractPathElement(std::string_view text);

// Half-hour slot lists of the stand files: "3,10" <-> a set of 48 slots.
using SlotSet = std::bitset<48>;
SlotSet lf_hours2bitset(std::string_view text);
std::string gf_bitset2hours(const SlotSet& slots);

// "{:.6f},{:.6f}"
void gf_formatLatLon(LatLon position, std::string& out);
