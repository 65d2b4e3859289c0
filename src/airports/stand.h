#pragma once
// The stands of an airport and what the program learned about who parks on them. The same
// records serve the park airport's stand table, the stands decoded from scenery files and the
// live traffic engine, which marks stands taken or occupied and learns new options while aircraft
// stand at the park airport.

#include "core/geodesy.h"
#include "core/text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One learned fact about a stand: an aircraft of this airline, type, registration and callsign
// stood on it on one weekday in these half-hour slots.
struct ParkPosOption {
    std::string airl;
    std::string type;
    std::string reg;
    std::string cs;
    std::string csSuffix;     // what followed the first ':' of the file's cs; only written back
    SlotSet hours;            // bit n = slot n of the UTC day
    std::uint32_t number = 0; // 1-based within the stand; 0 = given up, never written
    std::uint32_t day = 0;    // weekday 1..7, Monday 1
    std::uint32_t fixed = 0;  // 1: read from the stand file itself; learning never changes it
    std::uint32_t real = 1;   // 1 real, 0 soft
};

// In which option a live aircraft was last counted, and when.
struct OptionIndexEntry {
    std::uint32_t day = 0;
    std::uint32_t slot = 0;
    std::uint32_t number = 0;
};

// FNV-1a over the four bytes of an aircraft key, lowest byte first.
struct AircraftKeyHash {
    std::size_t operator()(std::uint32_t key) const noexcept;
};
using OptionIndex = std::unordered_map<std::uint32_t, OptionIndexEntry, AircraftKeyHash>;

// Where a stand lies: degrees, and the heading of a parked aircraft in radians.
struct StandPlacement {
    double latitude = 0.0;
    double longitude = 0.0;
    double heading = 0.0;
};

inline constexpr double kNmPerMetre = 0.0005399568034557236;

struct Stand {
    // The three kind arguments clear their flag when non-zero (a stand is cargo unless told not).
    Stand(std::string name, std::vector<ParkPosOption> options, StandPlacement placement, double radiusMetres,
          int notCargo, int notRamp, int notHeli);

    std::vector<ParkPosOption> opts;
    OptionIndex realOptionIndex;
    OptionIndex softOptionIndex;
    std::string name;
    std::vector<std::uint32_t> neighbours; // ids of the overlapping stands
    double lat = 0.0;
    double lon = 0.0;
    double heading = 0.0; // radians
    double radius = 0.0;  // nautical miles
    std::uint32_t id = 0; // 1..n in table order once loaded; 0 = none
    bool manual = false;
    bool radiusChange = false;
    bool cargoChange = false;
    bool nameSuffixed = false;
    bool taken = false;
    bool occupied = false;
    bool reserved = false;
    bool neighbourBlocked = false;
    bool cargo = false;
    bool ramp = false;
    bool heli = false;
};

// The park airport's stands. Work thread only.
extern std::vector<Stand> standTable;

// How often standTable has been loaded; what is kept of its contents elsewhere is valid only for
// the load it was taken from. A new load may reuse the table's buffer.
extern std::uint64_t standTableLoads;

// Fills every stand's neighbour list: two stands overlap when their radii together exceed
// 1.1 times the distance of their centres. Runs once per load, on stands with empty lists; the
// table may be one being built on another thread.
void lf_computeStandNeighbours(std::vector<Stand>& table);
void lf_computeStandNeighbours();

// False for a position at or next to 0,0, the mark of a position that was never set.
bool lf_isPlausiblePosition(LatLon position);

// The stand of standTable with that name; null when none.
Stand* gf_findStandByName(std::string_view name);
// The stand of standTable with that id; null when none (also for id 0). Ids are unique: a loaded
// table is numbered 1..n in table order.
Stand* gf_findStandById(std::uint32_t id);
