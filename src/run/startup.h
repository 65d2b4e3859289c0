#pragma once
// The start-up sequence: the body of the work thread that the main window starts at program
// start and after every restart.

#include "core/run_state.h"

#include <filesystem>
#include <thread>

// Receives each new work thread, which is detached at once: the GUI thread never waits for it.
extern std::thread startUpThread;

// Reads the model and airline data base unless a start-up of this process read it already;
// raises what the download and the reader raise.
void lf_readDbaseOnce();

// The work thread's body. Every exception ends here in the exception report.
void lf_startUpOrva();

// g_stockSceneryPath: core/run_state.h.
