#pragma once
// The limits on parked aircraft at the park airport: how long a live aircraft placed on a stand
// may stay, how many aircraft the airport holds (the max park), and the average parked times the
// main window shows. Work thread only; every removal goes through gf_removeAc.

#include "airports/parking_services.h"
#include "traffic/traffic_message.h"

#include <cstdint>
#include <string>
#include <vector>

// ParkedStayer and parkedStayers (the parked live aircraft that the expiry keeps):
// airports/parking_services.h.

// Removes each parked live aircraft placed on its stand (not arrived there while live) that has
// stood more than 90 minutes (180 for a Heavy), unless INITIAL_LOAD_ONLY is on; the others are
// appended to parkedStayers.
void gf_expireParkedLiveAc();
// The max park rule, `extra` parked live aircraft about to be added: removes the live aircraft
// parked longest when the parked live aircraft exceed the max park, and the static aircraft parked
// earliest when static and live together exceed it. At most one of each per call.
void lf_checkMaxPark(std::uint8_t extra);
// A live aircraft that the max park took out stays out while its feed shows it parked where it
// stood (on the ground, not moving, within the stand radius): true for such a message. Any other
// message of it ends the keeping out.
bool gf_keptOutByMaxPark(const TrafficMessage& message);
void gf_clearMaxParkRemovals();
// Removes the n parked live aircraft in the simulator that have stood longest.
void gf_removeLongestParkedLiveAc(std::uint32_t n);
// gf_updateLiveParkTime: airports/parking_services.h.

