#include "traffic/own_position.h"

#include "core/geodesy.h"
#include "simlink/sim_state.h"

#include <charconv>
#include <fmt/format.h>

namespace {

// The shortest text that reads back as the same double ("{}" of std::format): 250000 stays
// "250000", while 100000 becomes "1e+05".
std::string lf_shortest(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

} // namespace

// The own position is the work thread's copy of the user aircraft (userAc), which the update
// pass refreshes once a second; there is no second copy to keep in step.
void gf_storeOwnPosition(const OwnPosition& position)
{
    userAc.pitch = position.pitch;
    userAc.bank = position.bank;
    userAc.heading = position.heading;
    userAc.altitude = position.altitude;
    userAc.groundVelocity = position.groundSpeed;
    userAc.latitude = position.latitude;
    userAc.longitude = position.longitude;
}

OwnPosition gf_ownPosition()
{
    return {userAc.pitch, userAc.bank, userAc.heading, userAc.altitude, userAc.groundVelocity, userAc.latitude,
            userAc.longitude};
}

void gf_storeSimUnixTime(long long seconds)
{
    simUnixTime.store(seconds);
}

long long gf_simUnixTime()
{
    return simUnixTime.load();
}

std::string gf_ownPositionLine(const OwnPosition& p)
{
    return fmt::format("Qs121={:.0};{:.0};{:.6f};{:.0};{};{:.6f};{:.6f}\r\n", p.pitch * 100000.0,
                       p.bank * 100000.0, p.heading, p.altitude * 1000.0, lf_shortest(p.groundSpeed * 1000.0),
                       p.latitude * geo::kDegToRad, p.longitude * geo::kDegToRad);
}
