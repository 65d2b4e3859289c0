#pragma once
// The engine's side of the traffic queue: each pass takes at most two traffic messages off it
// and applies each to the live aircraft with the same hex id, or makes a new live aircraft from
// it, keeping repeated and implausible messages out of the aircraft's stream. Work thread only.

#include "engine/ac_records.h"
#include "traffic/traffic_message.h"

// Takes at most two messages off the traffic queue, under trafficQueueMutex, and applies them.
// A message whose application throws is logged, dropped (so that it cannot stall every later
// pass) and the exception passed on.
void lf_handleUdpMessages();
void lf_applyTrafficMessage(TrafficMessage& message);
// True when the message belongs to this aircraft (applied or ignored).
bool lf_updateFromTrafficMessage(const TrafficMessage& message, LiveAc& ac);
void lf_prepareNewLiveAc(TrafficMessage& message);
void lf_addLiveAcFromMessage(TrafficMessage& message);
// False for an airborne message below 10000 ft within 120 ft of the park airport's elevation
// (of -1000 ft without a park airport).
bool lf_isAwayFromParkAirportLevel(const TrafficMessage& message);
