#include "liveries/livery_services.h"

std::unordered_map<std::uint32_t, std::string> liveryByHexId;
