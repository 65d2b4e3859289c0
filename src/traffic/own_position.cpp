#include "traffic/own_position.h"

#include "core/geodesy.h"

#include <atomic>
#include <charconv>
#include <fmt/format.h>
#include <mutex>

namespace {

std::mutex ownPositionMutex; // guards ownPosition
OwnPosition ownPosition;
std::atomic<long long> simUnixTime{0};

// The shortest text that reads back as the same double ("{}" of std::format): 250000 stays
// "250000", while 100000 becomes "1e+05".
std::string lf_shortest(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

} // namespace

void gf_storeOwnPosition(const OwnPosition& position)
{
    std::lock_guard lock(ownPositionMutex);
    ownPosition = position;
}

OwnPosition gf_ownPosition()
{
    std::lock_guard lock(ownPositionMutex);
    return ownPosition;
}

void gf_storeSimUnixTime(long long seconds)
{
    simUnixTime.store(seconds);
}

long long gf_simUnixTime()
{
    return simUnixTime.load();
}

bool gf_isUnknownPosition(double latitude, double longitude)
{
    return latitude >= 0.0 && latitude <= 0.0009 && longitude >= 0.0 && longitude <= 0.05;
}

std::string gf_ownPositionLine(const OwnPosition& p)
{
    return fmt::format("Qs121={:.0};{:.0};{:.6f};{:.0};{};{:.6f};{:.6f}\r\n", p.pitch * 100000.0,
                       p.bank * 100000.0, p.heading, p.altitude * 1000.0, lf_shortest(p.groundSpeed * 1000.0),
                       p.latitude * geo::kDegToRad, p.longitude * geo::kDegToRad);
}
