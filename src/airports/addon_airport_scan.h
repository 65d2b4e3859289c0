#pragma once
// The add-on airport scan: at start-up, when SCAN_AIRPORTS is ticked, every BGL file of the
// add-on scenery folders is decoded on a task of its own, its airports become link files and
// generated airport files in airports/my_ORBX and airports/my_thirdparty, the scan's messages are
// written to output/info/AirportsScanLog.txt, and the generated files that can be learned offline
// are copied to the TBLO folder for the user to send in. The scan unticks its option at the end.

#include "airports/bgl_file.h"
#include "airports/scenery_config.h"
#include "core/shell_port.h"
#include "params/window_fields.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>

// Airport files that the last scan copied into TBLO; 0 at the start of each scan. The main
// window shows it as "{} airport{} in {} folder".
inline std::atomic<std::uint64_t>& g_tbloAirportCount = g_mainWindow.addonScanAirportCount;
// After a scan: every generated ORBX airport file was either not suitable for offline learning
// or copied to TBLO. Picks the colour of the main window's ORBX count.
inline std::atomic<bool>& g_allOrbxAirportsDone = g_mainWindow.simaddonComplete;

// The start-up's entry (declared in airports/airport_services.h). A scan done unticks
// SCAN_AIRPORTS; one that the exit cut short leaves it ticked, in parameters.xml too, so that the
// next start scans again. Throws
// qmx::UserErrorException 49 in manual mode without folders, 42 for an afolder in the stock
// scenery, 5 when the previous files cannot be removed, and the file system's errors.
void gf_scanAddonAirports();

// Scans every folder, writes the scan log, prepares TBLO; returns g_addonAirportsFound.
bool lf_writeAirportScanResults(const SceneryFolders& folders);

// Walks one folder recursively and decodes each candidate BGL file on a task of its own, at most
// g_scanTasksLimit at once, on the walk's scan workers; returns when every task it launched has
// ended. Its failures become scan messages; it does not throw.
void lf_scanSceneryFolder(const std::filesystem::path& folder);

// A BGL file that the scan decodes: a regular file with a BGL extension outside the statics and
// heliport packages that lists an airport section; opened, for its scan task to read.
std::optional<OpenBglFile> lf_openAirportCandidate(const std::filesystem::directory_entry& entry,
                                               const std::filesystem::file_status& status);
