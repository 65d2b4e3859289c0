#include "cfg_scan_task.h"

#include "harness.h"
#include "liveries/scan_problems.h"

namespace fs = std::filesystem;

namespace fuzzing {

void runCfgScanTask(const fs::path& folder, const CfgScanTask& task, const std::uint8_t* data, std::size_t size)
{
    prepareWorkingFolder();
    loadSampleDbase();
    const fs::path file = makeAircraftFolder(folder) / "aircraft.cfg";
    writeInput(file, data, size);
    try {
        task(1, file);
    } catch (const std::exception&) {
    }
    lf_clearScanCollections();
}

} // namespace fuzzing
