#pragma once
// Files opened by path through the system's own calls: fopen and open on Linux; _wfopen and
// CreateFileW with the path's UTF-16 text on Windows, so that any name opens.

#include <cstdio>
#include <filesystem>

namespace platform {

// A C stdio file, for C libraries that write through a FILE* (curl's downloads); std::fopen's
// modes ("wb", "r" ...). Null on failure.
std::FILE* openCFile(const std::filesystem::path& path, const char* mode);

// Writes the file's data through to the disk (fsync, FlushFileBuffers); false on failure.
bool flushFileToDisk(const std::filesystem::path& path);

} // namespace platform
