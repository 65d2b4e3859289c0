#pragma once
// How many static aircraft park at the park airport, on which stands and as which aircraft. The
// stands' learned options tell which aircraft stood where on which weekday and half hour; the
// calculation looks for options that cover the current time of the week, widening the window
// half an hour at a time, and leaves the result in staticCandidates, best candidate at the back.
// Work thread only.

#include "core/clock.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// One waiting static aircraft.
struct StaticCandidate {
    std::uint32_t standId = 0;
    // The fit in half hours at which its option matched (0: the option covers the current slot);
    // lower is better. Also taken as the half hours the aircraft has already stood there.
    std::uint32_t sortKey = 0;
    std::string airl;
    std::string type;
    std::string cs;       // may be empty: the engine then makes one up
    std::string csSuffix; // the option's second callsign
    std::string reg;
    // The aircraft shows cs (set) or csSuffix (clear): an aircraft that is still there in the
    // next half hour keeps its arrival callsign.
    bool searchFlag = true;
};

// The waiting static aircraft, sorted by sortKey descending: the engine takes the back.
extern std::vector<StaticCandidate> staticCandidates;
// The callsigns of the traffic around the user collected since the calculation was requested;
// an option flying live under its callsign is not parked.
extern std::set<std::string> parkingCallsigns;
// The widest fit (half hours) reached by the last real and soft search; -1: no soft search ran.
extern std::uint32_t realFitReached;
extern std::int32_t softFitReached;

// The number of aircraft the park airport may hold; also shown with its percentage.
std::int64_t lf_calcMaxPark();
// The last value lf_calcMaxPark computed.
std::int64_t gf_maxPark();

// Logs the time of the week and returns currentDaySlot.
DaySlot lf_logDayAndHour();
// Sets `reserved` on the stand kept for the user aircraft and on the stand it stands on.
void lf_markReservedStands();
// Copies the collected traffic callsigns into parkingCallsigns and stops the collection.
void lf_takeCollectedCallsigns();
// Clears the run-time marks of every stand (occupied stays).
void lf_clearStandMarks();

// One widening search of one kind (1 real, 0 soft): true when `wanted` stands are taken, the
// last step's candidates then left in `list`; false when every fit up to MAX_FIT was tried.
bool lf_reportParkPositions(DaySlot t, std::uint32_t kind, std::int64_t wanted, std::vector<StaticCandidate>& list);
// One search, its candidates appended to staticCandidates without overshooting `wanted`
// (`base` aircraft already count).
void lf_addStaticCandidates(DaySlot t, std::int64_t wanted, std::int64_t base, std::uint32_t kind);
// The real search, then the soft one when still short and PARK_SOFT or PARK_FAKE allows it.
void lf_addRealThenSoftCandidates(DaySlot t, std::int64_t wanted, std::int64_t base);

// The full calculation after the park airport's stand file was loaded.
void lf_calcStaticParking();
