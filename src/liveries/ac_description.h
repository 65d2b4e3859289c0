#pragma once
// The description of an aircraft, as the engine keeps it in its aircraft records and the livery
// matching fills in its livery: declared here, below the engine, so that the matching needs
// nothing above it.

#include "simlink/ac_category.h"

#include <cstdint>
#include <string>

// The identity and model data of an aircraft; made only by gf_makeAircraftDescription.
struct AcDescription {
    std::string airline;     // ICAO airline code; "PVT" when still empty at spawn
    std::string type;        // ICAO model code
    std::string origin;      // as received; a flight plan needs origin and destination
    std::string destination;
    std::string callsign;    // also the tail number by which the simulator binds the object
    // The two callsigns a learned parking option ties to the aircraft (an aircraft that arrives
    // under one flight number and leaves under another).
    std::string cs;
    std::string csSuffix;
    std::string registration;
    std::uint8_t flag = 0;   // live: the coupled-callsign search has run for it
    AcCategory category = AcCategory::Large;
    double halfWingspan = 0.0;   // nautical miles
    double staticCgHeight = 0.0; // feet, from the simulator
    double staticPitch = 0.0;    // radians, from the simulator
    double rotationPitch = 0.0;  // radians, negative is nose up
    double climbPitch = 0.0;     // radians
    double groundTurnRateDefault = 0.0; // radians per pass
    double groundTurnRate = 0.0;        // radians per pass, scaled by the ground movement
    double maxClimbStep = 0.0;          // feet per pass
    double standSpeed = 0.0;            // knots
    // The chosen livery's title; empty while none is chosen. Kept as the record's own copy, so
    // that a rebuilt or emptied livery table never leaves a live aircraft with a dangling title.
    std::string liveryTitle;
    std::uint32_t key = 0;      // hex id (live) or static key (1..9999)
    std::uint32_t flarePasses = 0;
    std::uint32_t touchdownPasses = 0;
    std::uint32_t rotationPasses = 0;
    std::uint32_t climbPasses = 0;
    std::uint8_t cargo = 0;
    std::uint8_t fsltlFlag = 0; // the livery title contains "FSLTL_": throttle levers reversed
};
