#pragma once
// The livery step of the start-up: when SCAN_LIVERIES is ticked, every AI livery installed in the
// simulator is found (one scan task per aircraft.cfg or sim.cfg, at most g_scanTasksLimit at
// once), filtered, sorted and saved as LiveriesScanned.xml, and the option is switched off; then,
// or alone, the saved scan is read back into the livery tables.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Throws qmx::UserErrorException 48 (manual mode without folders), 53 (manual mode, nothing
// found) or 43 (automatic mode, nothing found), and what the processing of the saved scan throws.
void gf_scanLiveries();

struct ScanProgress {
    std::int32_t priority = 0;   // of the folder being walked, 1..10
    std::uint64_t total = 0;     // liveries found so far
    std::uint64_t sizeBefore = 0; // size of ScannedLiveries before the current folder
};

// Scans the folders in order; false when no livery was found.
bool lf_scanLiveries(const std::vector<std::string>& folders);
void lf_scanLfolder(ScanProgress& progress, const std::string& folder);
void lf_scanSimObjectsFolder(std::int32_t priority, const std::filesystem::path& folder);
// Keeps, of each airline and model, only the liveries of the best-ranked folder.
void lf_keepPrioritizedLiveries();
