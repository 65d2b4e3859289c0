// output/LiveriesScanned.xml, the saved result of the livery scan. A file without liveries is a
// user error, which start-up shows.

#include "core/exceptions.h"
#include "harness.h"
#include "liveries/livery_data.h"
#include "liveries/scanned_liveries_file.h"
#include "params/names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::writeInput(g_liveriesScannedFile, data, size);
    try {
        lf_readLiveriesScanned();
    } catch (const qmx::UserErrorException&) {
    }
    ScannedLiveries.clear();
    return 0;
}
