#include "simlink/ac_category.h"

std::string_view gf_categoryName(AcCategory category)
{
    static constexpr std::array<std::string_view, kCategoryCount> names{"Light", "Buzjets",  "Large",
                                                                        "Heavy", "HighPerf", "Rotorcraft"};
    return gf_categoryEntry(names, category);
}

AcCategory gf_categoryOf(std::int32_t sizeClass)
{
    return sizeClass >= 0 && sizeClass <= 5 ? static_cast<AcCategory>(sizeClass) : AcCategory::Light;
}
