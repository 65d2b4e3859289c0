#include "airports/airport_services.h"

void gf_checkForParkAirportUpdates(bool /*loopStart*/) {}

void gf_parkingAdjustments() {}

void gf_removeStaticParked() {}

std::string gf_standName(std::uint32_t standId)
{
    return standId == 0 ? "sid==0?" : "unknown";
}
