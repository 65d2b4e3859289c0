#include "airports/airport_services.h"

std::optional<AirportRecord> gf_findAirport(std::string_view /*code*/)
{
    return std::nullopt;
}

bool gf_readAirports()
{
    return false;
}

void lf_readMyParkAirports() {}

void gf_scanAddonAirports() {}

bool gf_setDestinationParkAirport(std::string_view /*code*/, LatLon /*position*/)
{
    return false;
}

void gf_addMyParkAirport() {}

void gf_checkForParkAirportUpdates(bool /*loopStart*/) {}

bool gf_checkReservedStand(bool /*reread*/, std::string& /*message*/)
{
    return false;
}

void gf_parkingAdjustments() {}

void gf_removeStaticParked() {}

std::string gf_standName(std::uint32_t standId)
{
    return standId == 0 ? "sid==0?" : "unknown";
}
