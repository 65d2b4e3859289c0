#pragma once
// Spawning of buffered live aircraft and their identity changes.

#include "engine/ac_records.h"
#include "traffic/traffic_message.h"

// One pass of a buffered aircraft (state Buffered): spawned once its oldest position is nearly due.
void updateBufferAc(LiveAc& ac);
// Applies a changed identity of the message to the aircraft; false: the message is not applied.
bool lf_respawnOnIdentityChange(LiveAc& ac, const TrafficMessage& message);
