#pragma once
// Keeping the static aircraft of the park airport in step with the clock and the live traffic:
// the periodic re-balancing (static aircraft whose time is over or whose callsign flies live go,
// live aircraft parked beyond the maximum go, free stands get new candidates), the removal of
// every static aircraft when the park airport is given up, and the clearance of static aircraft
// from moving live ones. Work thread only.

#include "airports/parking_services.h"
#include "airports/stand.h"
#include "core/clock.h"
#include "engine/ac_records.h"

#include <cstdint>
#include <string>
#include <vector>

// A static aircraft that stays after a re-balancing.
struct StaticStayer {
    std::string callsign; // as shown, ending in '*'
    std::string cs;
    std::string csSuffix;
    std::string reg;
    std::string airl;
    std::string type;
    DaySlot parked = 0;
    std::uint32_t standId = 0;
    bool leaving = false; // its option ends now: it comes back under its second callsign
};

// A static aircraft to take out.
struct StaticRemoval {
    std::string callsign;
    std::uint32_t standId = 0;
};

extern std::vector<StaticStayer> staticStayers;
extern std::vector<StaticRemoval> staticRemoveList;

// gf_clearParkingAdjustmentLists: airports/parking_services.h.

// The re-balancing after a requested recalculation.
void gf_parkingAdjustments();
// Removes every static aircraft, frees the stands of the live ones and gives the park airport up.
void gf_removeStaticParked();
// The static aircraft in the simulator ordered by the latitude of their stands, so that a moving
// aircraft is measured against those within reach alone. Valid while staticAcTable keeps its
// records (a removal only marks them).
class StaticsByLatitude {
public:
    StaticsByLatitude();
    // The first static aircraft in the simulator, in table order, that stands too close to the
    // live aircraft; staticAcTable's end when none.
    std::vector<StaticAc>::iterator firstTooClose(const LiveAc& live) const;

private:
    std::vector<std::pair<double, std::size_t>> stands; // latitude, index in staticAcTable
    double widestHalfSpan = 0.0;
};

// Removes the first static aircraft in the simulator that stands too close to the live aircraft;
// its position in staticAcTable, or the end when none.
std::vector<StaticAc>::iterator gf_collisionAvoidanceStatic(const LiveAc& live, const StaticsByLatitude& statics);
std::vector<StaticAc>::iterator gf_collisionAvoidanceStatic(const LiveAc& live);

// The stayers in the order they were parked, the longest parked first, as seen from time t.
void lf_sortStayersByParkedTime(DaySlot t);
// The per-aircraft rules of the re-balancing, at time of the week t.
void lf_classifyStaticAc(const StaticAc& ac, DaySlot t);
void lf_compareParkedTime(const StaticAc& ac, std::size_t candidateIndex, DaySlot t);
bool lf_isOptionLeaving(const ParkPosOption& option, StaticStayer& stayer, DaySlot t);
