#include "airports/stand.h"

#include <algorithm>
#include <cmath>

std::vector<Stand> standTable;
std::uint64_t standTableLoads = 0;

std::size_t AircraftKeyHash::operator()(std::uint32_t key) const noexcept
{
    std::uint64_t hash = 14695981039346656037ull;
    for (int byte = 0; byte < 4; ++byte) {
        hash ^= (key >> (8 * byte)) & 0xffu;
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

Stand::Stand(std::string standName, std::vector<ParkPosOption> options, StandPlacement placement,
             double radiusMetres, int notCargo, int notRamp, int notHeli)
    : opts(std::move(options)),
      name(std::move(standName)),
      lat(placement.latitude),
      lon(placement.longitude),
      heading(placement.heading),
      radius(radiusMetres * kNmPerMetre),
      cargo(notCargo == 0),
      ramp(notRamp == 0),
      heli(notHeli == 0)
{
    neighbours.reserve(8);
}

void lf_computeStandNeighbours(std::vector<Stand>& table)
{
    double widest = 0.0;
    for (const Stand& stand : table)
        widest = std::max(widest, stand.radius);
    for (Stand& stand : table) {
        // A stand farther north or south than the widest overlap reaches is passed over without
        // its distance: a large airport's table would otherwise cost a great circle per pair.
        const double reachDeg = gf_latitudeReachDeg((stand.radius + widest) / 1.1);
        for (const Stand& other : table) {
            if (other.id == stand.id || std::abs(other.lat - stand.lat) > reachDeg)
                continue;
            const double d = gf_distanceNm({stand.lat, stand.lon}, {other.lat, other.lon});
            if (stand.radius + other.radius > 1.1 * d)
                stand.neighbours.push_back(other.id);
        }
    }
    for (Stand& stand : table)
        stand.neighbours.shrink_to_fit();
}

void lf_computeStandNeighbours()
{
    lf_computeStandNeighbours(standTable);
}

bool lf_isPlausiblePosition(LatLon position)
{
    const bool nearZero = position.latitude >= 0.0 && position.latitude <= 0.0009 && position.longitude >= 0.0 &&
                          position.longitude <= 0.05;
    return !nearZero;
}

Stand* gf_findStandByName(std::string_view name)
{
    for (Stand& stand : standTable) {
        if (stand.name == name)
            return &stand;
    }
    return nullptr;
}

Stand* gf_findStandById(std::uint32_t id)
{
    if (id == 0)
        return nullptr;
    // A loaded table is numbered 1..n in its order: the stand is where its id puts it, and looked
    // for only in a table numbered otherwise.
    if (id <= standTable.size() && standTable[id - 1].id == id)
        return &standTable[id - 1];
    for (Stand& stand : standTable) {
        if (stand.id == id)
            return &stand;
    }
    return nullptr;
}
