#pragma once
// The exit machine: every end of a run goes through one exit request; the first one wins.

#include <atomic>
#include <cstdint>
#include <string_view>

enum class ExitReason : std::int32_t {
    NotYetSet = 0,
    SimWasClosed = 1,
    Restart = 2,
    RestartIpp = 3,
    UserClosedSim = 4,
    SystemError = 5,
};

// "NOT_YET_SET", "SIM WAS CLOSED", "RESTART", "RESTART_IPP", "USER CLOSED SIM", "SYSTEM ERROR"
std::string_view gf_exitReasonName(ExitReason reason);

extern std::atomic<bool> exitingFlag;      // an exit or restart is running
extern std::atomic<ExitReason> exitReason; // the reason of the running exit
extern std::atomic<bool> quitFlag;         // the user closed the program
extern std::atomic<bool> restartFlag;      // the last exit was a restart

// Ignored while an exit runs; otherwise stores the reason and starts the exit.
void gf_requestExit(ExitReason reason, std::uint32_t countdownSeconds);
