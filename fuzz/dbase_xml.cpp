// input/temp2.xml, the unpacked model and airline data base. What the read rejects is a user or
// system error, which start-up shows before it stops.

#include "core/exceptions.h"
#include "harness.h"
#include "liveries/dbase.h"
#include "params/names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::writeInput(g_dbaseFile, data, size);
    gf_clearDbaseTables();
    try {
        gf_readDbaseFile(g_dbaseFile);
    } catch (const qmx::UserErrorException&) {
    } catch (const qmx::SysErrorException&) {
    }
    gf_clearDbaseTables();
    return 0;
}
