#pragma once
// What the shell, the simulator connection and the traffic input ask of the airports and the
// parking. The add-on airport scan is not part of this build yet: until it is, no airport is
// scanned. The park-airport choice and the parking live in park_airport_choice.h and
// parking_adjustments.h.

#include "airports/airport_database.h"
#include "airports/park_airport.h"
#include "airports/park_airport_list.h"

#include <cstdint>
#include <string>

void gf_scanAddonAirports();
void gf_checkForParkAirportUpdates(bool loopStart);
void gf_parkingAdjustments();
void gf_removeStaticParked();
std::string gf_standName(std::uint32_t standId);
