#pragma once
// The park airport and the user's list of park airports, as the rest of the program sees them.
// The work thread writes them; the traffic reader and the window read the park airport, so it
// is kept under its own lock and handed out as a copy.

#include "core/geodesy.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

struct AirportRecord {
    std::string code;     // empty: no park airport is set
    std::string iataCode;
    double latitude = 0.0;
    double longitude = 0.0;
    double elevation = 0.0; // feet
};

// "{code} ({iata})", "?" for an empty code, without the brackets when there is no IATA code.
std::string gf_airportText(const AirportRecord& airport);

AirportRecord gf_parkAirport();
void gf_setParkAirport(const AirportRecord& airport);

// Where the park airport lies, without copying its texts: for the traffic reader, which asks
// for every line on the ground. None while no park airport is set.
struct ParkAirportSite {
    LatLon position;
    double elevation = 0.0; // feet
};
std::optional<ParkAirportSite> gf_parkAirportSite();

// Static parking runs at the park airport: its stand file has been read.
extern std::atomic<bool> staticParkingActive;

// One entry of the user's park airports, kept sorted by distance to the user aircraft.
struct ParkAirport {
    std::string code;
    std::string stand; // the stand kept for the user aircraft
    LatLon position;
    double distanceNm = 0.0;
};

// Work thread only.
extern std::vector<ParkAirport> parkAirportList;
