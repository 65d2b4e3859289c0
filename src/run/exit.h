#pragma once
// The exit machine: every end of a run goes through one exit thread. Any thread asks for it
// with gf_requestExit; the first request wins until the exit has run. A restart (RESTART,
// RESTART_IPP) resets the run state, counts down and starts the next work thread; the other
// reasons end the program through the window's final exit.

#include "core/run_state.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

// "NOT_YET_SET", "SIM WAS CLOSED", "RESTART", "RESTART_IPP", "USER CLOSED SIM", "SYSTEM ERROR"
std::string_view gf_exitReasonName(ExitReason reason);
// ExitReason, exitingFlag, exitReason, quitFlag and restartFlag: core/run_state.h.

// Ignored while an exit runs. During a restart countdown a final exit still gets through: it
// cancels the restart and the same exit thread ends the program instead.
void gf_requestExit(ExitReason reason, std::uint32_t countdownSeconds);

// The visible countdown of a restart: "Restarting after {} second{}" once a second; ends early
// on a new exit request.
void lf_restartCountdown(std::uint32_t seconds);

// The pauses of the exit thread; tests shorten them.
struct ExitTimings {
    std::chrono::milliseconds afterReaders{500};
    std::chrono::milliseconds afterRemovals{1000};
    std::chrono::milliseconds onSystemError{5000};
    std::chrono::milliseconds countdownStep{1000};
    // How long the exit waits for the work thread before it goes on without it.
    std::chrono::milliseconds workThreadEnd{30000};
};
// Tests set them through gf_setExitTimings (tests/support/test_seams.h).

// Told the name of every step of the exit thread before it runs ("readers", "aircraft", "link",
// "simconnect", "flight plans", "final", "reset", "countdown"); tests install one through
// gf_setExitStepObserver (tests/support/test_seams.h).
using ExitStepObserver = std::function<void(std::string_view step)>;

// True when no exit thread runs (any more) before the deadline; for tests and the program end.
bool gf_waitForExitIdle(std::chrono::milliseconds timeout);
