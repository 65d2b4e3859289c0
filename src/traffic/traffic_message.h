#pragma once
// The two records on the road of a traffic line: the traffic reader turns one received line into
// a TrafficMessage; the engine takes it off the traffic queue and keeps its StreamPosition in the
// stream of the aircraft.

#include <cstdint>
#include <optional>
#include <string>

// One position of an aircraft, received or made by the engine.
struct StreamPosition {
    double lat = 0.0;                      // degrees, north positive
    double lon = 0.0;                      // degrees, east positive
    std::optional<double> roll;            // bank, radians
    std::optional<double> trueHeading;     // radians, (0, 2 pi]
    double altitude = 0.0;                 // feet; exactly 0 means on the ground
    double groundSpeed = 0.0;              // knots
    double track = 0.0;                    // degrees
    double verticalSpeed = 0.0;            // feet per minute
    double trueAirspeed = 0.0;             // knots
    std::int32_t duePass = 0;              // the update pass at which the position is due
    std::uint8_t airborne = 0;
    std::uint8_t stop = 0;                 // the aircraft stands still here (set by the engine)
    std::uint8_t attitudeFlag = 0;         // roll and true heading may steer the air movement
};

// The identity texts that head an aircraft's description, in its order; the engine copies them.
struct AcIdentity {
    std::string airline;          // filled by the engine
    std::string type;             // ICAO type code, 1 to 4 characters in a queued message
    std::string departure;
    std::string destination;
    std::string callsign;
    std::string coupledCallsign1; // callsigns a parking option ties to the aircraft (engine)
    std::string coupledCallsign2;
    std::string registration;
    std::uint8_t flag = 0;
};

// One parsed traffic line.
struct TrafficMessage {
    AcIdentity identity;
    StreamPosition position;
    double time = 0.0;            // the line's time stamp, Unix seconds (UTC), fraction kept
    std::uint32_t hexId = 0;      // the aircraft address, always above 10000
};
