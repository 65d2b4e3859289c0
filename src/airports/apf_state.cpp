#include "airports/apf_state.h"

ApfInfo parkApfInfo;
std::uint64_t parkQualityFactors = ~std::uint64_t{0};
std::uint32_t rtTrafficWeek = 0;
bool handmadeOverrule = false;
std::atomic<std::uint32_t> learnedUpdateCount{0};
