#include "liveries/livery_services.h"

#include <set>

std::unordered_map<std::uint32_t, std::string> liveryByHexId;

namespace {

// Titles whose creation the simulator refused; never chosen again.
std::set<std::string> createFailures;

// Half wing span of a medium airliner, in nautical miles, for types nobody knows.
constexpr double kDefaultHalfWingspanNm = 0.0097;

} // namespace

bool gf_readDbase()
{
    return true;
}

void gf_scanLiveries() {}

void gf_reserveMatchingTables() {}

void gf_logNoMatchList() {}

void gf_clearNoMatchList() {}

void gf_clearLiveryTables() {}

void gf_logMatchingSummary() {}

double gf_wingspanOf(std::string_view /*typeCode*/)
{
    return kDefaultHalfWingspanNm;
}

double gf_maxHalfWingspan()
{
    return 0.0;
}

std::int32_t gf_modelSizeClass(std::string_view /*typeCode*/)
{
    return 0;
}

bool gf_isKnownModel(std::string_view /*typeCode*/)
{
    return false;
}

void gf_registerCreateFailure(const std::string& liveryTitle)
{
    createFailures.insert(liveryTitle);
}
