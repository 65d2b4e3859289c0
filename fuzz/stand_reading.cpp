#include "stand_reading.h"

#include "airports/apf_state.h"
#include "params/park_airport.h"
#include "airports/stand.h"
#include "airports/stand_file_loader.h"
#include "core/exceptions.h"
#include "params/names.h"
#include "support/params_fixture.h"

namespace fuzzing {

std::string parkAirportStandFile()
{
    return (g_myOrbxFolder / "KLAX.xml").string();
}

void readParkAirportStands()
{
    gf_setParkAirport({"KLAX", "LAX", 33.942536, -118.408075, 128.0});
    standTable.clear();
    ApfInfo info;
    try {
        gf_readApf(parkAirportStandFile(), info, parkQualityFactors);
    } catch (const qmx::UserErrorException&) {
        // No altitude or a stand twice: the user is told and the airport is not loaded.
    }
    standTable.clear();
    paramstest::resetAllParameters();
}

} // namespace fuzzing
