#include "engine/spawning.h"

// Spawning is not part of this build yet: a buffered aircraft stays buffered, and a message is
// applied with its identity as the aircraft already has it.
void updateBufferAc(LiveAc& /*ac*/) {}

bool lf_respawnOnIdentityChange(LiveAc& /*ac*/, const TrafficMessage& /*message*/)
{
    return true;
}
