#pragma once
// The start-up sequence: the body of the work thread that the main window starts at program
// start and after every restart.

#include <thread>

// Receives each new work thread, which is detached at once: the GUI thread never waits for it.
extern std::thread startUpThread;

// The work thread's body. Every exception ends here in the exception report.
void lf_startUpOrva();
