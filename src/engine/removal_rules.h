#pragma once
// The rules by which the engine takes duplicates out of the simulator: ghosts (a callsign ending
// in '_' marks a second copy of the aircraft without it), static aircraft that a live aircraft
// replaces (same registration, same or coupled callsign, a twin marked with '*'), and whatever
// stands on the stand kept for the user aircraft. Work thread only; every removal goes through
// gf_removeAc.

#include "engine/ac_records.h"

#include <cstdint>
#include <string>
#include <string_view>

// The first live aircraft not being removed whose callsign is `callsign` + "_" is a ghost: its
// callsign is remembered in ghostCallsigns (buffered aircraft with it are dropped) and it goes.
void lf_ghostCheck(const std::string& callsign);
// For a callsign ending in '_': a live aircraft not being removed bears it without the '_'.
bool lf_ghostOwnerExists(std::string_view callsign);

// Whether the live aircraft replaces the static aircraft in the simulator: the same
// registration, or its callsign (or its second coupled callsign, or, for a callsign ending in
// '_', `key`: the callsign less its last character) equal to one of the static aircraft's
// coupled callsigns. A match is logged (detail); the caller removes the static aircraft.
bool gf_replaceSameRegOrCallsign(const StaticAc& st, const LiveAc& live, std::string_view key, bool groundMode);
// The per-second spawn check of a live aircraft: its coupled-callsign search once, then the first
// static aircraft it replaces is removed.
void gf_checkSpawnedLiveAc(LiveAc& live);
// For a live aircraft in the simulator on the ground: removes the first static aircraft in the
// simulator whose callsign is the live callsign followed by '*', or with its registration.
void gf_removeStaticTwin(const LiveAc& live);
