#pragma once
// Stand conflicts between live aircraft: who keeps a stand when a spawned aircraft wants it, when
// a neighbour stand blocks it, and the claim of a stand by an aircraft that stopped while taxiing.
// Work thread only; every removal goes through gf_removeAc.

#include "airports/stand.h"
#include "engine/ac_records.h"

// The newcomer wants the stand (the occupant counts only when it is in the simulator on that
// stand, parked or pushing back). Removes the occupant when the newcomer replaces it (same
// callsign, or the occupant is a ghost of it); true when the newcomer is refused the stand.
bool lf_standOccupantRule(const LiveAc& newcomer, std::uint32_t standId, LiveAc& occupant);
// True when a live aircraft parked under another callsign on the neighbour stand blocks the
// newcomer's stand: the neighbour stand has no position, or lies within 1.1 times both half
// wingspans of the stand.
bool lf_neighbourStandBlocked(const LiveAc& newcomer, const Stand& stand, const Stand& neighbour);
// Removes the live aircraft parked on the neighbour stand whose stand lies within 1.1 times both
// half wingspans of the newcomer's stand.
void lf_adjacentStandRule(const LiveAc& newcomer, const Stand& stand, const Stand& neighbour);
// A taxiing aircraft that stopped claims the nearest free stand (within 55 m after a landing, else
// 20 m): the aircraft parked there and on colliding neighbour stands go, and it heads for the stand.
void lf_standWanted(LiveAc& ac, bool landed);

