// The QNH datagram of the weather port.

#include "harness.h"
#include "traffic/traffic_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    weatherReader.handleDatagram(fuzzing::textOf(data, size));
    return 0;
}
