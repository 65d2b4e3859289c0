#pragma once
// What the spawning asks of the static parking that has no home of its own yet: no queued static
// creation is found. Work thread only.

#include "engine/ac_records.h"

#include <string_view>

// Drops the queued static creations with this callsign and erases their records; true when one
// was found.
bool lf_cancelQueuedStaticCreation(std::string_view callsign);
