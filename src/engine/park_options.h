#pragma once
// The stands of the park airport as the engine uses them: finding a free stand for a live
// aircraft, and learning which aircraft park where, on which weekday and in which half-hour
// slots. Real options are learned from live aircraft that parked on a stand, soft options from
// aircraft that stood near the airport without taking one. The parking calculation reads them
// back (lf_searchStands) to place static aircraft. Work thread only.

#include "airports/parking_services.h"
#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "core/clock.h"
#include "engine/ac_records.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// kSoftOption, kRealOption, lf_searchStands, gf_updateStaticParkTime, gf_markStandAndNeighbours,
// gf_daySlotBefore and gf_nextDaySlot, which the parking calculation asks of the engine:
// airports/parking_services.h.

// A stand fits an aircraft whose half wingspan exceeds its radius by at most 1.8 m.
inline constexpr double kStandFitToleranceNm = 0.0009719222462203025;

// ---- Stands ----
// The answer gf_getStandAtPosition (engine/stand_query.h) gives: the name of the nearest stand
// within 55 m of the position; empty when there are no stands, the user aircraft is not on the
// ground, or none is that near. The last answer is kept for the same position and stand table.
std::string lf_standNameAtPosition(LatLon position);
// The nearest stand within `limitNm` of the position that is not occupied and fits the aircraft
// (or lies within 20 m: it is then enlarged to fit); with `stopFlag`, a fitting stand within
// 85 m that the aircraft used before is the fallback. The end of standTable when none.
std::vector<Stand>::iterator lf_findNearestFreeStand(LatLon position, LiveAc& ac, double limitNm, bool stopFlag);
// The stand the aircraft would take at the time of the week: the best free and not booked stand
// of its kind and size. With `retry`, a small airport is searched once more half an hour later.
std::vector<Stand>::iterator lf_searchStandForLiveAc(DaySlot t, const LiveAc& ac, bool retry);

// ---- Learning ----
// Whether the aircraft with this key may learn now: at most once per three half-hour slots.
bool lf_stampHalfHourSlot(DaySlot t, std::uint32_t key, bool force);
// Sets the key's half-hour stamp to the slot, whatever it held.
void lf_stampLearnedSlot(std::uint32_t key, std::uint32_t halfHourSlot);
// Forgets every half-hour stamp (restart of a run, tests).
void gf_clearHalfHourStamps();
// Learns that the aircraft stood on the stand at time t; true when a new option was made.
// `slotOnly`: only the option's slot is recorded, the per-aircraft index is not followed.
// `final`: the aircraft leaves, its index entry is dropped.
bool lf_addRealParkPosOption(std::uint32_t standId, const StaticAc& ac, bool slotOnly, DaySlot t, bool final);
bool lf_addSoftParkPosOption(std::uint32_t standId, const StaticAc& ac, bool slotOnly, DaySlot t);
// An arriving aircraft near the park airport learns a soft option on the stand it would take.
void lf_chooseArrivalStand(LiveAc& ac, bool force);
// Fills the aircraft's coupled callsigns from an option that ties its callsign to another one
// around time t.
void lf_searchForCoupledCsAroundThisTime(DaySlot t, LiveAc& ac);

// ---- Static parking candidates ----

// ---- Options of one stand ----
std::uint32_t gf_appendOption(std::vector<ParkPosOption>& options, const AcDescription& desc, DaySlot t,
                              std::uint32_t kind);
bool gf_updateOption(std::vector<ParkPosOption>& options, std::uint32_t number, std::uint32_t slot,
                     std::string_view callsign, DaySlot t);
// Whether a slot from start - offset (not below 0) to start is set; `reachBack` becomes the
// number of slots by which the window reaches back before slot 0 (0 or less: it does not).
bool testRange(const ParkPosOption& option, std::int32_t start, std::int32_t offset, std::int32_t& reachBack);
bool lf_isSameAircraftKey(const ParkPosOption& option, const AcDescription& desc);
const ParkPosOption* gf_findSlotRecord(const Stand& stand, std::uint32_t weekday, std::string_view registration,
                                       std::uint32_t slot);
std::string gf_dayHourText(DaySlot t);
