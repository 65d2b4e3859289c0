#pragma once
// The user's park airports: airports/my_park_airports.txt (one "CODE" or "CODE,STAND" per line)
// and the airports of the stand files in airports/my_thirdparty. Each entry may keep a stand
// for the user aircraft; the front entry's stand is the one held free at the park airport.

#include "core/geodesy.h"
#include "params/park_airport.h"
#include "simlink/user_stand_services.h"

#include <string>
#include <string_view>

// The stand of the park airport held free for the user aircraft; empty when none. Work thread.
extern std::string reservedStand;

// Rebuilds parkAirportList from the file and the my_thirdparty folder; false when a code is
// unknown to the airport data base or an error ended the read.
bool lf_readMyParkAirports();
void lf_parseMyParkAirportsLine(const std::string& line, bool& result);
bool lf_isParkAirport(std::string_view code);
void lf_addThirdpartyParkAirports();

// gf_addMyParkAirport (the front entry into the file, on a thread of its own):
// simlink/user_stand_services.h. The line of `front`'s airport takes its stand; false for the line
// of another airport.
bool lf_updateMyParkAirportStand(std::string& line, const ParkAirport& front);

// Re-reads the list and, when `checkStand` is set, takes over a changed stand of the front
// entry as the reserved stand. True when `message` holds a text for the message line.
bool gf_checkReservedStand(bool checkStand, std::string& message);

// Puts the airport at the front of the list, adding it (and its line in the file) when new.
void gf_setDestinationParkAirport(std::string_view code, LatLon position);

// The engine's: removes the static aircraft that stands on the reserved stand, so that the stand
// is free for the user aircraft.
void gf_clearReservedStand();
