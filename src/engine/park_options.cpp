#include "engine/park_options.h"

// The learning of parking options is not part of this build yet: nothing is learned.
bool lf_addRealParkPosOption(std::uint32_t /*standId*/, const StaticAc& /*ac*/, bool /*real*/,
                             std::uint64_t /*daySlot*/, bool /*final*/)
{
    return false;
}

void lf_stampLearnedSlot(std::uint32_t /*hexId*/, std::uint32_t /*halfHourSlot*/) {}
