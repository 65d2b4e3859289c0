#include "airports/airport_database.h"

#include "airports/airport_file_queries.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "params/names.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fmt/format.h>
#include <pugixml.hpp>
#include <stdexcept>

std::vector<AirportRecord> airportTable;

namespace {

constexpr std::size_t kAirportCapacity = 44000;
constexpr double kAirportRadiusNm = 5.0;

// Set once a load succeeded; other threads read the table only after they saw it set.
std::atomic<bool> airportsLoaded{false};

// The longest numeric prefix after leading blanks, as the standard conversions take it.
template <typename Number>
Number lf_convert(const char* text, const char* name, Number (*convert)(const char*, char**))
{
    errno = 0;
    char* end = nullptr;
    const Number value = convert(text, &end);
    if (end == text || std::isnan(value) || (std::isinf(value) && errno != ERANGE))
        throw std::invalid_argument(fmt::format("invalid {} argument", name));
    if (errno == ERANGE)
        throw std::out_of_range(fmt::format("{} argument out of range", name));
    return value;
}

AirportRecord lf_readAirportAttributes(const pugi::xml_node& airport, std::string code)
{
    AirportRecord record;
    record.code = std::move(code);
    record.elevation = lf_convert<float>(airport.attribute("alt").value(), "stof", std::strtof);
    record.latitude = lf_convert<double>(airport.attribute("lat").value(), "stod", std::strtod);
    record.longitude = lf_convert<double>(airport.attribute("lon").value(), "stod", std::strtod);
    record.iataCode = airport.attribute("iata").value();
    return record;
}

void lf_loadAirports()
{
    airportTable.clear();
    if (airportTable.capacity() < kAirportCapacity)
        airportTable.reserve(kAirportCapacity);
    const std::string path = g_airportsDbFile.string();
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_file(g_airportsDbFile.c_str());
    if (!result)
        throw std::runtime_error(path + " not loaded " + result.description());
    const pugi::xml_node airports = document.child("airports");
    if (!airports)
        throw std::runtime_error(path + " not found");
    for (const pugi::xml_node airport : airports.children("airport"))
        airportTable.push_back(lf_readAirportAttributes(airport, airport.attribute("code").value()));
    std::sort(airportTable.begin(), airportTable.end(),
              [](const AirportRecord& a, const AirportRecord& b) { return a.code < b.code; });
    gf_log(fmt::format("{} airports read from \"{}\"", airportTable.size(), path));
}

LatLon lf_positionOf(const AirportRecord& airport)
{
    return {airport.latitude, airport.longitude};
}

} // namespace

bool gf_readAirports()
{
    if (airportsLoaded.load())
        return !airportTable.empty();
    try {
        lf_loadAirports();
    } catch (const pugi::xpath_exception& e) {
        throw qmx::UserErrorException(87, e.what());
    } catch (const std::exception& e) {
        throw qmx::UserErrorException(88, e.what());
    }
    airportTable.shrink_to_fit();
    airportsLoaded.store(true);
    return !airportTable.empty();
}

void gf_clearAirportTable()
{
    airportsLoaded.store(false);
    airportTable.clear();
}

std::optional<AirportRecord> gf_findAirport(std::string_view code)
{
    if (!airportsLoaded.load())
        return std::nullopt;
    const auto found = std::find_if(airportTable.begin(), airportTable.end(),
                                    [code](const AirportRecord& airport) { return airport.code == code; });
    if (found == airportTable.end())
        return std::nullopt;
    return *found;
}

NearAirports gf_airportsNear(LatLon position)
{
    NearAirports near;
    if (!airportsLoaded.load())
        return near;
    double closestDistance = kNoStandDistanceNm;
    for (const AirportRecord& airport : airportTable) {
        const double d = gf_distanceNm(position, lf_positionOf(airport));
        if (d <= kAirportRadiusNm && d < closestDistance) {
            closestDistance = d;
            if (near.closest)
                near.neighbour = near.closest;
            near.closest = airport;
        }
    }
    if (!near.neighbour)
        return near;
    // The park-airport check asks every 16 seconds; the same pair is logged once.
    static std::string lastPair;
    if (std::string pair = near.closest->code + "," + near.neighbour->code; pair != lastPair) {
        gf_log(fmt::format("Airport {} is closest, neighbour is {}", near.closest->code, near.neighbour->code));
        lastPair = std::move(pair);
    }
    return near;
}

std::optional<AirportRecord> gf_nearestByStands(const NearAirports& near, LatLon position)
{
    if (!near.closest || !near.neighbour)
        return near.closest;
    std::string closestStand;
    const double dc = gf_readDestApfForClosestStand(near.closest->code, position, closestStand);
    std::string neighbourStand;
    const double dn = gf_readDestApfForClosestStand(near.neighbour->code, position, neighbourStand);
    if (dn >= dc)
        return near.closest;
    gf_log(fmt::format("Airport {} is closest, but stand {} at neighbouring airport {} is closest at {:.0F} meters ...",
                       near.closest->code, neighbourStand, near.neighbour->code, dn * 1852.0));
    return near.neighbour;
}

std::optional<AirportRecord> gf_nearestAirport(LatLon position)
{
    return gf_nearestByStands(gf_airportsNear(position), position);
}

bool lf_parsePrefixedNumber(std::string_view context, std::string_view prefix, std::uint32_t& out,
                            std::string_view entry)
{
    if (!entry.starts_with(prefix))
        return false;
    const std::string digits(entry.size() < 4 ? std::string_view() : entry.substr(4));
    try {
        errno = 0;
        char* end = nullptr;
        const long value = std::strtol(digits.c_str(), &end, 10);
        if (end == digits.c_str())
            throw std::invalid_argument("invalid stoi argument");
        if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
            throw std::out_of_range("stoi argument out of range");
        out = static_cast<std::uint32_t>(value);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{} {} {} {}", context, prefix, entry, e.what()));
    }
    return true;
}
