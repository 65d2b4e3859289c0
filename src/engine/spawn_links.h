#pragma once
// What the spawning asks of the static parking and the ground movement that has no home of its
// own yet: no queued static creation is found and no cargo rule applies. Work thread only.

#include "engine/ac_records.h"

#include <string_view>

// Drops the queued static creations with this callsign and erases their records; true when one
// was found.
bool lf_cancelQueuedStaticCreation(std::string_view callsign);

// A cargo aircraft marks its stand a cargo stand.
void lf_cargoStand(LiveAc& ac);
