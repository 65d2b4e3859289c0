#pragma once
// Text in the system's 8-bit code page, as the simulator sends its strings, made UTF-8.

#include <string>
#include <string_view>

namespace platform {

// The bytes read in the system's ANSI code page (Windows-1252 where there is no such page, as on
// Linux), as UTF-8. Plain ASCII comes back unchanged.
std::string codePageToUtf8(std::string_view text);

} // namespace platform
