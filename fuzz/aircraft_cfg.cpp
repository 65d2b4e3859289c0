// One aircraft.cfg (or sim.cfg) of an AI aircraft read as a livery scan task.

#include "cfg_scan_task.h"
#include "liveries/aircraft_cfg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::runCfgScanTask("ai/SimObjects/Airplanes/B738", lf_searchLiveriesinFile, data, size);
    return 0;
}
