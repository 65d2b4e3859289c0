#pragma once
// The SimConnect thread: connects to the simulator under the program's name, registers what the
// program needs, and dispatches each of the simulator's messages as soon as it arrives until it
// is asked to stop, the simulator goes away, or a user error ends it. Whichever way it ends, the connection
// is closed; only the simulator going away (QUIT or a broken connection) requests the exit
// SIM WAS CLOSED, and only while no exit runs.

#include <chrono>
#include <thread>

// The thread body.
void gf_simClientThread();

// The run starts the thread; a thread of an earlier run still held is stopped and joined first.
void gf_startSimClientThread();
// The exit asks the thread to stop (it does not wait for it).
void gf_requestSimClientStop();
// Waits for the thread to end; true when no thread runs (any more).
bool gf_joinSimClientThread();
bool gf_simClientThreadRunning();

// The restart reset's SimConnect side: joins the stopped thread, closes a connection left open,
// and sets the connection's state, queues and user-aircraft data back to those of a fresh start.
void gf_resetSimLinkState();

// Work the SimConnect thread leaves to the work thread, which owns the stand table and the
// park-airport list: the stand under the user aircraft after a new user block (the user-stand
// text), and recording the user's stand at the park airport (after a new flight and at the end
// of the thread). Call once per pass on the work thread, and once at the exit after the work
// thread and the SimConnect thread have ended.
void gf_applyUserAcUpdates();
// Remembers the stand on which the user aircraft stands at the park airport in the first entry
// of the park-airport list and in the user's park-airport file. Work thread only.
void gf_recordUserParkAirport();

// CPU time the SimConnect thread has used so far; zero when none runs. For measurements.
std::chrono::nanoseconds gf_simClientThreadCpuTime();
