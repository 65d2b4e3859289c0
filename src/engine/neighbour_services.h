#pragma once
// What the engine asks of the livery matching and of the park airport's stands beyond what
// their headers offer: the livery choice, and the stands and waiting static candidates.

#include "airports/stand.h"
#include "engine/ac_records.h"
#include "liveries/livery_matching.h"
#include "liveries/match_summary.h"

#include <cstdint>
#include <string>
#include <string_view>

// ---- Stands of the park airport ----
// The aircraft takes the stand and its occupied flag.
void gf_occupyStand(StaticAc& ac, Stand& stand);
// Clears the occupied flag of the aircraft's stand when the aircraft holds it: a flag that another
// aircraft set is left alone.
void gf_freeStand(StaticAc& ac);
// The aircraft leaves its stand: it frees the stand and gives up its stand fields.
void gf_giveUpStand(StaticAc& ac);
// The parking calculation left static candidates waiting.
bool gf_staticCandidatesWaiting();
// Drops every waiting static candidate for this stand (a live aircraft parks there).
void gf_dropStaticCandidatesForStand(std::uint32_t standId);
