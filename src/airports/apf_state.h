#pragma once
// The state of the park airport's loaded stand file, shared by its loader, the learned-file merge
// and save, and the writer of stand files. Work thread, but for the atomics.

#include "params/park_airport.h"

#include <atomic>
#include <cstdint>
#include <string>

// Figures of the loaded airport file.
struct ApfInfo {
    std::string airport_name;
    std::string publisher;
    std::int32_t altitude = 0; // feet
    // Where what is learned at the airport is saved and read back; empty before a load.
    std::string learnedPath;
};

extern ApfInfo parkApfInfo;
// Qf_real in the low, Qf_soft in the high half; -1 each when not given.
extern std::uint64_t parkQualityFactors;
// The file's RT_traffic_week; shown only.
extern std::uint32_t rtTrafficWeek;
// A handmade learned file replaced the stands of the airport file.
extern bool handmadeOverrule;
// Learned option updates since the last save or load; counted by the engine.
extern std::atomic<std::uint32_t> learnedUpdateCount;
// The park airport's stands are loaded: static parking runs there.
inline std::atomic<bool>& standsLoaded = staticParkingActive;
