#pragma once
// The "s" after a count in the log and report lines of the livery data: none for exactly one.

#include <cstdint>

inline const char* gf_plural(std::uint64_t count)
{
    return count == 1 ? "" : "s";
}
