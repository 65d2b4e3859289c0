// One aircraft.cfg of an IVAO model-matching set, the type taken from its folder name, read as a
// livery scan task like any other (see aircraft_cfg.cpp).

#include "harness.h"
#include "liveries/ivao_liveries.h"
#include "liveries/scan_problems.h"

#include <filesystem>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::loadSampleDbase();
    static const fs::path folder = fuzzing::makeAircraftFolder("ai/IVAO_MTL/IVAO_B738");
    fuzzing::writeInput(folder / "aircraft.cfg", data, size);
    try {
        lf_searchIvaoLiveriesinFile(1, folder / "aircraft.cfg");
    } catch (const std::exception&) {
    }
    lf_clearScanCollections();
    return 0;
}
