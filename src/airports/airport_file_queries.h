#pragma once
// Two readers of airport files that leave the park airport's stand table alone.

#include "core/geodesy.h"

#include <string>
#include <string_view>

inline constexpr double kNoStandDistanceNm = 100.0;

// Distance in nautical miles from `position` to the nearest stand in the airport's file, and
// that stand's id in `standName`; 100.0 (name unchanged) when there is none. Never throws.
double gf_readDestApfForClosestStand(std::string_view code, LatLon position, std::string& standName);

// Whether the stock file of the airport carries enough learned traffic for offline learning.
bool gf_suitableForOfflineLearning(std::string_view code);
// The same for the stock file that gf_downloadP3dFile was asked to download into
// gf_airportXmlPath(code), with its answer; the file is removed.
bool gf_suitableStockFileForOfflineLearning(std::string_view code, bool downloaded);
