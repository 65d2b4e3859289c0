#include "engine/taxiing_grid.h"

#include "core/geodesy.h"

#include <algorithm>
#include <cmath>

TaxiingGrid taxiingGrid;

namespace {

constexpr double kCellDegrees = 0.001; // about 110 m of latitude, more than two wingspans
constexpr std::int64_t kLonCells = 360'000; // 360 / kCellDegrees: the cells go round the earth
constexpr std::size_t kBuckets = 4096;
constexpr double kEarthRadiusNm = geo::kTwoEarthRadiusNm / 2.0;
// The box is widened by this much for the rounding of the distance.
constexpr double kRoundingMargin = 1.0 + 1e-9;
// Near the poles, or for a reach of a degree, the box is no help: every aircraft is looked at.
constexpr double kLeastCosine = 0.05;
constexpr double kLargestReachDegrees = 1.0;

std::int64_t lf_cell(double degrees)
{
    return static_cast<std::int64_t>(std::floor(degrees / kCellDegrees));
}

std::int64_t lf_lonCellWrapped(std::int64_t cell)
{
    return ((cell % kLonCells) + kLonCells) % kLonCells;
}

bool lf_finitePose(const LiveAc& ac)
{
    return std::isfinite(ac.pose.latitude) && std::isfinite(ac.pose.longitude);
}

} // namespace

bool lf_mayBlockHolding(const LiveAc& ac)
{
    return ac.state == AcState::InSim && ac.groundMode != 0 && ac.phase == AcPhase::Taxi && ac.holding == 0 &&
           !ac.stream.empty() && ac.stream.front().stop == 0;
}

void TaxiingGrid::beginUpdate()
{
    active_ = true;
    gathered_ = false;
}

void TaxiingGrid::endUpdate()
{
    active_ = false;
    gathered_ = false;
}

void TaxiingGrid::updated(std::size_t index)
{
    if (!gathered_)
        return;
    unlink(index);
    place(index);
}

void TaxiingGrid::gather()
{
    const std::size_t n = liveAcTable.size();
    heads_.assign(kBuckets, -1);
    next_.assign(n, -1);
    prev_.assign(n, -1);
    bucket_.assign(n, -1);
    widestHalfSpan_ = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        place(i);
    gathered_ = true;
}

// An aircraft that is within no distance (a position or wingspan not a number) is left out; an
// endless wingspan makes every aircraft look at every other.
void TaxiingGrid::place(std::size_t index)
{
    const LiveAc& ac = liveAcTable[index];
    if (!lf_mayBlockHolding(ac) || !lf_finitePose(ac) || std::isnan(ac.desc.halfWingspan))
        return;
    widestHalfSpan_ = std::max(widestHalfSpan_, ac.desc.halfWingspan);
    const std::size_t bucket = bucketOf(lf_cell(ac.pose.latitude + 90.0), lf_cell(ac.pose.longitude + 180.0));
    const auto self = static_cast<std::int32_t>(index);
    const std::int32_t first = heads_[bucket];
    next_[index] = first;
    prev_[index] = -1;
    if (first >= 0)
        prev_[static_cast<std::size_t>(first)] = self;
    heads_[bucket] = self;
    bucket_[index] = static_cast<std::int32_t>(bucket);
}

void TaxiingGrid::unlink(std::size_t index)
{
    if (bucket_[index] < 0)
        return;
    const std::int32_t before = prev_[index];
    const std::int32_t after = next_[index];
    if (before >= 0)
        next_[static_cast<std::size_t>(before)] = after;
    else
        heads_[static_cast<std::size_t>(bucket_[index])] = after;
    if (after >= 0)
        prev_[static_cast<std::size_t>(after)] = before;
    bucket_[index] = -1;
}

// The cells that hold every position within the reach of `ac` by the great-circle distance: the
// latitude differs by at most the reach's angle, and the half longitude difference's sine by at
// most the half reach's sine over the root of the two latitudes' cosines.
bool TaxiingGrid::boxAround(const LiveAc& ac, double factor, Box& box) const
{
    if (!lf_finitePose(ac))
        return false;
    const double reachNm = factor * (ac.desc.halfWingspan + widestHalfSpan_);
    if (!std::isfinite(reachNm) || reachNm < 0.0)
        return false;
    const double reach = reachNm / kEarthRadiusNm; // radians
    const double latReach = reach * geo::kRadToDeg * kRoundingMargin;
    const double lat = ac.pose.latitude;
    const double farthestLat = std::min(std::abs(lat) + latReach, 90.0);
    const double cosines = std::cos(lat * geo::kDegToRad) * std::cos(farthestLat * geo::kDegToRad);
    if (!(cosines >= kLeastCosine * kLeastCosine))
        return false;
    const double sine = std::sin(reach / 2.0) / std::sqrt(cosines);
    if (!(sine < 1.0))
        return false;
    const double lonReach = 2.0 * std::asin(sine) * geo::kRadToDeg * kRoundingMargin;
    if (latReach > kLargestReachDegrees || lonReach > kLargestReachDegrees)
        return false;
    box.latFirst = lf_cell(lat - latReach + 90.0);
    box.latLast = lf_cell(lat + latReach + 90.0);
    box.lonFirst = lf_cell(ac.pose.longitude - lonReach + 180.0);
    box.lonLast = lf_cell(ac.pose.longitude + lonReach + 180.0);
    return true;
}

std::size_t TaxiingGrid::bucketOf(std::int64_t latCell, std::int64_t lonCell) const
{
    const auto lat = static_cast<std::uint64_t>(latCell);
    const auto lon = static_cast<std::uint64_t>(lf_lonCellWrapped(lonCell));
    return static_cast<std::size_t>((lat * 73'856'093u) ^ (lon * 19'349'663u)) & (kBuckets - 1);
}
