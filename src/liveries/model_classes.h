#pragma once
// The size classes, known codes and wingspans of the data base's models: what the engine, the
// livery scan, the matching and the parking ask of a model (ICAO type) or airline code. Every
// query reads tables that are complete before any caller runs, so any thread may ask.

#include <cstdint>
#include <string_view>

// The AcCategory 0..5 of a model: the first of large (2), heavy (3), buzjet (1), rotorcraft (5)
// and high performance (4) that lists it; 0 for any other code, also the empty one.
std::int32_t gf_modelSizeClass(std::string_view modelCode);
bool gf_isKnownModel(std::string_view modelCode);
bool gf_isKnownAirline(std::string_view airlineCode);
bool lf_stringContainsChar(std::string_view text, char c);

// Half wingspan in nautical miles: the data base's value for the model, else the average of its
// size class.
double gf_wingspanOf(std::string_view modelCode);
// The largest half wingspan of the data base, nautical miles: the default for a model that
// nobody knows; 0.0 while no data base has been read.
double gf_maxHalfWingspan();

// Fills the class averages from the wingspan table; called by the data-base reader once its
// wingspans are in.
void lf_averageWingspanPerCategory();
