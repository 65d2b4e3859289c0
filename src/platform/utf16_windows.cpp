#include "platform/utf16.h"

#include <climits>
#include <windows.h>

namespace platform {
namespace {

// The converters count in int; longer texts cannot be converted in one call.
bool lf_fits(std::size_t size, std::uint32_t& error)
{
    if (size <= static_cast<std::size_t>(INT_MAX))
        return true;
    error = ERROR_INVALID_PARAMETER;
    return false;
}

} // namespace

std::size_t utf8ToUtf16(std::string_view in, char16_t* out, std::size_t outCapacity, std::uint32_t& error)
{
    // An empty text needs no output; Windows would call it an invalid parameter.
    if (in.empty())
        return 0;
    if (!lf_fits(in.size(), error))
        return 0;
    const int capacity = out == nullptr ? 0 : static_cast<int>(std::min<std::size_t>(outCapacity, INT_MAX));
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                                             reinterpret_cast<wchar_t*>(out), capacity);
    if (length == 0)
        error = ::GetLastError();
    return static_cast<std::size_t>(length);
}

std::size_t utf16ToUtf8(std::u16string_view in, char* out, std::size_t outCapacity, std::uint32_t& error)
{
    if (in.empty())
        return 0;
    if (!lf_fits(in.size(), error))
        return 0;
    const int capacity = out == nullptr ? 0 : static_cast<int>(std::min<std::size_t>(outCapacity, INT_MAX));
    const int length = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, reinterpret_cast<const wchar_t*>(in.data()),
                                             static_cast<int>(in.size()), out, capacity, nullptr, nullptr);
    if (length == 0)
        error = ::GetLastError();
    return static_cast<std::size_t>(length);
}

} // namespace platform
