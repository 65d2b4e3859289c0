#include "airports/static_parking_calc.h"

#include "airports/park_airport_list.h"
#include "airports/parking_services.h"
#include "airports/shell_services.h"
#include "airports/stand.h"
#include "core/log.h"
#include "params/random.h"
#include "simlink/sim_state.h"
#include "simlink/user_stand_services.h"
#include "traffic/traffic_reader.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

std::vector<StaticCandidate> staticCandidates;
std::set<std::string> parkingCallsigns;
std::uint32_t realFitReached = 0;
std::int32_t softFitReached = -1;

namespace {

std::int64_t maxPark = 0;

std::int64_t lf_takenStands()
{
    return std::count_if(standTable.begin(), standTable.end(), [](const Stand& s) { return s.taken; });
}

std::string lf_maxFitHours()
{
    return gf_formatNumber(static_cast<float>(MAX_FIT.value.load() * 0.5 + 0.5));
}

std::string lf_hoursText(std::uint32_t halfHours)
{
    return gf_formatNumber(static_cast<float>(halfHours * 0.5 + 0.5));
}

void lf_logPositionsFound(DaySlot t, std::uint32_t kind, std::int64_t found, std::uint32_t fit)
{
    const std::string scope = WEEK.value.load() ? std::string(", week") : fmt::format(", day {}", gf_weekdayOf(t));
    const std::string when = fmt::format(", hh:{} or {} hrs", gf_slotOf(t), lf_hoursText(gf_slotOf(t))) +
                             fmt::format(" fit: {} hour", lf_hoursText(fit));
    gf_log(fmt::format("{} {} position{} found, Max fit={} hours{}{}", found, kind == kRealOption ? "real" : "soft",
                       found >= 2 ? "s" : "", lf_maxFitHours(), scope, when));
}

void lf_sortBySortKey(bool ascending)
{
    std::stable_sort(staticCandidates.begin(), staticCandidates.end(),
                     [ascending](const StaticCandidate& a, const StaticCandidate& b) {
                         return ascending ? a.sortKey < b.sortKey : a.sortKey > b.sortKey;
                     });
}

void lf_resetAverageFits()
{
    const bool changed = g_mainWindow.staticAverageFit.exchange(-1.0f) != -1.0f;
    if (g_mainWindow.liveAverageFit.exchange(-1.0f) != -1.0f || changed)
        gf_invalidateParkingBand();
    g_mainWindow.staticRenewalFlag = false;
    gf_invalidateParkingBand();
}

} // namespace

std::int64_t lf_calcMaxPark()
{
    const std::int32_t custom = CUSTOM_PARKING_PERCENTAGE.value.load();
    const std::int64_t p = custom >= 0 ? custom : parking_percentage.value.load();
    const auto n = static_cast<std::int64_t>(standTable.size());
    std::int64_t max = 1;
    if (n > 1 && (n > 3 || p >= 50))
        max = std::llround(static_cast<double>(p * n) / 100.0);
    std::int64_t shown = p;
    if (CUSTOM_MAX_PARK.value.load() != CUSTOM_MAX_PARK.defaultValue) {
        max = std::min<std::int64_t>(CUSTOM_MAX_PARK.value.load(), max);
        shown = n < 1 ? 0 : std::llround(static_cast<double>(max * 100) / static_cast<double>(n));
    }
    maxPark = max;
    g_mainWindow.maxParkCount = static_cast<std::int32_t>(max);
    g_mainWindow.maxParkPercent = static_cast<std::int32_t>(shown);
    gf_invalidateParkingBand();
    return max;
}

std::int64_t gf_maxPark()
{
    return maxPark;
}

DaySlot lf_logDayAndHour()
{
    const DaySlot t = currentDaySlot.load();
    gf_log(fmt::format("\n{} (utc) It is day {} ({}), {} hours", gf_clockText(), gf_weekdayOf(t),
                       gf_weekdayName(gf_weekdayOf(t)), lf_hoursText(gf_slotOf(t))));
    return t;
}

void lf_markReservedStands()
{
    if (!reservedStand.empty()) {
        if (Stand* stand = gf_findStandByName(reservedStand))
            stand->reserved = true;
    }
    const std::string userStand = gf_getStandAtPosition({userAc.latitude, userAc.longitude});
    if (userStand.empty() || userStand == reservedStand)
        return;
    if (Stand* stand = gf_findStandByName(userStand))
        stand->reserved = true;
}

