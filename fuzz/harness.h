#pragma once
// What the fuzz targets share: a working folder of the process's own holding the program's
// folders, every setting at its default and the controls kept in memory, so that each reader
// runs as at start-up but never touches the user's files.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace fuzzing {

// The first call makes the working folder and moves into it; later calls do nothing. It is
// removed when the process ends normally.
void prepareWorkingFolder();

// Once per process: the data base of the tests' fixtures, so that model and airline codes are
// known to the readers that check them.
void loadSampleDbase();

// Makes the folder (below the working folder) of an aircraft with its model and texture
// folders, and returns its absolute path.
std::filesystem::path makeAircraftFolder(const std::filesystem::path& folder);

std::string_view textOf(const std::uint8_t* data, std::size_t size);

// Writes the input as the whole file (the folders above it must exist).
void writeInput(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

} // namespace fuzzing
