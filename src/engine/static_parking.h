#pragma once
// Static aircraft parked on the stands that the parking calculation chose: one waiting candidate
// at a time becomes a StaticAc with its creation request. Static aircraft carry keys 1..9999
// and callsigns ending in '*', which no live aircraft has. Work thread only.

#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "engine/ac_records.h"

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

// ---- Asked of the livery matching and of the removal rules ----
// These are provided by their own subsystems; the bodies here only keep the engine whole until
// then: no livery fits a static aircraft, no parked live aircraft is expired or counted.

// Chooses a livery for the static aircraft on its stand (cargo from the stand); true when one
// was set.
bool gf_matchStaticLivery(StaticAc& ac, const Stand& stand);

// A parked live aircraft that may stay at the park airport.
struct ParkedStayer {
    std::string callsign;
    std::uint32_t standId = 0;
    std::uint32_t parkedMinutes = 0; // 0: it arrived while live
};
// Filled by gf_expireParkedLiveAc, fewest parked minutes first.
extern std::vector<ParkedStayer> parkedStayers;
// Removes expired parked live aircraft and lists the others in parkedStayers.
void gf_expireParkedLiveAc();
// Removes the n live aircraft parked longest.
void gf_removeLongestParkedLiveAc(std::int64_t n);
// The number of parked live aircraft in the simulator; with `show`, their average parked time
// is refreshed in the main window.
std::uint64_t gf_updateLiveParkTime(bool show);
