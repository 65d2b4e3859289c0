#include "platform/code_page.h"

#include <climits>
#include <windows.h>

namespace platform {

std::string codePageToUtf8(std::string_view text)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX))
        return std::string(text);
    const int size = static_cast<int>(text.size());
    // No code page makes more than one wide character of a byte.
    std::wstring wide(text.size(), L'\0');
    const int units = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
    if (units <= 0)
        return std::string(text);
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length <= 0 || ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, out.data(), length, nullptr, nullptr) != length)
        return std::string(text);
    return out;
}

} // namespace platform
