#pragma once
// A compiled scenery (BGL) file as its decoders read it: the whole file in memory, padded with
// zero bytes to whole little-endian 32-bit words. Every read is checked against the end of the
// file and throws std::out_of_range beyond it, so a short or damaged file ends its scan task
// instead of reading past the buffer.

#include <cstddef>
#include <cstdint>
#include <vector>

struct BglWords {
    std::vector<std::uint8_t> bytes; // size is a multiple of 4

    std::size_t wordCount() const { return bytes.size() / 4; }
    std::uint32_t word(std::size_t index) const;

    // Little-endian fields at any byte offset.
    std::uint8_t u8At(std::size_t offset) const;
    std::uint16_t u16At(std::size_t offset) const;
    std::uint32_t u32At(std::size_t offset) const;
    std::int32_t i32At(std::size_t offset) const;
    float floatAt(std::size_t offset) const;
};
