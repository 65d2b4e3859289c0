#pragma once
// What the engine asks of the model and livery data and of the airports' stands beyond what
// their headers offer so far. Until those subsystems provide them, each answers as if their
// tables were empty: no registration is known, no livery fits, no stand is held and no static
// candidate waits.

#include "engine/ac_records.h"

#include <cstdint>
#include <string>
#include <string_view>

// ---- Model and livery data ----
// The type code that the registration table gives for a registration; empty when unknown.
std::string gf_regcodeModel(std::string_view registration);
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
