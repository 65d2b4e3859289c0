#pragma once
// Strict UTF-8 <-> UTF-16 codec on char16_t, in the two-call shape of the Windows converters:
// called with no output buffer it returns the length the output needs; a result of 0 is a
// failure whose reason is in `error` (1113: invalid sequence in the input).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

std::size_t utf8ToUtf16(std::string_view in, char16_t* out, std::size_t outCapacity, std::uint32_t& error);
std::size_t utf16ToUtf8(std::u16string_view in, char* out, std::size_t outCapacity, std::uint32_t& error);

// The code units of the bytes of a UTF-16 file: a byte-order mark (FF FE or FE FF) picks the
// order and is dropped, big-endian without one; a trailing odd byte is no code unit. Whether
// the units are valid UTF-16 is for the conversion to tell.
std::u16string utf16FromBytes(std::string_view bytes);

inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorNoUnicodeTranslation = 1113;

} // namespace platform
