#pragma once
// What the work thread does with the simulator connection's reports on AI objects: created
// objects are bound to their records and configured 200 passes later, removed objects take
// their records with them (or send a respawning aircraft back to be created again), ground and
// CG data reach the records, blocked aircraft go, refused creations are recorded. Work thread
// only; gf_SimCommands (update_pass.h) drains the queue once per pass.

#include "simlink/sim_commands.h"

#include <vector>

// Created objects waiting for their configuration, copied whole from their command. The
// command's reserved field counts the passes since the binding (0..200); kActivationDone marks
// an entry that is finished.
extern std::vector<SimCommand> activationList;
inline constexpr std::uint32_t kActivationDone = 0xFFFFFFFFu;

// One command by its type; types above 6 are ignored.
void lf_processSimCommand(const SimCommand& command);
// One pass of an activation entry: the lights are toggled at passes 50 and 100 (live aircraft),
// and at the first pass after 200 that finds the aircraft it is configured and the entry done.
void gf_allLightsToggle(SimCommand& entry);
// The restart reset.
void gf_clearActivationList();
