// parameters.xml in the per-user data folder, loaded as at start-up (which writes it back with
// what it lacked); every setting goes back to its default afterwards.

#include "harness.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "support/params_fixture.h"

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    std::filesystem::create_directories(g_appDataFolder);
    fuzzing::writeInput(g_parametersFile, data, size);
    gf_loadParameters();
    paramstest::resetAllParameters();
    return 0;
}
