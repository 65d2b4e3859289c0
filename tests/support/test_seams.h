#pragma once
// Hooks into the program that only tests use. Each is defined beside the internals it reaches
// (named below); the program itself never calls them, so no production header declares them.

#include "run/exit.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// User actions on the built window, as the toolkit delivers them (GUI thread;
// app/application.cpp).
void gf_clickControl(std::uint16_t controlId);
void gf_typeIntoControl(std::uint16_t controlId, const std::string& text); // replaces the box's text
void gf_pressEnterInControl(std::uint16_t controlId);
void gf_pressEscape();
void gf_clickCloseBox();

// The pauses of the exit thread, shortened (run/exit.cpp).
void gf_setExitTimings(const ExitTimings& timings);
// Told the name of every step of the exit thread before it runs (run/exit.cpp).
void gf_setExitStepObserver(ExitStepObserver observer);

// The option setting of the next accepted client fails as if the system refused it
// (traffic/rt_link.cpp).
void gf_failNextClientOptionForTest();
// How long a send to the RealTraffic client waits for the client to take it (traffic/rt_link.cpp).
void gf_setRtSendPatienceForTest(std::chrono::milliseconds patience);

// The pause after a failed download of a server file before it is tried again; an empty value
// gives the program's own back (airports/airport_file_locator.cpp).
void gf_setDownloadRetryPause(std::optional<std::chrono::steady_clock::duration> pause);

namespace net {
// Called with the descriptor by every close just after its socket is closed, before the close
// returns; null: none (platform/net_socket_windows.cpp, Windows only).
void setSocketClosedHookForTest(void (*hook)(int fd));
} // namespace net

namespace platform {
// The per-user data folder that appDataFolder() gives from now on (created with its parents, empty
// when that fails) in place of the system's; an empty path gives the system's back
// (platform/paths_*.cpp).
void setAppDataFolderForTest(const std::filesystem::path& folder);
// The folder that programDataFolder() gives from now on in place of the system's; an empty path
// gives the system's back (platform/paths_*.cpp).
void setProgramDataFolderForTest(const std::filesystem::path& folder);
} // namespace platform
