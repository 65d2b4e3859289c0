// The traffic line parser: one datagram of the traffic port, with the engine taking traffic and
// the traffic range around Los Angeles, where the recorded lines fly.

#include "engine/traffic_queue.h"
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
    trafficReader.setReferencePosition({33.942536, -118.408075});
    trafficReader.handleDatagram(fuzzing::textOf(data, size));
    return 0;
}
