// One aircraft.cfg (or sim.cfg) of an AI aircraft read as a livery scan task, with the sample
// data base loaded so that the sections reach the rules on model and airline codes. A task's
// exception reaches the scan, which logs it and goes on with the next file.

#include "harness.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/scan_problems.h"

#include <filesystem>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::loadSampleDbase();
    static const fs::path folder = fuzzing::makeAircraftFolder("ai/SimObjects/Airplanes/B738");
    fuzzing::writeInput(folder / "aircraft.cfg", data, size);
    try {
        lf_searchLiveriesinFile(1, folder / "aircraft.cfg");
    } catch (const std::exception&) {
    }
    lf_clearScanCollections();
    return 0;
}
