#pragma once
// The single-instance guard: a named lock that only one process holds at a time. It stands in
// for a named kernel mutex: an exclusive flock on a lock file in the runtime folder
// (platform::runtimeFolder), named from the mutex name. The lock lasts until the process ends.

#include <filesystem>
#include <string_view>

// The lock file that stands for the mutex name.
std::filesystem::path gf_singleInstanceLockFile(std::string_view mutexName);

// False when another holder has the lock. True when this call took it (kept for the life of the
// process), and also when no lock can be made at all (the program then runs unguarded).
bool gf_acquireSingleInstance(std::string_view mutexName);
