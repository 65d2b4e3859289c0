// One BGL scenery file as the airport scan reads it: the quick test of its section table, then
// every airport record decoded (the scan task catches and logs what the decoding throws).

#include "airports/bgl_file.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    const std::filesystem::path path = "scenery.bgl";
    fuzzing::writeInput(path, data, size);
    if (lf_hasAirportSection(path))
        lf_toParkingPositions(path, [](BglAirport&&) {});
    return 0;
}
