#pragma once
// What the shell, the simulator connection and the traffic input ask of the airports and the
// parking. The park-airport choice and the parking calculation are not part of this build yet:
// until they are, no airport becomes the park airport and nothing is parked.

#include "airports/airport_database.h"
#include "airports/park_airport.h"
#include "airports/park_airport_list.h"

#include <cstdint>
#include <string>

// The add-on airport scan (airports/addon_airport_scan.cpp).
void gf_scanAddonAirports();
void gf_checkForParkAirportUpdates(bool loopStart);
void gf_parkingAdjustments();
void gf_removeStaticParked();
std::string gf_standName(std::uint32_t standId);
