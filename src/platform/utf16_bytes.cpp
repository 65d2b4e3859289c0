#include "platform/utf16.h"

namespace platform {

std::u16string utf16FromBytes(std::string_view bytes)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    bool littleEndian = false;
    std::size_t pos = 0;
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        littleEndian = true;
        pos = 2;
    } else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        pos = 2;
    }
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (; pos + 1 < bytes.size(); pos += 2) {
        const unsigned first = byte(pos);
        const unsigned second = byte(pos + 1);
        units += static_cast<char16_t>(littleEndian ? (second << 8) | first : (first << 8) | second);
    }
    return units;
}

} // namespace platform
