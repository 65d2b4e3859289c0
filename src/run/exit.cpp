#include "run/exit.h"

#include <array>

std::atomic<bool> exitingFlag{false};
std::atomic<ExitReason> exitReason{ExitReason::NotYetSet};
std::atomic<bool> quitFlag{false};
std::atomic<bool> restartFlag{false};

std::string_view gf_exitReasonName(ExitReason reason)
{
    static constexpr std::array<std::string_view, 6> names{
        "NOT_YET_SET", "SIM WAS CLOSED", "RESTART", "RESTART_IPP", "USER CLOSED SIM", "SYSTEM ERROR"};
    const auto index = static_cast<std::size_t>(reason);
    return index < names.size() ? names[index] : "?";
}

void gf_requestExit(ExitReason reason, std::uint32_t /*countdownSeconds*/)
{
    if (exitingFlag.exchange(true))
        return;
    exitReason.store(reason);
}
