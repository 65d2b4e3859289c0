#pragma once
// The engine's angle folds. Both take any finite angle in constant time, so that an absurd
// value from the traffic feed costs one pass like any other.

#include "core/geodesy.h"

#include <cmath>

// Radians folded into [-pi, pi].
inline double gf_foldRadians(double angle)
{
    return std::remainder(angle, geo::kTwoPi);
}

// Degrees of longitude from `from` to `to` the short way round, in [-180, 180]: a leg across the
// antimeridian is as short as anywhere else.
inline double gf_longitudeDifference(double from, double to)
{
    return std::remainder(to - from, 360.0);
}

// A heading in radians brought into [0, 2 pi).
inline double gf_wrapHeading(double heading)
{
    heading = std::fmod(heading, geo::kTwoPi);
    return heading < 0.0 ? heading + geo::kTwoPi : heading;
}
