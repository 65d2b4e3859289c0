#include "airports/traffic_range.h"

#include "params/control_port.h"
#include "params/parameters.h"

#include <cmath>


namespace {

constexpr std::int32_t kGroundRangeNm = 10;
constexpr std::int32_t kHighRangeNm = 100;
constexpr std::int32_t kAirportRangeNm = 40;
constexpr double kNoParkAirportNm = 10000.0;

void lf_mirrorRange(std::int32_t nm)
{
    g_trafficRangeNm.store(static_cast<double>(nm));
    g_trafficRangeM.store(nm * 1852);
}

} // namespace

std::int32_t gf_autoRangeNm(const UserRangeSituation& user, const ParkAirport* nearestParkAirport)
{
    if (user.onGround)
        return kGroundRangeNm;
    if (user.altitudeFt > AUTO_RANGE_ABOVE_HEIGHT.value.load())
        return kHighRangeNm;
    if (user.altitudeFt > AIRPORT_HEIGHT.value.load())
        return kAirportRangeNm;
    const double d = nearestParkAirport != nullptr ? gf_distanceNm(user.position, nearestParkAirport->position)
                                                   : kNoParkAirportNm;
    if (d <= 7.0)
        return kGroundRangeNm;
    if (d < 37.0)
        return static_cast<std::int32_t>(std::lround(d)) + 3;
    return kAirportRangeNm;
}

void gf_chooseTrafficRange(const UserRangeSituation& user)
{
    const ParkAirport* nearest = parkAirportList.empty() ? nullptr : &parkAirportList.front();
    const std::int32_t range = gf_autoRangeNm(user, nearest);
    const std::int32_t before = LATERAL_RANGE.value.load();
    LATERAL_RANGE.setValue(range);
    lf_mirrorRange(range);
    if (LATERAL_RANGE.value.load() != before)
        gf_updateTextBoxFormatted(LATERAL_RANGE);
    autoRangeGroundFlag.store(AUTO_RANGE.value.load() && g_trafficRangeNm.load() == 10.0);
}

void gf_setTrafficRangeNm(std::int32_t nm)
{
    lf_mirrorRange(nm);
    LATERAL_RANGE.setValue(nm);
}
