// A list of input/my_regcodes: livery titles with the registrations they are painted for,
// merged into the registration map.

#include "harness.h"
#include "liveries/regcode_lists.h"
#include "params/names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::writeInput(g_myRegcodesFolder / "my_list.txt", data, size);
    std::vector<RegcodeEntry> entries;
    gf_readRegcodeFolder(g_myRegcodesFolder, entries);
    lf_mergeRegcodeEntries(entries);
    RegcodeMap.clear();
    SpecialTitles.clear();
    offlineRegcodeReport.clear();
    return 0;
}
