#pragma once
// What the shell, the simulator connection and the engine ask of the model and livery data: the
// livery step of the start-up, the livery tables, the matching and its reports. The data base
// and its model and registration queries are in their own headers.

#include "liveries/dbase.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_scan.h"
#include "liveries/livery_tables.h"
#include "liveries/match_summary.h"
#include "liveries/model_classes.h"
#include "liveries/registrations.h"

#include <cstdint>
#include <string>
#include <unordered_map>

// The livery title chosen for a live aircraft's hex id during this run; work thread only.
extern std::unordered_map<std::uint32_t, std::string> liveryByHexId;
