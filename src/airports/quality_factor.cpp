#include "airports/quality_factor.h"

#include "airports/stand.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <fmt/format.h>

namespace {

struct KindTotals {
    double real = 0.0;
    double soft = 0.0;
};

// A stand's weight by its size; ordinary stands all weigh the same.
double lf_standWeight(double radiusNm)
{
    if (radiusNm <= 7.0)
        return static_cast<double>(0.3f);
    return radiusNm <= 10.0 ? 1.5 : 1.0;
}

// One stand's term for the options of one kind, 0 when it has none.
double lf_kindTerm(const Stand& stand, std::uint32_t real)
{
    std::size_t count = 0;
    std::size_t bits = 0;
    std::bitset<8> days;
    for (const ParkPosOption& option : stand.opts) {
        if (option.number == 0 || option.real != real)
            continue;
        ++count;
        bits += option.hours.count();
        if (option.day >= 1 && option.day <= 7)
            days.set(option.day);
    }
    if (count == 0)
        return 0.0;
    return 10000.0 + static_cast<double>(std::min<std::size_t>(20 * count, 4000)) +
           100.0 * static_cast<double>(days.count()) + 2.0 * static_cast<double>(std::min<std::size_t>(bits, 600));
}

std::int32_t lf_scaled(double accumulated, double weights)
{
    const double q = std::round(accumulated / weights * 0.00625);
    return static_cast<std::int32_t>(std::clamp(q, 0.0, 100.0));
}

} // namespace

std::uint64_t gf_qualityFactor()
{
    const bool anyOption =
        std::any_of(standTable.begin(), standTable.end(), [](const Stand& s) { return !s.opts.empty(); });
    if (!anyOption)
        return ~std::uint64_t{0};
    double weights = 0.0;
    KindTotals totals;
    for (const Stand& stand : standTable) {
        const double w = lf_standWeight(stand.radius);
        weights += w;
        totals.real += w * lf_kindTerm(stand, 1);
        totals.soft += w * lf_kindTerm(stand, 0);
    }
    return gf_qualityPair(lf_scaled(totals.real, weights), lf_scaled(totals.soft, weights));
}

std::string lf_slotPairText(std::int32_t qfReal, std::int32_t qfSoft)
{
    if (qfReal < 0 && qfSoft < 0)
        return "  ";
    if (qfReal >= 45)
        return fmt::format("{:2}", qfReal);
    return fmt::format("{:2}/{:2}", qfReal, qfSoft);
}
