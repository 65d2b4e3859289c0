// The traffic line parser: one datagram of the traffic port, with the engine taking traffic and
// both the traffic range and the park airport at Los Angeles, where the recorded lines fly.

#include "params/park_airport.h"
#include "traffic/traffic_queue.h"
#include "harness.h"
#include "traffic/traffic_reader.h"

#include <mutex>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    {
        std::lock_guard lock(trafficQueueMutex);
        acceptTraffic = true;
        trafficQueue.clear();
    }
    const AirportRecord klax{"KLAX", "LAX", 33.942536, -118.408075, 128.0};
    gf_setParkAirport(klax);
    trafficReader.setReferencePosition({klax.latitude, klax.longitude});
    trafficReader.handleDatagram(fuzzing::textOf(data, size));
    return 0;
}
