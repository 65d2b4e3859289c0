#pragma once
// What the shell, the simulator connection and the traffic input ask of the airports and the
// parking. The airport data base, the stand files and the parking calculation are not part of
// this build yet: until they are, there are no airports, no stands and nothing to park.

#include "airports/park_airport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

std::optional<AirportRecord> gf_findAirport(std::string_view code);
bool gf_readAirports();   // false: the airport data base is empty
void lf_readMyParkAirports();
void gf_scanAddonAirports();
bool gf_setDestinationParkAirport(std::string_view code, LatLon position);
void gf_addMyParkAirport();
void gf_checkForParkAirportUpdates(bool loopStart);
bool gf_checkReservedStand(bool reread, std::string& message);
void gf_parkingAdjustments();
void gf_removeStaticParked();
std::string gf_standName(std::uint32_t standId);
