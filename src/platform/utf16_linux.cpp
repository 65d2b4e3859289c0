#include "platform/utf16.h"

namespace platform {
namespace {

// Decodes one code point at in[pos]; returns false on any malformed, overlong or surrogate sequence.
bool lf_decodeUtf8(std::string_view in, std::size_t& pos, char32_t& cp)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(in[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        ++pos;
        return true;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
        min = 0x10000;
    } else {
        return false;
    }
    if (pos + length > in.size())
        return false;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    pos += length;
    return true;
}

bool lf_decodeUtf16(std::u16string_view in, std::size_t& pos, char32_t& cp)
{
    const char16_t unit = in[pos];
    if (unit < 0xD800 || unit > 0xDFFF) {
        cp = unit;
        ++pos;
        return true;
    }
    if (unit > 0xDBFF || pos + 1 >= in.size())
        return false;
    const char16_t low = in[pos + 1];
    if (low < 0xDC00 || low > 0xDFFF)
        return false;
    cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
    pos += 2;
    return true;
}

} // namespace

std::size_t utf8ToUtf16(std::string_view in, char16_t* out, std::size_t outCapacity, std::uint32_t& error)
{
    std::size_t needed = 0;
    for (std::size_t pos = 0; pos < in.size();) {
        char32_t cp = 0;
        if (!lf_decodeUtf8(in, pos, cp)) {
            error = kErrorNoUnicodeTranslation;
            return 0;
        }
        const std::size_t units = cp >= 0x10000 ? 2 : 1;
        if (out != nullptr) {
            if (needed + units > outCapacity) {
                error = kErrorInsufficientBuffer;
                return 0;
            }
            if (units == 2) {
                out[needed] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                out[needed + 1] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out[needed] = static_cast<char16_t>(cp);
            }
        }
        needed += units;
    }
    return needed;
}

std::size_t utf16ToUtf8(std::u16string_view in, char* out, std::size_t outCapacity, std::uint32_t& error)
{
    std::size_t needed = 0;
    for (std::size_t pos = 0; pos < in.size();) {
        char32_t cp = 0;
        if (!lf_decodeUtf16(in, pos, cp)) {
            error = kErrorNoUnicodeTranslation;
            return 0;
        }
        char bytes[4];
        std::size_t length = 0;
        if (cp < 0x80) {
            bytes[length++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            bytes[length++] = static_cast<char>(0xC0 | (cp >> 6));
            bytes[length++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes[length++] = static_cast<char>(0xE0 | (cp >> 12));
            bytes[length++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            bytes[length++] = static_cast<char>(0xF0 | (cp >> 18));
            bytes[length++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        if (out != nullptr) {
            if (needed + length > outCapacity) {
                error = kErrorInsufficientBuffer;
                return 0;
            }
            for (std::size_t i = 0; i < length; ++i)
                out[needed + i] = bytes[i];
        }
        needed += length;
    }
    return needed;
}

} // namespace platform
