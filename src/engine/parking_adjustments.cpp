#include "engine/parking_adjustments.h"

#include "airports/airport_services.h"
#include "airports/park_airport_choice.h"
#include "airports/shell_services.h"
#include "airports/static_parking_calc.h"
#include "core/log.h"
#include "engine/ac_identity.h"
#include "engine/live_removal.h"
#include "engine/park_options.h"
#include "engine/static_parking.h"
#include "liveries/model_classes.h"

#include <algorithm>
#include <fmt/format.h>

std::vector<StaticStayer> staticStayers;
std::vector<StaticRemoval> staticRemoveList;

namespace {

constexpr double kStaticClearanceFactor = 1.1;

bool lf_sameKeys(const std::string& airl, const std::string& type, const AcDescription& desc)
{
    return airl == desc.airline && type == desc.type;
}

void lf_remove(const StaticAc& ac)
{
    staticRemoveList.push_back({ac.desc.callsign, ac.standId});
}

void lf_stay(const StaticAc& ac)
{
    const AcDescription& d = ac.desc;
    staticStayers.push_back({d.callsign, d.cs, d.csSuffix, d.registration, d.airline, d.type, ac.parkedStamp,
                             ac.standId, false});
}

bool lf_inLiveTraffic(const std::string& callsign)
{
    return !callsign.empty() && parkingCallsigns.count(callsign) != 0;
}

// How long before t, in half hours, the stamp lies: stays are shorter than a week, so the week
// seen back from now orders them whatever days they span (Sunday, Monday, Tuesday in that
// order). A stamp not set counts as the oldest.
std::uint64_t lf_slotsSince(DaySlot stamp, DaySlot t)
{
    constexpr std::uint64_t kSlotsPerWeek = 7 * 48;
    if (gf_weekdayOf(stamp) == 0)
        return kSlotsPerWeek;
    const auto slotOfWeek = [](DaySlot d) { return (gf_weekdayOf(d) + 6) % 7 * 48 + gf_slotOf(d); };
    return (slotOfWeek(t) + kSlotsPerWeek - slotOfWeek(stamp)) % kSlotsPerWeek;
}

// Whether an option of this weekday with the aircraft's keys covers `offset` slots back from start.
bool lf_coveredOn(const Stand& stand, const AcDescription& desc, std::uint32_t weekday, std::int32_t start,
                  std::int32_t offset)
{
    return std::any_of(stand.opts.begin(), stand.opts.end(), [&](const ParkPosOption& o) {
        std::int32_t reach = 0;
        return o.number != 0 && o.day == weekday && lf_sameKeys(o.airl, o.type, desc) &&
               testRange(o, start, offset, reach);
    });
}

// The aircraft still matches its stand's options over the window of the widest fit reached.
bool lf_stillScheduled(const Stand& stand, const AcDescription& desc, DaySlot t)
{
    const std::int32_t fit = std::min(std::max(static_cast<std::int32_t>(realFitReached), softFitReached), 47);
    const auto slot = static_cast<std::int32_t>(gf_slotOf(t));
    if (lf_coveredOn(stand, desc, gf_weekdayOf(t), slot, fit))
        return true;
    const std::int32_t reachBack = fit - slot;
    if (reachBack <= 0)
        return false;
    return lf_coveredOn(stand, desc, gf_weekdayOf(gf_daySlotBefore(t, slot + 1)), 47, reachBack - 1);
}

// The first queued candidate on a neighbour stand that overlaps the aircraft.
std::optional<std::size_t> lf_overlappingCandidate(const StaticAc& ac, const Stand& stand)
{
    for (const std::uint32_t neighbourId : stand.neighbours) {
        const Stand* neighbour = gf_findStandById(neighbourId);
        if (neighbour == nullptr)
            continue;
        const double d = gf_distanceNm({ac.standLat, ac.standLon}, {neighbour->lat, neighbour->lon});
        for (std::size_t i = 0; i < staticCandidates.size(); ++i) {
            const StaticCandidate& c = staticCandidates[i];
            if (c.standId == neighbourId && ac.desc.halfWingspan + gf_wingspanOf(c.type) > d)
                return i;
        }
    }
    return std::nullopt;
}

void lf_markLiveStayerStands()
{
    for (const ParkedStayer& stayer : parkedStayers) {
        if (Stand* stand = gf_findStandById(stayer.standId))
            gf_markStandAndNeighbours(*stand);
    }
}

// Live aircraft parked beyond the maximum go, longest parked first.
std::int64_t lf_listLiveStayers(std::int64_t max)
{
    gf_expireParkedLiveAc();
    const auto live = static_cast<std::int64_t>(parkedStayers.size());
    if (max <= 0 || max >= live)
        return live;
    gf_reportMessage(fmt::format("Parking adjustments: {} more live ac than wanted", live - max), true);
    gf_removeLongestParkedLiveAc(live - max);
    parkedStayers.clear();
    gf_expireParkedLiveAc();
    return static_cast<std::int64_t>(parkedStayers.size());
}

void lf_resetStandsForAdjustment()
{
    for (Stand& stand : standTable) {
        stand.taken = false;
        stand.reserved = false;
        stand.neighbourBlocked = false;
        std::uint32_t number = 0;
        for (ParkPosOption& option : stand.opts)
            option.number = ++number;
    }
}

// A leaving stayer is taken out and queued again, to show its second callsign.
void lf_requeueLeavingStayers(DaySlot t)
{
    for (StaticStayer& s : staticStayers) {
        if (s.csSuffix.empty() || s.callsign.find(s.cs) == std::string::npos)
            continue;
        const Stand* stand = gf_findStandById(s.standId);
        if (stand == nullptr)
            continue;
        for (const ParkPosOption& option : stand->opts) {
            if (lf_isOptionLeaving(option, s, t))
                break;
        }
    }
    std::erase_if(staticStayers, [t](const StaticStayer& s) {
        if (!s.leaving)
            return false;
        staticRemoveList.push_back({s.callsign, s.standId});
        staticCandidates.push_back(
            {s.standId, gf_slotDistance(s.parked, t), s.airl, s.type, s.cs, s.csSuffix, s.reg, false});
        return true;
    });
}

// Drops candidates, then static stayers, then (unless the initial load only is kept) live
// stayers until the park airport holds no more than max.
void lf_trimToMax(std::int64_t max, std::int64_t live)
{
    std::stable_sort(staticCandidates.begin(), staticCandidates.end(),
                     [](const StaticCandidate& a, const StaticCandidate& b) { return a.sortKey < b.sortKey; });
    std::int64_t over = static_cast<std::int64_t>(staticCandidates.size()) + live +
                        static_cast<std::int64_t>(staticStayers.size()) - max;
    for (; over > 0; --over) {
        if (!staticCandidates.empty()) {
            staticCandidates.pop_back();
        } else if (!staticStayers.empty()) {
            staticRemoveList.push_back({staticStayers.back().callsign, staticStayers.back().standId});
            staticStayers.pop_back();
        } else if (!INITIAL_LOAD_ONLY.value.load() && !parkedStayers.empty()) {
            const std::uint32_t standId = parkedStayers.back().standId;
            parkedStayers.pop_back();
            const auto it = std::find_if(liveAcTable.begin(), liveAcTable.end(), [standId](const LiveAc& ac) {
                return ac.standId == standId && ac.state == AcState::InSim;
            });
            if (it != liveAcTable.end())
                gf_removeAc(*it);
        } else {
            return;
        }
    }
}

// Each entry takes out the static aircraft in the simulator on its stand; one already being
// removed is not queued for removal a second time.
void lf_carryOutRemovals()
{
    while (!staticRemoveList.empty()) {
        const std::uint32_t standId = staticRemoveList.back().standId;
        staticRemoveList.pop_back();
        const auto it = std::find_if(staticAcTable.begin(), staticAcTable.end(), [standId](const StaticAc& ac) {
            return ac.standId == standId && ac.state == AcState::InSim;
        });
        if (it != staticAcTable.end())
            gf_removeAc(*it);
    }
}

void lf_freeLiveStands()
{
    for (LiveAc& ac : liveAcTable) {
        const bool onGround = ac.phase == AcPhase::Parked || ac.phase <= AcPhase::Takeoff;
        if (!onGround)
            continue;
        ac.standLat = ac.standLon = ac.standHeading = 0.0;
        ac.standId = 0;
        ac.cargoStand = 0;
        if (ac.state == AcState::InSim) {
            gf_removeAc(ac);
        } else if (ac.state == AcState::Creating) {
            if (!gf_cancelQueuedLiveCreation(ac.desc.callsign))
                ac.removeWhenCreated = 1;
        }
    }
}

} // namespace

