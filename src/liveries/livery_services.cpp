#include "liveries/livery_services.h"

#include <set>

std::unordered_map<std::uint32_t, std::string> liveryByHexId;

namespace {

// Titles whose creation the simulator refused; never chosen again.
std::set<std::string> createFailures;

} // namespace

void gf_scanLiveries() {}

void gf_reserveMatchingTables() {}

void gf_logNoMatchList() {}

void gf_clearNoMatchList() {}

void gf_clearLiveryTables() {}

void gf_logMatchingSummary() {}

void gf_registerCreateFailure(const std::string& liveryTitle)
{
    createFailures.insert(liveryTitle);
}
