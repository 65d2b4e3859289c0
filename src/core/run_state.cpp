#include "core/run_state.h"

std::atomic<bool> exitingFlag{false};
std::atomic<ExitReason> exitReason{ExitReason::NotYetSet};
std::atomic<bool> quitFlag{false};
std::atomic<bool> restartFlag{false};

std::atomic<std::uint64_t> currentDaySlot{0};

std::atomic<bool> autoRangeGroundFlag{false};

std::atomic<bool> airportParametersChanged{false};
std::atomic<std::int32_t> userMaxLive{-1};
std::atomic<bool> parkingBusyFlag{false};
std::atomic<std::int32_t> manualLateralRange{40};

std::filesystem::path g_stockSceneryPath;
