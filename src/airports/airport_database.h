#pragma once
// The airport data base: every airport the program knows, read once from input/airports_p3d.xml
// and unchanged afterwards. The work thread loads it at start-up; afterwards any thread may read.

#include "core/geodesy.h"
#include "params/park_airport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Sorted by code once loaded. Read it only after gf_readAirports has returned.
extern std::vector<AirportRecord> airportTable;

// Loads the file once; true when the table holds an airport. A missing or unreadable file, like
// every other failure of the load, becomes qmx::UserErrorException 88 with the failure's text
// (87 for a failed XPath query); the table is then not marked loaded, so a later call tries again.
bool gf_readAirports();
// Empties the table and forgets the load (restart of a test).
void gf_clearAirportTable();

// A copy of the first airport with exactly this code.
std::optional<AirportRecord> gf_findAirport(std::string_view code);

// The airport that a user aircraft standing at `position` is at: the closest one within 5 nm,
// unless the airport that was closest before it has a stand nearer to the position.
std::optional<AirportRecord> gf_nearestAirport(LatLon position);
// Its two halves: the closest airport within 5 nm and the one closest before it, from the data
// base alone (work thread); and the choice between them by their stand files, which may be
// fetched from the server (any thread).
struct NearAirports {
    std::optional<AirportRecord> closest;
    std::optional<AirportRecord> neighbour;
};
NearAirports gf_airportsNear(LatLon position);
std::optional<AirportRecord> gf_nearestByStands(const NearAirports& near, LatLon position);

// For an archive list entry: false when it does not begin with `prefix`; else true, with the
// number after its first four characters stored in `out` (a number that cannot be read is
// logged and leaves `out` unchanged).
bool lf_parsePrefixedNumber(std::string_view context, std::string_view prefix, std::uint32_t& out,
                            std::string_view entry);
