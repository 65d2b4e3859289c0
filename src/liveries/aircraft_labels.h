#pragma once
// The texts by which the engine shows an aircraft in the log and keys its lookup sets, as the
// livery matching and the registration lists use them. The engine defines them
// (engine/ac_identity.cpp); declared here so that those callers need nothing above them.

#include "liveries/ac_description.h"

#include <string>
#include <string_view>

// "{:3} {:4}" of the airline and the type code.
std::string gf_aimoKey(std::string_view airline, std::string_view type);
std::string gf_aimoKey(const AcDescription& desc);
// The long label, a blank and the aimo key: the label of log lines about one aircraft.
std::string gf_aircraftLabel(const AcDescription& desc);
// "{:8}" of the callsign, then " {} {}" of the registration and the aimo key.
std::string gf_aircraftShortLabel(const AcDescription& desc);
