#pragma once
// The size class of an aircraft: the key of the per-category tables of speeds, angles and
// limits, and what the simulator connection needs to know of an aircraft's build (a rotorcraft
// has no flaps and no retractable gear).

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

enum class AcCategory : std::uint32_t {
    Light = 0,
    Buzjets = 1,
    Large = 2,
    Heavy = 3,
    HighPerf = 4,
    Rotorcraft = 5,
};

inline constexpr std::size_t kCategoryCount = 6;

// The entry of a per-category table; a category outside 0..5 throws std::out_of_range with the
// text "invalid unordered_map<K, T> key", which the enclosing job reports.
template <typename T>
const T& gf_categoryEntry(const std::array<T, kCategoryCount>& table, AcCategory category)
{
    const auto index = static_cast<std::size_t>(category);
    if (index >= table.size())
        throw std::out_of_range("invalid unordered_map<K, T> key");
    return table[index];
}

// "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"; another number throws as
// gf_categoryEntry does.
std::string_view gf_categoryName(AcCategory category);

// The category of a size-class number (gf_modelSizeClass); Light for a number outside 0..5.
AcCategory gf_categoryOf(std::int32_t sizeClass);
