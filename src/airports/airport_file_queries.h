#pragma once
// Two readers of airport files that leave the park airport's stand table alone.

#include "core/geodesy.h"

#include <string>
#include <string_view>

// The handle of libcurl, as <curl/curl.h> declares it: that header brings <windows.h> on Windows,
// whose macros clash with the SimConnect names of the files that include this one.
using CURL = void;

inline constexpr double kNoStandDistanceNm = 100.0;

// Distance in nautical miles from `position` to the nearest stand in the airport's file, and
// that stand's id in `standName`; 100.0 (name unchanged) when there is none. Never throws.
double gf_readDestApfForClosestStand(std::string_view code, LatLon position, std::string& standName);

// Whether the stock file of the airport carries enough learned traffic for offline learning.
bool gf_suitableForOfflineLearning(std::string_view code);
// The same, downloaded on a handle of the caller's.
bool gf_suitableForOfflineLearning(std::string_view code, CURL* handle);
