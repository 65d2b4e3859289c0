#pragma once
// Static aircraft parked on the stands that the parking calculation chose: one waiting candidate
// at a time becomes a StaticAc with its creation request. Static aircraft carry keys 1..9999
// and callsigns ending in '*', which no live aircraft has. Work thread only.

#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "engine/ac_records.h"
#include "engine/parked_removal.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The last static key given; the next one follows it, 9999 being followed by 1.
extern std::uint32_t staticKey;
std::uint32_t gf_nextStaticKey();

// Takes the last waiting static candidate and queues the creation of its aircraft on its stand,
// unless a live or static aircraft stands there or next to it, or no livery fits.
void lf_parkStatic();
// The callsign a static aircraft shows: the candidate's chosen callsign with '*'.
std::string lf_staticCallsign(const AcIdentity& identity, const StaticCandidate& candidate);
// Drops the queued static creations with this callsign and erases their records; true when one
// was found.
bool lf_cancelQueuedStaticCreation(std::string_view callsign);
