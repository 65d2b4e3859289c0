#pragma once
// What the engine asks of the livery matching and of the park airport's stands beyond what
// their headers offer: the livery choice, and the stands and waiting static candidates.

#include "engine/ac_records.h"
#include "liveries/livery_matching.h"
#include "liveries/match_summary.h"

#include <cstdint>
#include <string>
#include <string_view>

// ---- Stands of the park airport ----
// Clears the occupied flag of the first stand with this id.
void gf_clearStandOccupied(std::uint32_t standId);
// The parking calculation left static candidates waiting.
bool gf_staticCandidatesWaiting();
// Drops every waiting static candidate for this stand (a live aircraft parks there).
void gf_dropStaticCandidatesForStand(std::uint32_t standId);
