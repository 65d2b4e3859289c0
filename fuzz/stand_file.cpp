// An airport stand file of the user's, read when its airport becomes the park airport.

#include "harness.h"
#include "stand_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    fuzzing::writeInput(fuzzing::parkAirportStandFile(), data, size);
    fuzzing::readParkAirportStands();
    return 0;
}
