#pragma once
// What the shell, the simulator connection and the engine ask of the model and livery data.
// The livery scan and the matching are not part of this build yet: until they are, no livery
// is found. The data base and its model and registration queries are in their own headers.

#include "liveries/dbase.h"
#include "liveries/model_classes.h"
#include "liveries/registrations.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

void gf_scanLiveries();
void gf_reserveMatchingTables();
void gf_logNoMatchList();
void gf_clearNoMatchList();
// Empties the livery tables, so that the next livery step builds them again.
void gf_clearLiveryTables();
void gf_logMatchingSummary();

void gf_registerCreateFailure(const std::string& liveryTitle);

// The livery title chosen for a live aircraft's hex id during this run; work thread only.
extern std::unordered_map<std::uint32_t, std::string> liveryByHexId;
