#pragma once
// Which airport is the park airport: on the ground the airport under the user aircraft when a
// stand file exists for it; in the air the nearest park airport of the user's list once it is
// within range and the user aircraft low enough. Leaving its range, or a nearer park airport
// coming into sight, gives it up. Choosing one raises a load request; the next check loads its
// stand file and starts the static-parking calculation. The stand file is looked for and read on
// a thread of its own, so that no check waits for the disk or the server: on the ground the
// airport is chosen at the check after the one that started looking, and a load waits for a read
// still running. Work thread only, but for the atomics.

#include "core/geodesy.h"

#include <atomic>
#include <string>
#include <string_view>

// The engine may learn soft parking options at the park airport: its stand file knows little
// about real traffic yet.
extern std::atomic<bool> softLearningAllowed;

// The periodic check (from the main loop); `showMessage`: the calculation is announced.
void gf_checkForParkAirportUpdates(bool showMessage);
// The restart reset: no load request, no soft learning, no last user position.
void gf_resetParkAirportChoice();
// The exit, once the work thread has ended: waits for the stand-file read under way, if any (its
// download fails at once once downloads are stopped), and drops it.
void gf_endParkFileRead();

void lf_findParkAirport(LatLon user, bool showMessage);
void lf_checkParkAirportInSight(LatLon user);
// False when the airport data base lacks the code; else it becomes the park airport.
bool lf_setParkAirport(std::string_view code);
// Saves what was learned when needed and clears every trace of the park airport.
void lf_closeParkAirport();
// Saves what was learned at the park airport since the last save, if anything.
void lf_saveLearnedData();
// Holds the parking controls and starts collecting the callsigns of the traffic around.
void lf_requestStaticParking(bool showMessage);
// Loads the park airport's stand file; empty on success, else why not.
std::string lf_readParkedFile();
// A load request is pending (tests).
bool gf_parkAirportLoadRequested();
// Waits until the stand file being read, if any, is read: a later check takes it (tests).
void gf_waitForParkFileRead();
