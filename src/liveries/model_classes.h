#pragma once
// The size classes, known codes and wingspans of the data base's models: what the engine, the
// livery scan, the matching and the parking ask of a model (ICAO type) or airline code. Every
// query reads tables that are complete before any caller runs, so any thread may ask.

#include "simlink/model_queries.h"

#include <cstdint>
#include <string_view>

// gf_modelSizeClass, gf_wingspanOf and gf_maxHalfWingspan: simlink/model_queries.h.
bool gf_isKnownModel(std::string_view modelCode);
bool gf_isKnownAirline(std::string_view airlineCode);
bool lf_stringContainsChar(std::string_view text, char c);

// Fills the class averages from the wingspan table; called by the data-base reader once its
// wingspans are in.
void lf_averageWingspanPerCategory();
