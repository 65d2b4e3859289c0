#pragma once
// The state of the run that the life cycle (src/run) owns and writes, and that the subsystems
// below it read: whether an exit runs and why, the time of the week the work thread works in,
// the parking settings' bookkeeping and the stock scenery folder. Declared here, at the bottom,
// so that every reader sees it without reaching up to its owner.

#include <atomic>
#include <cstdint>
#include <filesystem>

enum class ExitReason : std::int32_t {
    NotYetSet = 0,
    SimWasClosed = 1,
    Restart = 2,
    RestartIpp = 3,
    UserClosedSim = 4,
    SystemError = 5,
};

constexpr bool gf_isRestart(ExitReason reason)
{
    return reason == ExitReason::Restart || reason == ExitReason::RestartIpp;
}

// Written by the exit machine (run/exit.cpp).
extern std::atomic<bool> exitingFlag;      // an exit or restart is running
extern std::atomic<ExitReason> exitReason; // the reason of the running exit
extern std::atomic<bool> quitFlag;         // the user closed the program
extern std::atomic<bool> restartFlag;      // the last exit was a restart

// Time of the week of now, stored by the work thread at every tick: slot in the upper, weekday
// in the lower 32 bits. The restart reset sets it back after the work thread ended.
extern std::atomic<std::uint64_t> currentDaySlot;

// AUTO_RANGE is on and the chosen range is exactly 10 nautical miles (the on-ground value).
extern std::atomic<bool> autoRangeGroundFlag;

// One of the settings that a park airport's file carries was changed by the user.
extern std::atomic<bool> airportParametersChanged;
// The user's own MAX_LIVE while no static parking runs.
extern std::atomic<std::int32_t> userMaxLive;
// Set while a static-parking calculation holds the parking controls.
extern std::atomic<bool> parkingBusyFlag;
// The LATERAL_RANGE that the user set, kept while the automatic range runs.
extern std::atomic<std::int32_t> manualLateralRange;

// The simulator's stock scenery folder: the install path followed by "Scenery"; set by the
// start-up before the add-on airport scan, which reads it.
extern std::filesystem::path g_stockSceneryPath;
