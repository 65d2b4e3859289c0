#pragma once
// The identity of an aircraft: its description made from received identity data, whether its
// callsign can be used, and the fixed-width texts by which it is shown in the log and kept in
// the engine's lookup sets.

#include "engine/ac_records.h"
#include "liveries/aircraft_labels.h"
#include "traffic/traffic_message.h"

#include <string>
#include <string_view>
#include <utility>

// A new description from an identity record: its texts and flag, the category and half
// wingspan of its type code, the category's pass counts and its rotation and climb pitches
// (each varied at random by 2.5 and 5 percent). Work thread (the random engine is per thread).
AcDescription gf_makeAircraftDescription(const AcIdentity& identity);

// False for an empty callsign, "@@@@@@@@", or one of 9 or more characters.
bool gf_isCallsignUsable(const AcDescription& desc);
// A ghost's callsign is its owner's followed by '_'.
bool gf_isGhostCallsign(std::string_view callsign);
// The callsign without the '_' that marks a ghost.
std::string gf_withoutGhostMark(std::string_view callsign);
// The callsign without its last character (the owner of a ghost, the key of a static's '*').
std::string_view gf_callsignWithoutLast(std::string_view callsign);

using KeyPair = std::pair<std::string_view, std::string_view>;
// Both texts equal pairwise.
bool gf_sameKeyPair(const KeyPair& a, const KeyPair& b);
// Airline and type codes of two descriptions equal.
bool gf_sameKeyPair(const AcDescription& a, const AcDescription& b);

// gf_aimoKey: liveries/aircraft_labels.h.
// The aimo key, a blank and the registration: the entry of NoMatchList.
std::string gf_flightKeyWithSuffix(const AcDescription& desc);
// "{:8}" callsign, " ", "{:8}" registration, " ", and "{:3}->{:3}" of origin and destination
// (eight blanks when both are empty).
std::string lf_aircraftLabelText(const AcDescription& desc);
// gf_aircraftLabel (the label of log lines about one aircraft): liveries/aircraft_labels.h.

// LOG is on: the detail lines about single aircraft are written.
bool lf_detail();
// Writes a detail line when LOG is on.
void lf_logDetail(const std::string& line);
std::string gf_aircraftLabelAt(const AcDescription& desc);
// gf_aircraftShortLabel: liveries/aircraft_labels.h.

inline std::string gf_aircraftLabel(const StaticAc& ac) { return gf_aircraftLabel(ac.desc); }
inline std::string gf_aircraftShortLabel(const StaticAc& ac) { return gf_aircraftShortLabel(ac.desc); }
