#include "platform/utf16.h"

#include <algorithm>
#include <climits>
#include <windows.h>

namespace platform {
namespace {

// Calls a converter of Windows, which counts in int, with the two-call shape of the header:
// convert(capacity) converts into the output, or only measures when the capacity is 0.
template <typename Convert>
std::size_t lf_convert(std::size_t inSize, bool hasOutput, std::size_t outCapacity, std::uint32_t& error,
                       Convert convert)
{
    // An empty text needs no output; Windows would call it an invalid parameter.
    if (inSize == 0)
        return 0;
    if (inSize > static_cast<std::size_t>(INT_MAX)) {
        error = ERROR_INVALID_PARAMETER;
        return 0;
    }
    // A capacity of 0 would only measure: an output without room is too small, as in the stand-in.
    if (hasOutput && outCapacity == 0) {
        error = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    const int capacity = hasOutput ? static_cast<int>(std::min<std::size_t>(outCapacity, INT_MAX)) : 0;
    const int length = convert(static_cast<int>(inSize), capacity);
    if (length == 0)
        error = ::GetLastError();
    return static_cast<std::size_t>(length);
}

} // namespace

std::size_t utf8ToUtf16(std::string_view in, char16_t* out, std::size_t outCapacity, std::uint32_t& error)
{
    return lf_convert(in.size(), out != nullptr, outCapacity, error, [&](int size, int capacity) {
        return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), size, reinterpret_cast<wchar_t*>(out),
                                     capacity);
    });
}

std::size_t utf16ToUtf8(std::u16string_view in, char* out, std::size_t outCapacity, std::uint32_t& error)
{
    return lf_convert(in.size(), out != nullptr, outCapacity, error, [&](int size, int capacity) {
        return ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, reinterpret_cast<const wchar_t*>(in.data()), size,
                                     out, capacity, nullptr, nullptr);
    });
}

} // namespace platform
