#pragma once
// What the engine asks of the livery matching and of the park airport's stands beyond what
// their headers offer so far. Until the matching provides them, no livery fits and no title has
// failed.

#include "engine/ac_records.h"

#include <cstdint>
#include <string>
#include <string_view>

// ---- Model and livery data ----
// Chooses a livery for a live aircraft and sets its title; leaves it empty when none fits.
void gf_matchLiveLivery(LiveAc& ac);
// The simulator refused to create this title before.
bool gf_isCreateFailure(std::string_view liveryTitle);

// ---- Stands of the park airport ----
// Clears the occupied flag of the first stand with this id.
void gf_clearStandOccupied(std::uint32_t standId);
// The parking calculation left static candidates waiting.
bool gf_staticCandidatesWaiting();
// Drops every waiting static candidate for this stand (a live aircraft parks there).
void gf_dropStaticCandidatesForStand(std::uint32_t standId);
