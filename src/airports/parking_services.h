#pragma once
// What the parking calculation asks of the engine: the kinds of stand option, the search of the
// stands for static candidates, the marking of taken stands, the counts of parked aircraft and the
// parked live aircraft that stay. The engine answers (engine/park_options.cpp,
// engine/parked_removal.cpp, engine/parking_adjustments.cpp); declared here so that the parking calculation needs nothing above
// it. Work thread only.

#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "core/clock.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::uint32_t kSoftOption = 0;
inline constexpr std::uint32_t kRealOption = 1;

// Sets the stand's taken flag and the neighbour-blocked flag of each neighbour stand.
void gf_markStandAndNeighbours(Stand& stand);

// Appends at most one candidate per free stand whose options of this kind cover the slot `offset`
// half hours before t, and marks those stands and their neighbours.
void lf_searchStands(DaySlot t, std::uint32_t kind, std::uint32_t offset, std::vector<StaticCandidate>& result);
// The number of static aircraft in the simulator; with `show`, their average parked time is
// refreshed in the main window.
std::uint64_t gf_updateStaticParkTime(bool show);
// The number of parked live aircraft in the simulator; with `show`, their average parked time
// goes to the main window.
std::uint32_t gf_updateLiveParkTime(bool show);

// A parked live aircraft that the expiry keeps; read by the static parking.
struct ParkedStayer {
    std::string callsign;
    std::uint32_t standId = 0;
    std::uint32_t parkedMinutes = 0; // 0 for an aircraft that arrived at its stand while live
};
// Sorted by parked minutes, fewest first. Emptied by its readers before an expiry.
extern std::vector<ParkedStayer> parkedStayers;

// Empties the lists of the last re-balancing of the static aircraft (engine/parking_adjustments.cpp).
void gf_clearParkingAdjustmentLists();

// The time of the week `slots` half hours before t (into the previous weekdays, Monday after
// Sunday).
DaySlot gf_daySlotBefore(DaySlot t, std::uint32_t slots);
DaySlot gf_nextDaySlot(DaySlot t);
