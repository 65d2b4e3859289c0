#include "airports/bgl_words.h"

#include <bit>
#include <stdexcept>
#include <string>

namespace {

void lf_checkRange(const BglWords& data, std::size_t offset, std::size_t width)
{
    if (offset > data.bytes.size() || width > data.bytes.size() - offset)
        throw std::out_of_range("BGL read of " + std::to_string(width) + " bytes at " + std::to_string(offset) +
                                " beyond " + std::to_string(data.bytes.size()) + " bytes");
}

} // namespace

std::uint32_t BglWords::word(std::size_t index) const
{
    if (index >= wordCount())
        throw std::out_of_range("BGL word " + std::to_string(index) + " beyond " + std::to_string(wordCount()) +
                                " words");
    return u32At(index * 4);
}

std::uint8_t BglWords::u8At(std::size_t offset) const
{
    lf_checkRange(*this, offset, 1);
    return bytes[offset];
}

std::uint16_t BglWords::u16At(std::size_t offset) const
{
    lf_checkRange(*this, offset, 2);
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t BglWords::u32At(std::size_t offset) const
{
    lf_checkRange(*this, offset, 4);
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) | (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

std::int32_t BglWords::i32At(std::size_t offset) const
{
    return static_cast<std::int32_t>(u32At(offset));
}

float BglWords::floatAt(std::size_t offset) const
{
    return std::bit_cast<float>(u32At(offset));
}