void gf_clearParkingAdjustmentLists()
{
    staticStayers.clear();
    staticRemoveList.clear();
}

void gf_parkingAdjustments()
{
    const DaySlot t = lf_logDayAndHour();
    lf_takeCollectedCallsigns();
    gf_disableParkingControls();
    g_mainWindow.staticRenewalFlag = false;
    gf_invalidateParkingBand();
    gf_clearParkingAdjustmentLists();
    parkedStayers.clear();
    staticCandidates.clear();
    lf_resetStandsForAdjustment();
    lf_markReservedStands();
    const std::int64_t max = lf_calcMaxPark();
    const std::int64_t live = lf_listLiveStayers(max);
    lf_markLiveStayerStands();
    if (max > live) {
        realFitReached = 0;
        softFitReached = -1;
        lf_addStaticCandidates(t, max, live, kRealOption);
        const bool softAllowed = PARK_SOFT.value.load() || PARK_FAKE.value.load();
        if (static_cast<std::int64_t>(staticCandidates.size()) + live < max && softAllowed)
            lf_addStaticCandidates(t, max, live, kSoftOption);
    }
    for (const StaticAc& ac : staticAcTable)
        lf_classifyStaticAc(ac, t);
    lf_sortStayersByParkedTime(t);
    lf_requeueLeavingStayers(t);
    lf_trimToMax(max, live);
    std::stable_sort(staticCandidates.begin(), staticCandidates.end(),
                     [](const StaticCandidate& a, const StaticCandidate& b) { return a.sortKey > b.sortKey; });
    gf_reportMessage(fmt::format("Parking adjustments: {} to be removed, {} to be added\n", staticRemoveList.size(),
                               staticCandidates.size()),
                   true);
    lf_carryOutRemovals();
    if (staticCandidates.empty())
        gf_enableParkingControls();
}

