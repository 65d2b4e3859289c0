// One aircraft.cfg of an IVAO model-matching set, the type taken from its folder name, read as
// a livery scan task.

#include "cfg_scan_task.h"
#include "liveries/ivao_liveries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::runCfgScanTask("ai/IVAO_MTL/IVAO_B738", lf_searchIvaoLiveriesinFile, data, size);
    return 0;
}
