#pragma once
// Processes of this machine, by id: getpid and kill(pid, 0) on Linux; GetCurrentProcessId and
// OpenProcess with GetExitCodeProcess on Windows.

namespace platform {

long currentProcessId();
// True only when no process of that id runs (any doubt, such as a process of another user that
// may not be queried, counts as running).
bool processHasEnded(long pid);

} // namespace platform
