#pragma once
// What the spawning asks of the stand search, the static parking, the removal rules, the ground
// movement and the clearance from the user aircraft that has no home of its own yet. Until those
// jobs are in place: the nearest free stand is found by distance alone, no occupant or neighbour
// refuses a stand, no queued static creation is found, no parking limit or cargo rule applies
// and no ghost is looked for. The user-path test is complete. Work thread only.

#include "airports/stand.h"
#include "engine/ac_records.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The nearest stand that is not occupied within `limitNm` of the position; the end of
// standTable when none is.
std::vector<Stand>::iterator lf_findNearestFreeStand(LatLon position, LiveAc& ac, double limitNm, bool stopFlag);

// The live aircraft on the stand a newcomer wants: may remove it; true when the newcomer is
// refused the stand.
bool lf_standOccupantRule(LiveAc& occupant, const LiveAc& newcomer, std::uint32_t standId);
// A live aircraft parked on the neighbour stand refuses the newcomer its stand: true when refused.
bool lf_neighbourStandBlocked(const LiveAc& newcomer, const Stand& stand, std::uint32_t neighbourId);
// A live aircraft not being removed bears the callsign without its last character ('_').
bool lf_ghostOwnerExists(std::string_view callsign);
// Removes the ghost (the callsign followed by '_') of a live aircraft.
void lf_ghostCheck(const std::string& callsign);
// Keeps the parked aircraft of the park airport within its limit, `extra` aircraft arriving.
void lf_checkMaxPark(std::uint8_t extra);

// Drops the queued static creations with this callsign and erases their records; true when one
// was found.
bool lf_cancelQueuedStaticCreation(std::string_view callsign);

// A cargo aircraft marks its stand a cargo stand.
void lf_cargoStand(LiveAc& ac);

// The user aircraft lies on the track of the buffered aircraft: its oldest position within
// 6 NM and 3000 ft of the user, and the user within 4000 ft of its track line.
bool lf_onUsersPath(const LiveAc& ac);
