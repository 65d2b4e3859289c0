#include "engine/parked_removal.h"

#include "airports/airport_services.h"
#include "core/clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "engine/ac_identity.h"
#include "engine/ac_records.h"
#include "engine/live_removal.h"
#include "engine/park_options.h"
#include "params/parameters.h"
#include "params/window_fields.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <fmt/format.h>

std::vector<ParkedStayer> parkedStayers;

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000; // steady-clock ticks of 100 ns
constexpr std::int64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr double kAtStandNm = 0.0458963282937365; // 85 m
constexpr double kParkedSpeedKt = 1.0;

// A live aircraft the max park took out, and where it stood.
struct MaxParkRemoval {
    std::uint32_t key = 0;
    LatLon place;
};
std::vector<MaxParkRemoval> maxParkRemovals;

bool lf_parkedInSim(const LiveAc& ac)
{
    return ac.phase == AcPhase::Parked && ac.state == AcState::InSim;
}

std::uint32_t lf_parkedLiveCount()
{
    return static_cast<std::uint32_t>(std::count_if(liveAcTable.begin(), liveAcTable.end(), lf_parkedInSim));
}

// The max park that the parking calculation stored.
std::int32_t lf_maxPark()
{
    return g_mainWindow.maxParkCount.load();
}

// Monday follows Sunday; otherwise the greater weekday, on the same weekday the greater slot.
bool lf_isLaterOrEqual(DaySlot a, DaySlot b)
{
    const std::uint32_t wa = gf_weekdayOf(a);
    const std::uint32_t wb = gf_weekdayOf(b);
    if (wa == 1 && wb == 7)
        return true;
    if (wa == 7 && wb == 1)
        return false;
    if (wa != wb)
        return wa > wb;
    return gf_slotOf(a) >= gf_slotOf(b);
}

void lf_showAverage(std::atomic<float>& field, std::uint64_t slots, std::uint32_t count)
{
    const float average = count == 0 ? 0.0f : static_cast<float>(slots) / (2.0f * count) + 0.5f;
    if (field.exchange(average) != average)
        gf_invalidateParkingBand();
}

// A linear order of parked stamps that agrees with the later-than relation for any two stamps at
// most one weekday apart: the week is cut before a weekday in use whose day before is not in use
// (Monday when every weekday is in use, where no such order exists). A stamp that was never set
// counts as the earliest.
class StampOrder {
public:
    explicit StampOrder(const std::vector<StaticAc>& table)
    {
        std::array<bool, 8> used{};
        for (const StaticAc& st : table)
            if (const std::uint32_t day = gf_weekdayOf(st.parkedStamp); day >= 1 && day <= 7)
                used[day] = true;
        for (std::uint32_t day = 1; day <= 7; ++day) {
            if (used[day] && !used[day == 1 ? 7 : day - 1]) {
                first_ = day;
                break;
            }
        }
    }
    std::int64_t key(DaySlot stamp) const
    {
        const std::uint32_t day = gf_weekdayOf(stamp);
        if (day < 1 || day > 7)
            return -1;
        return static_cast<std::int64_t>((day + 7 - first_) % 7) * 48 + gf_slotOf(stamp);
    }

private:
    std::uint32_t first_ = 1;
};

void lf_removeLongestParkedOverMax()
{
    const std::int64_t now = gf_steadyTicks();
    std::vector<std::pair<std::uint32_t, std::int64_t>> parked; // hex id, seconds parked
    for (const LiveAc& ac : liveAcTable)
        if (lf_parkedInSim(ac))
            parked.emplace_back(ac.desc.key, (now - ac.parkedSince) / kTicksPerSecond);
    if (parked.empty())
        return;
    std::stable_sort(parked.begin(), parked.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    const std::uint32_t key = parked.front().first;
    const auto it = std::find_if(liveAcTable.begin(), liveAcTable.end(),
                                 [key](const LiveAc& ac) { return ac.state == AcState::InSim && ac.desc.key == key; });
    if (it == liveAcTable.end())
        return;
    gf_logf("{:}: {:8} max park exceeded, removed", gf_standName(it->standId), it->desc.callsign);
    std::erase_if(maxParkRemovals, [key](const MaxParkRemoval& r) { return r.key == key; });
    maxParkRemovals.push_back({key, {it->pose.latitude, it->pose.longitude}});
    gf_removeAc(*it);
}

void lf_removeEarliestStatic()
{
    const StampOrder order(staticAcTable);
    std::stable_sort(staticAcTable.begin(), staticAcTable.end(), [&order](const StaticAc& a, const StaticAc& b) {
        return order.key(a.parkedStamp) > order.key(b.parkedStamp);
    });
    if (staticAcTable.back().state == AcState::InSim)
        gf_removeAc(staticAcTable.back());
}

} // namespace

