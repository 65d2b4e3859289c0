#pragma once
// How other subsystems take the live aircraft out of the simulator.

// Removes every live aircraft: those in the simulator are handed to the removal queue, queued
// creations are cancelled (an aircraft whose creation is no longer queued is marked to be removed
// once created). Work thread only. Called when the RealTraffic client is lost and by the exit.
// The live-aircraft table is not part of this build yet: until it is, there is nothing to remove.
void gf_removeAllLiveAc();
