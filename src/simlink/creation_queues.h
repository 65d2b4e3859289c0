#pragma once
// One AI creation request as the engine builds it and the simulator connection sends it.

#include <cstdint>
#include <string>

struct AcCreateRecord {
    // The simulator's initial position, in the order of its SimConnect structure.
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // feet
    double pitch = 0.0;     // degrees
    double bank = 0.0;      // degrees
    double heading = 0.0;   // degrees
    std::uint32_t onGround = 0;
    std::uint32_t airspeed = 0; // knots
    // Sent as the tail number: the simulator reports it back as the new object's ATC ID, by
    // which the connection binds the object to its aircraft.
    std::string callsign;
    std::string liveryTitle;
    // The hex id of a live aircraft (above 10000), or the static key (1..9999).
    std::uint32_t key = 0;
};

// Keys up to this value are static aircraft.
inline constexpr std::uint32_t kLastStaticKey = 10000;
