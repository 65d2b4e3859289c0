#pragma once
// What the shell, the simulator connection and the engine ask of the model and livery data.
// The data base, the livery scan and the matching are not part of this build yet: until they
// are, no model is known, every type is of category 0 and no livery is found.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

bool gf_readDbase();
void gf_scanLiveries();
void gf_reserveMatchingTables();
void gf_logNoMatchList();
void gf_clearNoMatchList();
// Empties the livery tables, so that the next livery step builds them again.
void gf_clearLiveryTables();
void gf_logMatchingSummary();

double gf_wingspanOf(std::string_view typeCode);       // half wing span, nautical miles
// The largest half wing span of the data base, nautical miles: the default for a model that
// nobody knows; 0.0 while no data base has been read.
double gf_maxHalfWingspan();
std::int32_t gf_modelSizeClass(std::string_view typeCode); // AcCategory 0..5
bool gf_isKnownModel(std::string_view typeCode);
void gf_registerCreateFailure(const std::string& liveryTitle);

// The livery title chosen for a live aircraft's hex id during this run; work thread only.
extern std::unordered_map<std::uint32_t, std::string> liveryByHexId;