void lf_takeCollectedCallsigns()
{
    parkingCallsigns = trafficReader.takeCollectedCallsigns();
}

void lf_clearStandMarks()
{
    for (Stand& stand : standTable) {
        stand.taken = false;
        stand.reserved = false;
        stand.neighbourBlocked = false;
    }
}

bool lf_reportParkPositions(DaySlot t, std::uint32_t kind, std::int64_t wanted, std::vector<StaticCandidate>& list)
{
    const std::int64_t takenBefore = lf_takenStands();
    const auto maxFit = static_cast<std::uint32_t>(std::max(0, MAX_FIT.value.load()));
    bool reached = false;
    std::uint32_t fit = 0;
    for (;; ++fit) {
        lf_searchStands(t, kind, fit, list);
        if (lf_takenStands() >= wanted) {
            reached = true;
            break;
        }
        std::move(list.begin(), list.end(), std::back_inserter(staticCandidates));
        list.clear();
        if (fit >= maxFit)
            break;
    }
    if (kind == kRealOption) {
        realFitReached = fit;
        softFitReached = -1;
    } else {
        softFitReached = static_cast<std::int32_t>(fit);
    }
    const std::int64_t found = lf_takenStands() - takenBefore;
    if (found > 0)
        lf_logPositionsFound(t, kind, found, fit);
    g_mainWindow.staticRenewalFlag = kind == kSoftOption && found > 0;
    gf_invalidateParkingBand();
    return reached;
}

void lf_addStaticCandidates(DaySlot t, std::int64_t wanted, std::int64_t base, std::uint32_t kind)
{
    std::vector<StaticCandidate> list;
    if (!lf_reportParkPositions(t, kind, wanted, list))
        return;
    const std::int64_t excess = static_cast<std::int64_t>(staticCandidates.size() + list.size()) + base - wanted;
    if (excess > 0) {
        if (RANDOM.value.load())
            std::shuffle(list.begin(), list.end(), gf_randomEngine());
        list.resize(list.size() - static_cast<std::size_t>(std::min<std::int64_t>(excess, list.size())));
    }
    std::move(list.begin(), list.end(), std::back_inserter(staticCandidates));
}

void lf_addRealThenSoftCandidates(DaySlot t, std::int64_t wanted, std::int64_t base)
{
    realFitReached = 0;
    softFitReached = -1;
    lf_addStaticCandidates(t, wanted, base, kRealOption);
    const bool softAllowed = PARK_SOFT.value.load() || PARK_FAKE.value.load();
    if (wanted > base + static_cast<std::int64_t>(staticCandidates.size()) && softAllowed)
        lf_addStaticCandidates(t, wanted, base, kSoftOption);
}

void lf_calcStaticParking()
{
    const DaySlot t = lf_logDayAndHour();
    gf_reportMessage("Making changes to airport parking parameters is disabled while static parking takes place ...",
                   false);
    staticCandidates.clear();
    gf_clearParkingAdjustmentLists();
    parkedStayers.clear();
    lf_resetAverageFits();
    lf_takeCollectedCallsigns();
    lf_clearStandMarks();
    lf_markReservedStands();
    const std::int64_t max = lf_calcMaxPark();
    if (max - static_cast<std::int64_t>(staticCandidates.size()) > 0)
        lf_addRealThenSoftCandidates(t, max, static_cast<std::int64_t>(staticCandidates.size()));
    lf_sortBySortKey(true);
    while (static_cast<std::int64_t>(staticCandidates.size()) > max)
        staticCandidates.pop_back();
    if (staticCandidates.empty()) {
        gf_log("no parking positions found");
        gf_enableParkingControls();
        return;
    }
    const std::size_t stands = standTable.size();
    const double share = stands == 0 ? 0.0 : static_cast<double>(staticCandidates.size() * 100) / stands;
    const std::int64_t percent = std::llround(share);
    gf_log(fmt::format("{} positions ({}% vs wanted {}%, with Max fit={} hours)\n", staticCandidates.size(), percent,
                       parking_percentage.value.load(), lf_maxFitHours()));
    lf_sortBySortKey(false);
    gf_disableParkingControls();
}
