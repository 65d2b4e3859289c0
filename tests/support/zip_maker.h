#pragma once
// Zip archives for tests, made with libzip's writer.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A name ending in '/' is a folder entry.
void makeZip(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries);

// Flips a byte in the stored data of the entry at `index` (in archive order), so that reading
// it fails its checksum while the archive still opens.
void damageZipEntry(const std::filesystem::path& path, std::size_t index);

} // namespace testsupport
