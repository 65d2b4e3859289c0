// The RealTraffic client's reply to the version query on the TCP link. A reply that is no JSON
// object of the expected members raises the JSON library's error, which the run reports.

#include "harness.h"
#include "traffic/rt_link.h"

#include <nlohmann/json.hpp>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    try {
        lf_readRealTrafficVersion(std::string(fuzzing::textOf(data, size)));
    } catch (const nlohmann::json::exception&) {
    }
    return 0;
}
