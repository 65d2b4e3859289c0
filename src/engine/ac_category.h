#pragma once
// The size class of an aircraft: the key of the per-category tables of speeds, angles and
// limits, and what the simulator connection needs to know of an aircraft's build (a rotorcraft
// has no flaps and no retractable gear).

#include <cstdint>
#include <string_view>

enum class AcCategory : std::uint32_t {
    Light = 0,
    Buzjets = 1,
    Large = 2,
    Heavy = 3,
    HighPerf = 4,
    Rotorcraft = 5,
};

// "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"; "?" outside 0..5.
std::string_view gf_categoryName(AcCategory category);

// The category of a size-class number (gf_modelSizeClass); Light for a number outside 0..5.
AcCategory gf_categoryOf(std::int32_t sizeClass);
