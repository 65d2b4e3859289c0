#pragma once
// Spawning of buffered live aircraft and their identity changes. A live aircraft collects its
// received positions from its first traffic message on; once the oldest is nearly due it is
// dropped, held back or placed: its livery, its first phase and, on the ground at the park
// airport, its stand (clearing static aircraft out of the way), its first pose, and its hex id
// queued for the creation request. Work thread only.

#include "airports/stand.h"
#include "engine/ac_records.h"
#include "traffic/traffic_message.h"

#include <cstdint>

// One pass of a buffered aircraft (state Buffered): waits, drops its oldest position, drops the
// aircraft or spawns it.
void updateBufferAc(LiveAc& ac);
// Places the aircraft (its stream holds at least two positions) and queues its creation.
void spawnLiveAc(LiveAc& ac);
// Applies a changed identity of the message to the aircraft; false: the message is not applied.
bool lf_respawnOnIdentityChange(LiveAc& ac, const TrafficMessage& message);

// Clears the stand the live aircraft takes, and the neighbour stands too close to it, of static
// aircraft.
void checkStandOrExcludedIsOccupiedByStaticAndRemove(const LiveAc& ac, const Stand& stand);
// The static aircraft on the stand makes way for the live one; true when it stands there.
bool lf_makeWayAtStand(StaticAc& parked, const LiveAc& ac, const Stand& stand);
// The static aircraft on the neighbour stand is removed when the two would touch; true when removed.
bool lf_removeAdjacentParked(StaticAc& parked, const LiveAc& ac, const Stand& stand, std::uint32_t neighbourId);
