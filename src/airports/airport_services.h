#pragma once
// What the shell, the simulator connection and the traffic input ask of the airports and the
// parking, gathered in one place: the airport data base and the park-airport list, the add-on
// airport scan (addon_airport_scan.cpp), the park-airport choice (park_airport_choice.cpp) and
// the parking adjustments (defined by the engine, whose aircraft they move:
// engine/parking_adjustments.cpp).

#include "airports/airport_database.h"
#include "airports/park_airport_list.h"
#include "params/park_airport.h"

#include <cstdint>
#include <string>

// The add-on airport scan (airports/addon_airport_scan.cpp).
void gf_scanAddonAirports();
void gf_checkForParkAirportUpdates(bool loopStart);
void gf_parkingAdjustments();
void gf_removeStaticParked();
std::string gf_standName(std::uint32_t standId);
