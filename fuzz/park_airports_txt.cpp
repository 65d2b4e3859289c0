// airports/my_park_airports.txt, the user's park airports, checked against the airport data base
// of the program's own data folder.

#include "airports/airport_database.h"
#include "airports/park_airport_list.h"
#include "harness.h"
#include "params/names.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

void lf_loadAirportDatabase()
{
    static const bool loaded = [] {
        fs::copy_file(fs::path(ORVANTA_SOURCE_DIR) / "data/airports/airports_p3d.xml", g_airportsDbFile,
                      fs::copy_options::overwrite_existing);
        return gf_readAirports();
    }();
    (void)loaded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    lf_loadAirportDatabase();
    fuzzing::writeInput(g_myParkAirportsFile, data, size);
    lf_readMyParkAirports();
    return 0;
}
