#include "core/text.h"

#include "core/log.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <fmt/format.h>

namespace {

template <typename Container>
void lf_split(std::string_view text, char separator, Container& fields)
{
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            fields.push_back(gf_trim(text.substr(start)));
            break;
        }
        fields.push_back(gf_trim(text.substr(start, end - start)));
        start = end + 1;
    }
}

// std::stoi: leading blanks skipped, a sign allowed, trailing characters ignored.
int lf_stoi(const std::string& piece)
{
    return std::stoi(piece);
}

} // namespace

std::string gf_trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kTrimSet);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(kTrimSet);
    return std::string(text.substr(first, last - first + 1));
}

void gf_trimInPlace(std::string& text)
{
    if (text.find_first_of(kTrimSet) == std::string::npos)
        return;
    std::string joined;
    joined.reserve(271);
    const std::vector<std::string> fields = gf_splitAtComma(text);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            joined += ',';
        joined += fields[i];
    }
    text = std::move(joined);
}

std::vector<std::string> gf_splitAtComma(std::string_view text)
{
    std::vector<std::string> fields;
    fields.reserve(24);
    lf_split(text, ',', fields);
    return fields;
}

std::vector<std::string> gf_splitAtSemicolon(std::string_view text)
{
    std::vector<std::string> fields;
    fields.reserve(16);
    lf_split(text, ';', fields);
    return fields;
}

std::list<std::string> gf_splitAtCommaList(std::string_view text)
{
    std::list<std::string> fields;
    lf_split(text, ',', fields);
    return fields;
}

bool gf_equalsUpper(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return x == platform::asciiUpper(y); });
}

bool gf_isStarredName(std::string_view a, std::string_view b)
{
    return b.size() == a.size() + 1 && b.back() == '*' && b.substr(0, a.size()) == a;
}

std::string gf_extractPathElement(std::string_view text)
{
    constexpr std::string_view open = "<Path>";
    constexpr std::string_view close = "</Path>";
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos)
        return {};
    const std::size_t end = text.find(close);
    if (end == std::string_view::npos || end < start + open.size())
        return {};
    return std::string(text.substr(start + open.size(), end - start - open.size()));
}

SlotSet lf_hours2bitset(std::string_view text)
{
    SlotSet slots;
    try {
        for (const std::string& piece : gf_splitAtComma(text)) {
            const int slot = lf_stoi(piece);
            slots.set(static_cast<std::size_t>(slot)); // std::out_of_range outside 0..47
        }
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("exception {} in lf_hours2bitset", e.what()));
    }
    return slots;
}

std::string gf_bitset2hours(const SlotSet& slots)
{
    std::string text;
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
        if (slots.test(slot))
            text += fmt::format("{},", slot);
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

void gf_formatLatLon(LatLon position, std::string& out)
{
    out = fmt::format("{:.6f},{:.6f}", position.latitude, position.longitude);
}
