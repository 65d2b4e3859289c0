#pragma once
// The program update: on the first start of the process the newest released version is asked
// of the download server; a newer one is downloaded and unpacked next to the program, and the
// start-up stops with a notice to run it.

#include "core/version.h"
#include "core/zip_archive.h"

#include <filesystem>
#include <string>

// Throws the new-version notice (qmx::UserErrorException 99) when an installer was unpacked.
void gf_checkForProgramUpdate();
bool lf_downloadNewVersion(const ProgramVersion& version);
// Writes one entry of the installer archive to the installer file; `result` tells whether the
// last entry was written whole.
void lf_unzipEntryToFile(bool& result, const std::filesystem::path& archive, const ZipEntry& entry);
