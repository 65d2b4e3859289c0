// input/airports_p3d.xml, the airport data base. What the load cannot read is a user error,
// which start-up shows.

#include "airports/airport_database.h"
#include "core/exceptions.h"
#include "harness.h"
#include "params/names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::writeInput(g_airportsDbFile, data, size);
    gf_clearAirportTable();
    try {
        if (gf_readAirports())
            gf_nearestAirport({33.942536, -118.408075});
    } catch (const qmx::UserErrorException&) {
    }
    gf_clearAirportTable();
    return 0;
}
