#pragma once
// What the engine learns of which aircraft park where, on which weekday and in which half-hour.

#include "engine/ac_records.h"

#include <cstdint>

// Learns the aircraft's real parking option of the stand at the time of the week; true when a
// new option was made.
bool lf_addRealParkPosOption(std::uint32_t standId, const StaticAc& ac, bool real, std::uint64_t daySlot, bool final);
// Records the half-hour slot in which the aircraft with this hex id was last learned.
void lf_stampLearnedSlot(std::uint32_t hexId, std::uint32_t halfHourSlot);
