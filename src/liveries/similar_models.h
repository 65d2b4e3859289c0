#pragma once
// Similar model groups of the data base, narrowed to the installed liveries: for a model without
// a livery of its own, which similar models have liveries (over all airlines and per airline).
// Built once after the livery tables; the queries reorder the stored lists (random choice) and
// therefore run on the work thread only.

#include "liveries/ac_description.h"

#include <string>
#include <unordered_map>
#include <vector>

// Model -> the other members of its group that have liveries, in group order.
extern std::unordered_map<std::string, std::vector<std::string>> SimilarModels;
// Airline -> model the airline has no livery of -> similar models it has liveries of.
extern std::unordered_map<std::string, std::unordered_map<std::string, std::vector<std::string>>> AirlineSimilarModels;

void gf_buildSimilarModelGroups();
// Empties both maps, for the rebuild after a new livery scan.
void gf_clearSimilarModelGroups();

// The models that may stand in for `model`; the list lives until the next query.
const std::vector<std::string>& gf_getSimilarTypes(const std::string& model);
// The similar models of the aircraft's model of which its airline has liveries.
const std::vector<std::string>& gf_getSimilarTypesForAirline(const AcDescription& ac);
