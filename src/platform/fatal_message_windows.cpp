#include "platform/fatal_message.h"

#include <string>
#include <windows.h>

namespace platform {
namespace {

std::wstring lf_wide(std::string_view text)
{
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

} // namespace

void showFatalError(std::string_view title, std::string_view text)
{
    ::MessageBoxW(nullptr, lf_wide(text).c_str(), lf_wide(title).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

} // namespace platform
