#pragma once
// The main loop of the work thread: one pass every 10 ms until an exit is requested. While the
// simulator's flight runs a pass is the live-traffic update; the arrival of the user aircraft's
// data once a second is the tick, which runs the per-second work and the periodic jobs on
// multiples of the tick counter (15 and its nesting 30, 60, 1,200, 86,400; 16, 59 and 61 on the
// ticks that are no multiple of 15).

void mainLoop();
// One pass; false ends the loop.
bool lf_workOrva();
void lf_workSimNotRunning();
void lf_everySecond();
void lf_every5Seconds();
void lf_every15Seconds();
void lf_every30Seconds();
void lf_handleReReadRequest();
// The requests that the main window leaves to the work thread.
void lf_handleWindowRequests();
// A new destination airport to the front of the park-airport list; work thread only.
void lf_applyDestinationRequest();