void lf_classifyStaticAc(const StaticAc& ac, DaySlot t)
{
    if (ac.state != AcState::InSim)
        return;
    if (lf_inLiveTraffic(ac.desc.cs) || lf_inLiveTraffic(ac.desc.csSuffix)) {
        lf_remove(ac);
        return;
    }
    const auto same = std::find_if(staticCandidates.begin(), staticCandidates.end(),
                                   [&ac](const StaticCandidate& c) { return c.standId == ac.standId; });
    if (same != staticCandidates.end()) {
        const std::string& callsign = ac.desc.callsign;
        if (lf_sameKeys(same->airl, same->type, ac.desc) &&
            (callsign == same->cs + "*" || callsign == same->csSuffix + "*")) {
            lf_stay(ac);
            staticCandidates.erase(same);
        } else {
            lf_compareParkedTime(ac, static_cast<std::size_t>(same - staticCandidates.begin()), t);
        }
        return;
    }
    const Stand* stand = gf_findStandById(ac.standId);
    if (stand == nullptr) {
        lf_remove(ac);
        return;
    }
    if (const std::optional<std::size_t> overlapping = lf_overlappingCandidate(ac, *stand)) {
        lf_compareParkedTime(ac, *overlapping, t);
        return;
    }
    if (lf_stillScheduled(*stand, ac.desc, t))
        lf_stay(ac);
    else
        lf_remove(ac);
}

// The aircraft that has stood longer than the candidate would have goes; the other stays and
// the candidate is not needed.
void lf_compareParkedTime(const StaticAc& ac, std::size_t candidateIndex, DaySlot t)
{
    const DaySlot w = gf_daySlotBefore(t, staticCandidates[candidateIndex].sortKey);
    const DaySlot p = ac.parkedStamp;
    const std::uint32_t wDay = gf_weekdayOf(w);
    const std::uint32_t pDay = gf_weekdayOf(p);
    bool remove = false;
    if (wDay == 1 && pDay == 7)
        remove = true;
    else if (wDay == 7 && pDay == 1)
        remove = false;
    else
        remove = wDay > pDay || (wDay == pDay && gf_slotOf(w) > gf_slotOf(p));
    if (remove) {
        lf_remove(ac);
        return;
    }
    lf_stay(ac);
    staticCandidates.erase(staticCandidates.begin() + static_cast<std::ptrdiff_t>(candidateIndex));
}

