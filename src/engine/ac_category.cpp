#include "engine/ac_category.h"

#include <array>

std::string_view gf_categoryName(AcCategory category)
{
    static constexpr std::array<std::string_view, 6> names{"Light", "Buzjets", "Large", "Heavy", "HighPerf",
                                                           "Rotorcraft"};
    const auto index = static_cast<std::size_t>(category);
    return index < names.size() ? names[index] : "?";
}

AcCategory gf_categoryOf(std::int32_t sizeClass)
{
    return sizeClass >= 0 && sizeClass <= 5 ? static_cast<AcCategory>(sizeClass) : AcCategory::Light;
}
