#pragma once
// The engine's two angle folds. Both take any finite angle in constant time, so that an absurd
// value from the traffic feed costs one pass like any other.

#include "core/geodesy.h"

#include <cmath>

// Radians folded into [-pi, pi].
inline double gf_foldRadians(double angle)
{
    return std::remainder(angle, geo::kTwoPi);
}

// A heading in radians brought into [0, 2 pi).
inline double gf_wrapHeading(double heading)
{
    heading = std::fmod(heading, geo::kTwoPi);
    return heading < 0.0 ? heading + geo::kTwoPi : heading;
}
