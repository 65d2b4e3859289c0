#pragma once
// How much an airport's stand table knows about real traffic: a rating 0..100 for the real and
// for the soft options, -1 when nothing at all was learned.

#include <cstdint>
#include <string>

// Qf_real in the low, Qf_soft in the high 32 bits, each a signed number; all bits set when no
// stand of standTable has an option.
std::uint64_t gf_qualityFactor();

inline std::int32_t gf_realQuality(std::uint64_t pair) { return static_cast<std::int32_t>(pair & 0xffffffffu); }
inline std::int32_t gf_softQuality(std::uint64_t pair) { return static_cast<std::int32_t>(pair >> 32); }
inline std::uint64_t gf_qualityPair(std::int32_t real, std::int32_t soft)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(soft)) << 32) | static_cast<std::uint32_t>(real);
}

// "  " when both are negative; Qf_real alone ("{:2}") from 45 on; else "{:2}/{:2}".
std::string lf_slotPairText(std::int32_t qfReal, std::int32_t qfSoft);
