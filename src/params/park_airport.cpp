#include "params/park_airport.h"

#include <mutex>

namespace {

std::mutex parkAirportMutex;
AirportRecord parkAirport;

} // namespace

std::atomic<bool> staticParkingActive{false};
std::vector<ParkAirport> parkAirportList;

std::string gf_airportText(const AirportRecord& airport)
{
    std::string text = airport.code.empty() ? "?" : airport.code;
    if (!airport.iataCode.empty())
        text += " (" + airport.iataCode + ")";
    return text;
}

AirportRecord gf_parkAirport()
{
    std::lock_guard lock(parkAirportMutex);
    return parkAirport;
}

void gf_setParkAirport(const AirportRecord& airport)
{
    std::lock_guard lock(parkAirportMutex);
    parkAirport = airport;
}

std::optional<ParkAirportSite> gf_parkAirportSite()
{
    std::lock_guard lock(parkAirportMutex);
    if (parkAirport.code.empty())
        return std::nullopt;
    return ParkAirportSite{{parkAirport.latitude, parkAirport.longitude}, parkAirport.elevation};
}
