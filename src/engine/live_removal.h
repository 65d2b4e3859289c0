#pragma once
// Taking aircraft out of the simulator: the one removal operation, the removal of every live or
// static aircraft (the exit, a lost traffic client) and the limit on live aircraft. Work thread
// only, except where the exit runs them after the work thread has ended.

#include "engine/ac_records.h"
#include "traffic/engine_services.h"

#include <string_view>

// Takes one aircraft (static, or the static part of a live one) out of the simulator: a record
// that never reached it is only marked for erasing; otherwise its stand is freed, its state set
// to Removing and its object id queued for removal.
void gf_removeAc(StaticAc& ac);

// gf_removeAllLiveAc (every live aircraft): traffic/engine_services.h.
// The same for every static aircraft.
void gf_removeAllStatics();

// Drops the queued live creation requests with this callsign and erases their records; true
// when one was found.
bool gf_cancelQueuedLiveCreation(std::string_view callsign);

// Removes the live aircraft in the simulator that lies farthest from the user aircraft, when it
// lies more than 0.1 NM beyond `distanceNm`; true when none does (nothing removed).
bool lf_removeFarthestLiveAc(double distanceNm);
// While MAX_LIVE is in force: removes the live aircraft in the simulator beyond it, farthest first.
void gf_applyMaxLive();
