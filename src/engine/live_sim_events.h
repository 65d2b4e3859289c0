#pragma once
// What happens to a live aircraft when the simulator reports on it (its object created, its
// ground data near the ground), its configuration after creation, its flight plan, the roll-out
// after a landing, a respawn with another livery and the choice of its livery. Work thread only.

#include "engine/ac_records.h"
#include "simlink/sim_commands.h"

// Binds the created object to its record; false for object ids below 3 (ignored).
// The spoiler handle of an aircraft that has spoilers (no Rotorcraft).
void lf_spoilers(LiveAc& ac, std::uint32_t value);
bool lf_onLiveAcCreated(LiveAc& ac, const SimCommand& command);
// 200 passes after the binding: engines, spoilers, lights, throttle and flaps; state InSim.
void lf_activateLiveAc(LiveAc& ac);
// The simulator's ground data of an aircraft within 2500 ft of the ground.
void lf_applyGroundData(LiveAc& ac, const SimCommand& command);
// The ground contact.
void lf_onGroundData(LiveAc& ac);
void lf_setFlightPlan(LiveAc& ac);
// Each ground leg while rolling out after a landing.
void lf_rollOut(LiveAc& ac);
// The aircraft in the simulator is created again (with another livery).
void liveryRespawn(LiveAc& ac);
// Keeps or chooses the aircraft's livery; false when none fits.
bool lf_chooseLivery(LiveAc& ac);
