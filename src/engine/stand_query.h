#pragma once
// The stand at a position, asked by the work thread (and by the simulator connection's user-stand
// bookkeeping, which the work thread runs).

#include "core/geodesy.h"

#include <string>

// The name of the nearest stand of the park airport within 55 m of the position; empty when the
// stand table is empty, the user aircraft is not on the ground, or none is that near.
// Work thread only: it reads the stand table.
std::string gf_getStandAtPosition(LatLon position);
