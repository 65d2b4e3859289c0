#pragma once
// A fatal start-up error told to the user before any window exists: a message box on Windows,
// whose program has no console to write to; standard error on Linux.

#include <string_view>

namespace platform {

// Blocks until the user has read it (Windows). `text` is UTF-8.
void showFatalError(std::string_view title, std::string_view text);

} // namespace platform
