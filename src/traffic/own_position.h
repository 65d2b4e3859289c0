#pragma once
// The user aircraft as the RealTraffic link tells it to the client. The simulator connection
// stores the values of every user-aircraft block it receives; the link reads the latest ones
// when it sends the own position (on the work thread).

#include <string>

struct OwnPosition {
    double pitch = 0.0;       // radians
    double bank = 0.0;        // radians
    double heading = 0.0;     // true heading, radians
    double altitude = 0.0;    // feet
    double groundSpeed = 0.0; // knots
    double latitude = 0.0;    // degrees
    double longitude = 0.0;   // degrees
};

void gf_storeOwnPosition(const OwnPosition& position);
OwnPosition gf_ownPosition();
// The simulator time (UTC) in Unix seconds, stored with the user-aircraft data; 0 while unknown.
void gf_storeSimUnixTime(long long seconds);
long long gf_simUnixTime();

// Inside the box of latitude 0..0.0009 and longitude 0..0.05 degrees the simulator has not yet
// told where the user aircraft is.
bool gf_isUnknownPosition(double latitude, double longitude);

// "Qs121=..." with the line end: pitch and bank (radians x 100000) and altitude (feet x 1000)
// with one significant digit, heading, latitude and longitude in radians with six decimals,
// ground speed (knots x 1000) in its shortest form.
std::string gf_ownPositionLine(const OwnPosition& position);
