#pragma once
// What the traffic link asks of the engine when the RealTraffic client is lost. The engine
// answers it (engine/live_removal.cpp); declared here so that the link needs nothing above it.

// Removes every live aircraft: those in the simulator are handed to the removal queue, queued
// creations are cancelled (an aircraft whose creation is no longer queued is marked to be removed
// once created). Called when the RealTraffic client is lost and by the exit.
void gf_removeAllLiveAc();
// Hands every queued removal to the simulator connection at once: the work thread is about to
// wait (for the RealTraffic client) and hands none over one by one meanwhile.
void gf_handOverQueuedRemovals();
