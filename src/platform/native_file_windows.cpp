#include "platform/native_file.h"

#include <string>
#include <windows.h>

namespace platform {

std::FILE* openCFile(const std::filesystem::path& path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode)); // ASCII
    return ::_wfopen(path.c_str(), wideMode.c_str());
}

bool flushFileToDisk(const std::filesystem::path& path)
{
    // FlushFileBuffers needs a handle with write access.
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = ::FlushFileBuffers(file) != FALSE;
    return ::CloseHandle(file) != FALSE && flushed;
}

} // namespace platform