void gf_expireParkedLiveAc()
{
    const std::int64_t now = gf_steadyTicks();
    const bool keepAll = INITIAL_LOAD_ONLY.value.load();
    const std::size_t firstNew = parkedStayers.size();
    for (LiveAc& ac : liveAcTable) {
        if (!lf_parkedInSim(ac))
            continue;
        std::uint32_t minutes = 0;
        if (ac.arrivedWhileLive == 0) {
            minutes = static_cast<std::uint32_t>((now - ac.parkedSince) / kTicksPerMinute);
            const std::uint32_t limit = ac.desc.category == AcCategory::Heavy ? 180 : 90;
            if (minutes > limit && !keepAll) {
                gf_removeAc(ac);
                continue;
            }
        }
        parkedStayers.push_back({ac.desc.callsign, ac.standId, minutes});
    }
    std::stable_sort(parkedStayers.begin() + static_cast<std::ptrdiff_t>(firstNew), parkedStayers.end(),
                     [](const ParkedStayer& a, const ParkedStayer& b) { return a.parkedMinutes < b.parkedMinutes; });
}

void lf_checkMaxPark(std::uint8_t extra)
{
    try {
        const std::int64_t parked = lf_parkedLiveCount();
        const std::int64_t maxPark = lf_maxPark();
        if (!INITIAL_LOAD_ONLY.value.load() && maxPark >= 1 && parked + extra > maxPark)
            lf_removeLongestParkedOverMax();
        const auto statics = std::count_if(staticAcTable.begin(), staticAcTable.end(), [](const StaticAc& st) {
            return st.state == AcState::InSim || st.state == AcState::Removing;
        });
        if (statics != 0 && statics + parked + extra > maxPark)
            lf_removeEarliestStatic();
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "lf_checkMaxPark", e.what()));
        throw;
    }
}

bool gf_keptOutByMaxPark(const TrafficMessage& message)
{
    const auto it = std::find_if(maxParkRemovals.begin(), maxParkRemovals.end(),
                                 [&message](const MaxParkRemoval& r) { return r.key == message.hexId; });
    if (it == maxParkRemovals.end())
        return false;
    const StreamPosition& p = message.position;
    if (p.airborne == 0 && p.groundSpeed < kParkedSpeedKt && gf_distanceNm(it->place, {p.lat, p.lon}) <= kAtStandNm)
        return true;
    maxParkRemovals.erase(it);
    return false;
}

void gf_clearMaxParkRemovals()
{
    maxParkRemovals.clear();
}

void gf_removeLongestParkedLiveAc(std::uint32_t n)
{
    std::vector<LiveAc*> parked;
    for (LiveAc& ac : liveAcTable)
        if (lf_parkedInSim(ac))
            parked.push_back(&ac);
    std::stable_sort(parked.begin(), parked.end(),
                     [](const LiveAc* a, const LiveAc* b) { return a->parkedSince < b->parkedSince; });
    parked.resize(std::min<std::size_t>(parked.size(), n));
    for (LiveAc* ac : parked) {
        gf_log(fmt::format("live parked {} at {} removed", gf_aircraftLabel(*ac), gf_standName(ac->standId)));
        gf_removeAc(*ac);
    }
}

std::uint32_t gf_updateLiveParkTime(bool show)
{
    const std::uint32_t count = lf_parkedLiveCount();
    if (!show)
        return count;
    const DaySlot now = currentDaySlot.load();
    std::uint64_t slots = 0;
    for (const LiveAc& ac : liveAcTable)
        if (lf_parkedInSim(ac) && lf_isLaterOrEqual(now, ac.parkedStamp))
            slots += gf_slotDistance(now, ac.parkedStamp);
    lf_showAverage(g_mainWindow.liveAverageFit, slots, count);
    return count;
}