bool lf_isOptionLeaving(const ParkPosOption& option, StaticStayer& stayer, DaySlot t)
{
    std::string_view shown = stayer.callsign;
    if (!shown.empty() && shown.back() == '*')
        shown.remove_suffix(1);
    if (option.number == 0 || option.day != gf_weekdayOf(t) || option.cs != shown || option.airl != stayer.airl ||
        option.type != stayer.type)
        return false;
    const DaySlot next = gf_nextDaySlot(t);
    if (gf_weekdayOf(next) == gf_weekdayOf(t)) {
        stayer.leaving = !option.hours.test(gf_slotOf(next));
        return true;
    }
    const Stand* stand = gf_findStandById(stayer.standId);
    if (stand == nullptr) {
        stayer.leaving = true;
        return true;
    }
    const bool continues = std::any_of(stand->opts.begin(), stand->opts.end(), [&](const ParkPosOption& o) {
        return o.number > 0 && o.day == gf_weekdayOf(next) && o.airl == option.airl && o.type == option.type &&
               o.hours.test(0);
    });
    stayer.leaving = !continues;
    return true;
}

void gf_removeStaticParked()
{
    staticCandidates.clear();
    gf_removeAllStatics();
    lf_freeLiveStands();
    lf_closeParkAirport();
    if (MAX_LIVE.value.load() != userMaxLive.load()) {
        MAX_LIVE.setValue(userMaxLive.load());
        gf_updateTextBoxFormatted(MAX_LIVE);
        gf_applyMaxLive();
    }
}

namespace {

bool lf_tooClose(const LiveAc& live, const StaticAc& s)
{
    return s.state == AcState::InSim && (live.desc.halfWingspan + s.desc.halfWingspan) * kStaticClearanceFactor >=
                                            gf_distanceNm({live.pose.latitude, live.pose.longitude},
                                                          {s.standLat, s.standLon});
}

} // namespace

StaticsByLatitude::StaticsByLatitude()
{
    for (std::size_t i = 0; i < staticAcTable.size(); ++i) {
        const StaticAc& s = staticAcTable[i];
        if (s.state != AcState::InSim)
            continue;
        stands.emplace_back(s.standLat, i);
        widestHalfSpan = std::max(widestHalfSpan, s.desc.halfWingspan);
    }
    std::sort(stands.begin(), stands.end());
}

std::vector<StaticAc>::iterator StaticsByLatitude::firstTooClose(const LiveAc& live) const
{
    const double reachDeg = gf_latitudeReachDeg((live.desc.halfWingspan + widestHalfSpan) * kStaticClearanceFactor);
    const double lat = live.pose.latitude;
    auto it = std::lower_bound(stands.begin(), stands.end(), std::pair{lat - reachDeg, std::size_t{0}});
    std::size_t first = staticAcTable.size();
    for (; it != stands.end() && it->first <= lat + reachDeg; ++it) {
        if (it->second < first && lf_tooClose(live, staticAcTable[it->second]))
            first = it->second;
    }
    return staticAcTable.begin() + static_cast<std::ptrdiff_t>(first);
}

std::vector<StaticAc>::iterator gf_collisionAvoidanceStatic(const LiveAc& live, const StaticsByLatitude& statics)
{
    const auto it = statics.firstTooClose(live);
    if (it == staticAcTable.end())
        return it;
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: {:8} removed for collision avoidance with live {}", gf_standName(it->standId),
                           it->desc.callsign, live.desc.callsign));
    gf_removeAc(*it);
    return it;
}

std::vector<StaticAc>::iterator gf_collisionAvoidanceStatic(const LiveAc& live)
{
    return gf_collisionAvoidanceStatic(live, StaticsByLatitude());
}

std::string gf_standName(std::uint32_t standId)
{
    if (standId == 0)
        return "sid==0?";
    const Stand* stand = gf_findStandById(standId);
    return stand == nullptr ? "unknown" : stand->name;
}

void lf_sortStayersByParkedTime(DaySlot t)
{
    std::stable_sort(staticStayers.begin(), staticStayers.end(), [t](const StaticStayer& a, const StaticStayer& b) {
        return lf_slotsSince(a.parked, t) > lf_slotsSince(b.parked, t);
    });
}
