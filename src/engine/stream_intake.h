#pragma once
// The intake of a received position into a live aircraft's stream: the rules for stops,
// push-back, stands and landings that decide whether (and as what) the position is kept.

#include "engine/ac_records.h"
#include "traffic/traffic_message.h"

// Called for each received position of an aircraft; may change the position before it is
// appended, refuse it, or remove the aircraft. Work thread only.
void lf_addStreamPosition(LiveAc& ac, StreamPosition position);
// The stops newest in the stream that a moving position makes worthless are dropped.
void removeSmallStop(LiveAc& ac, const StreamPosition& position);
void checkStops(LiveAc& ac, const StreamPosition& position, std::size_t rank);
