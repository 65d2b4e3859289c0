#pragma once
// The user aircraft as the RealTraffic link tells it to the client: a view of the work thread's
// copy of the user-aircraft data (userAc), which the update pass refreshes once a second. Work
// thread only. The run, which sees that copy, defines these (run/own_position.cpp).

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


// "Qs121=..." with the line end: pitch and bank (radians x 100000) and altitude (feet x 1000)
// with one significant digit, heading, latitude and longitude in radians with six decimals,
// ground speed (knots x 1000) in its shortest form.
std::string gf_ownPositionLine(const OwnPosition& position);
