#pragma once
// ASCII case: only the letters A..Z and a..z have a case, whatever the locale, as Windows
// compares file, section, key and registry names.

#include <algorithm>
#include <string_view>

namespace platform {

template <typename Char>
constexpr Char asciiLower(Char c)
{
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
constexpr Char asciiUpper(Char c)
{
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

// True when a and b are equal with A..Z taken as a..z.
constexpr bool asciiEqualsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

} // namespace platform
