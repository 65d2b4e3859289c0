#pragma once
// What the simulator connection's bookkeeping of the user aircraft's stand asks of the work
// thread, which runs it: the stand under a position and the record of the user's park airport.
// The engine and the airports answer (engine/stand_query.cpp, airports/park_airport_list.cpp);
// declared here so that the connection needs nothing above it.

#include "core/geodesy.h"

#include <string>

// The name of the nearest stand of the park airport within 55 m of the position; empty when the
// stand table is empty, the user aircraft is not on the ground, or none is that near.
// Work thread only: it reads the stand table.
std::string gf_getStandAtPosition(LatLon position);

// Writes the front entry of the park-airport list into the file: a new line, or the stand of
// its line. The file is written on a thread of its own, after the writes asked for before.
void gf_addMyParkAirport();
// Returns once every write asked for before the call is done and the thread that writes has
// ended (the list is read again; the program ends).
void gf_finishMyParkAirportWrites();
