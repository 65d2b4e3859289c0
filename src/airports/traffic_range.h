#pragma once
// The traffic range: the radius around the user aircraft inside which live traffic is accepted
// and asked for. It is LATERAL_RANGE (whole nautical miles) mirrored in g_trafficRangeNm and
// g_trafficRangeM; with AUTO_RANGE on, the work thread chooses it from the user aircraft's
// situation.

#include "core/geodesy.h"
#include "core/run_state.h"
#include "params/park_airport.h"

#include <atomic>
#include <cstdint>

// What the automatic choice needs of the user aircraft.
struct UserRangeSituation {
    bool onGround = false;
    double altitudeFt = 0.0;
    LatLon position;
};

// autoRangeGroundFlag: core/run_state.h.

// The automatic range in whole nautical miles: 10 on the ground, 100 above
// AUTO_RANGE_ABOVE_HEIGHT, 40 above AIRPORT_HEIGHT, else by the distance d to the nearest park
// airport (none: d = 10000): 10 up to 7 nm, d rounded plus 3 below 37 nm, 40 beyond.
std::int32_t gf_autoRangeNm(const UserRangeSituation& user, const ParkAirport* nearestParkAirport);

// Chooses the range and applies it: LATERAL_RANGE takes it limited to its range (its box is
// rewritten when that changed), g_trafficRangeNm and g_trafficRangeM take it unlimited.
// Work thread only: reads the park-airport list.
void gf_chooseTrafficRange(const UserRangeSituation& user);

// Sets the given range; the box and autoRangeGroundFlag are left as they are.
void gf_setTrafficRangeNm(std::int32_t nm);
