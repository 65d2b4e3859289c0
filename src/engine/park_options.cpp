#include "engine/park_options.h"

#include "airports/apf_state.h"
#include "airports/park_airport_choice.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "engine/ac_identity.h"
#include "engine/static_parking.h"
#include "liveries/model_classes.h"
#include "liveries/registrations.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "params/random.h"
#include "params/window_fields.h"
#include "simlink/sim_state.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <optional>

namespace {

constexpr double kNoDistance = 900.0;
constexpr double kTooSmallReachNm = 0.010799136069114472; // 20 m
constexpr double kUsedBeforeReachNm = 0.0458963282937365; // 85 m
constexpr double kEnlargeMarginNm = 0.0005399568034557236; // 1 m
constexpr double kArrivalReachNm = 5.0;
constexpr double kArrivalHeightFt = 2500.0;
constexpr double kSmallWingNm = 0.009611230689557531;   // 17.8 m
constexpr double kSmallRankStepNm = 0.00755939524838013; // 14 m
constexpr double kLargeRankStepNm = 0.011339092872570195; // 21 m
constexpr std::uint32_t kNoBetterRank = 100;
constexpr std::size_t kSmallAirportStands = 10;
constexpr double kAtStandNm = 0.029697624190064796; // 55 m

struct StandQuery {
    LatLon position;
    std::uint64_t tableLoad = 0;
    std::string answer;
};
std::optional<StandQuery> lastStandQuery;

struct HalfHourStamp {
    std::uint32_t key = 0;
    std::uint32_t slot = 0;
};
std::vector<HalfHourStamp> halfHourStamps;

// Every learned slot, option or enlarged stand counts towards the next save and is shown.
void lf_countLearned()
{
    g_mainWindow.updateCount = ++learnedUpdateCount;
    gf_invalidateParkingBand();
}

std::uint32_t lf_nextWeekday(std::uint32_t weekday)
{
    return weekday >= 7 ? 1 : weekday + 1;
}

std::uint32_t lf_previousWeekday(std::uint32_t weekday)
{
    return weekday <= 1 ? 7 : weekday - 1;
}

bool lf_anyOptionMatches(const Stand& stand, const AcDescription& desc)
{
    if (desc.callsign.empty())
        return false;
    return std::any_of(stand.opts.begin(), stand.opts.end(),
                       [&desc](const ParkPosOption& o) { return lf_isSameAircraftKey(o, desc); });
}

bool lf_fits(const Stand& stand, const AcDescription& desc)
{
    return desc.halfWingspan - stand.radius <= kStandFitToleranceNm;
}

// ---- Learning ----

std::vector<ParkPosOption>::iterator lf_findLearnedOption(Stand& stand, std::uint32_t kind, std::uint32_t weekday,
                                                          const std::string& registration)
{
    return std::find_if(stand.opts.begin(), stand.opts.end(), [&](const ParkPosOption& o) {
        return o.number != 0 && o.real == kind && o.day == weekday && o.reg == registration;
    });
}

// Fills the slots after `from` up to `to` (both excluded) into the option, oldest first, until
// one fails.
void lf_fillSlots(std::vector<ParkPosOption>& options, std::uint32_t number, std::uint32_t from, std::uint32_t to,
                  const AcDescription& desc, DaySlot t)
{
    for (std::uint32_t slot = from + 1; slot < to; ++slot) {
        if (!gf_updateOption(options, number, slot % 48, desc.callsign, t))
            return;
    }
}

// The aircraft was counted in an option before: the half hours since then are filled in when
// it stood there all along (at most 5 slots back); true when a new option was made for a new
// weekday.
bool lf_followIndexEntry(Stand& stand, OptionIndex& index, const StaticAc& ac, std::uint32_t kind, DaySlot t,
                         std::uint32_t foundNumber, bool final)
{
    const std::uint32_t weekday = gf_weekdayOf(t);
    const std::uint32_t slot = gf_slotOf(t);
    const auto it = index.find(ac.desc.key);
    if (it == index.end()) {
        if (!final)
            index[ac.desc.key] = {weekday, slot, foundNumber};
        return false;
    }
    OptionIndexEntry& entry = it->second;
    if (entry.day == weekday && entry.slot == slot)
        return false;
    for (std::uint32_t k = 1; k <= 5; ++k) {
        if (entry.day == weekday && (entry.slot + k) % 48 == slot) {
            lf_fillSlots(stand.opts, entry.number, entry.slot, entry.slot + k, ac.desc, t);
            gf_updateOption(stand.opts, entry.number, slot, ac.desc.callsign, t);
            entry = {weekday, slot, entry.number};
            return false;
        }
        if (lf_nextWeekday(entry.day) == weekday && slot + 48 - entry.slot == k) {
            const std::uint32_t number = gf_appendOption(stand.opts, ac.desc, t, kind);
            lf_fillSlots(stand.opts, entry.number, entry.slot, 48, ac.desc, t);
            lf_fillSlots(stand.opts, number, 47, 48 + slot, ac.desc, t);
            entry = {weekday, slot, number};
            return true;
        }
    }
    index.erase(it);
    return false;
}

bool lf_learnOption(const char* name, std::uint32_t kind, std::uint32_t standId, const StaticAc& ac, bool slotOnly,
                    DaySlot t, bool final)
{
    try {
        Stand* stand = gf_findStandById(standId);
        if (stand == nullptr)
            return false;
        OptionIndex& index = kind == kRealOption ? stand->realOptionIndex : stand->softOptionIndex;
        const std::uint32_t slot = gf_slotOf(t);
        bool made = false;
        const auto found = lf_findLearnedOption(*stand, kind, gf_weekdayOf(t), ac.desc.registration);
        if (found == stand->opts.end()) {
            const std::uint32_t number = gf_appendOption(stand->opts, ac.desc, t, kind);
            index[ac.desc.key] = {gf_weekdayOf(t), slot, number};
            made = true;
        } else {
            if (!found->hours.test(slot)) {
                if (found->fixed != 0) {
                    if (final)
                        index.erase(ac.desc.key); // forgotten all the same
                    return false;
                }
                found->hours.set(slot);
                lf_countLearned();
            } else if (kind == kSoftOption) {
                return false;
            }
            if (!slotOnly)
                made = lf_followIndexEntry(*stand, index, ac, kind, t, found->number, final);
        }
        // An aircraft that leaves is forgotten, whether or not its option was new.
        if (final)
            index.erase(ac.desc.key);
        if (made)
            lf_countLearned();
        return made;
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{}: hh_now: {}, {}", name, gf_slotOf(t), e.what()));
        return false;
    }
}

void lf_dropHalfHourStamp(std::uint32_t key)
{
    const auto it = std::find_if(halfHourStamps.begin(), halfHourStamps.end(),
                                 [key](const HalfHourStamp& s) { return s.key == key; });
    if (it == halfHourStamps.end())
        return;
    *it = halfHourStamps.back();
    halfHourStamps.pop_back();
}

// ---- Stand search for a live aircraft ----

struct StandRank {
    std::string name;
    std::uint32_t rank = 0;
    std::int32_t match = 0;
};

enum class StandGroup { Helipads, Ramps, CargoNotHeli, NotHeli, RampGroup, GateGroup };

bool lf_inGroup(const Stand& s, StandGroup group)
{
    switch (group) {
    case StandGroup::Helipads:
        return s.heli;
    case StandGroup::Ramps:
        return s.ramp;
    case StandGroup::CargoNotHeli:
        return s.cargo && !s.heli;
    case StandGroup::NotHeli:
        return !s.heli;
    case StandGroup::RampGroup:
        return !s.cargo && !s.heli && s.ramp;
    case StandGroup::GateGroup:
        return !s.cargo && !s.heli && !s.ramp;
    }
    return false;
}

bool lf_isBooked(const Stand& s, DaySlot t)
{
    return std::any_of(s.opts.begin(), s.opts.end(), [t](const ParkPosOption& o) {
        return o.number != 0 && o.day == gf_weekdayOf(t) && o.hours.test(gf_slotOf(t));
    });
}

void lf_rankStand(const Stand& s, const AcDescription& desc, DaySlot t, bool bySize, std::uint32_t& best,
                  std::vector<StandRank>& ranking)
{
    double k = 0.0;
    if (bySize) {
        if (!lf_fits(s, desc))
            return;
        const double step = desc.halfWingspan <= kSmallWingNm ? kSmallRankStepNm : kLargeRankStepNm;
        k = std::round((s.radius - desc.halfWingspan) / step);
    } else {
        k = std::round(std::fabs(desc.halfWingspan - s.radius));
    }
    const auto rank = static_cast<std::uint32_t>(std::max(0.0, k));
    if (rank > best || lf_isBooked(s, t))
        return;
    best = rank;
    ranking.push_back({s.name, rank, lf_anyOptionMatches(s, desc) ? 1 : 0});
}

struct RankPass {
    StandGroup group;
    bool bySize;
};

std::vector<RankPass> lf_rankPasses(const AcDescription& desc)
{
    using G = StandGroup;
    if (desc.category == AcCategory::Rotorcraft)
        return {{G::Helipads, true}, {G::Ramps, true}, {G::Helipads, false}, {G::Ramps, false}};
    if (desc.cargo != 0)
        return {{G::CargoNotHeli, true}, {G::CargoNotHeli, false}, {G::NotHeli, true}, {G::NotHeli, false}};
    if (desc.category == AcCategory::Light || desc.category == AcCategory::Buzjets || desc.airline == "PVT")
        return {{G::RampGroup, true}, {G::RampGroup, false}};
    const std::string code = gf_parkAirport().code;
    bool gatesFirst = !code.empty() && code.front() == 'K';
    if (!gatesFirst)
        gatesFirst = gf_randomEngine()() % 100 >= 10;
    const G first = gatesFirst ? G::GateGroup : G::RampGroup;
    const G second = gatesFirst ? G::RampGroup : G::GateGroup;
    return {{first, true}, {first, false}, {second, true}, {second, false}};
}

std::vector<StandRank> lf_rankStands(DaySlot t, const AcDescription& desc)
{
    std::vector<StandRank> ranking;
    ranking.reserve(256);
    for (const RankPass& pass : lf_rankPasses(desc)) {
        std::uint32_t best = kNoBetterRank;
        for (const Stand& s : standTable) {
            if (lf_inGroup(s, pass.group))
                lf_rankStand(s, desc, t, pass.bySize, best, ranking);
        }
        if (!ranking.empty())
            break;
    }
    return ranking;
}

// Matching stands first, then the closer fit; without RANDOM the later of two equals first.
void lf_orderRanking(std::vector<StandRank>& ranking)
{
    if (ranking.size() < 2)
        return;
    if (RANDOM.value.load())
        std::shuffle(ranking.begin(), ranking.end(), gf_randomEngine());
    else
        std::reverse(ranking.begin(), ranking.end());
    std::stable_sort(ranking.begin(), ranking.end(), [](const StandRank& a, const StandRank& b) {
        if (a.match != b.match)
            return a.match > b.match;
        return a.rank < b.rank;
    });
}

// ---- Static parking candidates ----

bool lf_conflictsWithNeighbourStatic(const Stand& stand, const ParkPosOption& option)
{
    for (const std::uint32_t neighbourId : stand.neighbours) {
        const auto it = std::find_if(staticAcTable.begin(), staticAcTable.end(), [neighbourId](const StaticAc& ac) {
            return ac.standId == neighbourId && ac.state == AcState::InSim;
        });
        if (it == staticAcTable.end())
            continue;
        const double span = gf_wingspanOf(it->desc.type) + gf_wingspanOf(option.type);
        if (span > gf_distanceNm({it->standLat, it->standLon}, {stand.lat, stand.lon}))
            return true;
    }
    return false;
}

std::vector<std::uint32_t> lf_candidateNumbers(const Stand& stand, std::uint32_t kind, DaySlot look)
{
    std::vector<std::uint32_t> numbers;
    if (kind > kRealOption || (stand.heli && !HELICOPTERS.value.load()) || stand.neighbourBlocked)
        return numbers;
    numbers.reserve(256);
    const bool anyDay = WEEK.value.load();
    for (const ParkPosOption& o : stand.opts) {
        if (o.number == 0 || o.real != kind || (!anyDay && o.day != gf_weekdayOf(look)) ||
            !o.hours.test(gf_slotOf(look)))
            continue;
        if (!lf_conflictsWithNeighbourStatic(stand, o))
            numbers.push_back(o.number);
    }
    return numbers;
}

// The option of a static aircraft that already stands here wins; otherwise chance decides.
void lf_chooseCandidate(const Stand& stand, std::vector<std::uint32_t>& numbers)
{
    if (!RANDOM.value.load() || numbers.size() < 2)
        return;
    for (const StaticAc& ac : staticAcTable) {
        if (ac.standId != stand.id)
            continue;
        for (const ParkPosOption& o : stand.opts) {
            const bool starred = (!o.cs.empty() && gf_isStarredName(o.cs, ac.desc.callsign)) ||
                                 (!o.csSuffix.empty() && gf_isStarredName(o.csSuffix, ac.desc.callsign));
            const bool sameKeys = gf_sameKeyPair(KeyPair{o.airl, o.type}, KeyPair{ac.desc.airline, ac.desc.type});
            if (o.number != 0 && starred && sameKeys) {
                numbers.front() = o.number;
                return;
            }
        }
    }
    std::shuffle(numbers.begin(), numbers.end(), gf_randomEngine());
}

bool lf_inTraffic(const std::string& callsign)
{
    return parkingCallsigns.count(callsign) != 0 || parkingCallsigns.count(callsign + "_") != 0;
}

bool lf_sameText(const std::string& a, const std::string& b)
{
    return !a.empty() && a == b;
}

bool lf_namesOption(const std::string& callsign, const ParkPosOption& o)
{
    return lf_sameText(callsign, o.cs) || lf_sameText(callsign, o.csSuffix);
}

enum class Verdict { Take, Reject, Clear };

// Options whose aircraft flies live, already stands or waits elsewhere are not parked again.
// The static aircraft that stands on this very stand is the option's own and no conflict: a
// re-balancing must find it still scheduled.
Verdict lf_judgeOption(const ParkPosOption& o, std::uint32_t standId)
{
    const auto sameReg = [&o](const StaticCandidate& c) { return lf_sameText(o.reg, c.reg); };
    if (std::any_of(staticCandidates.begin(), staticCandidates.end(), sameReg))
        return Verdict::Clear;
    if (!o.cs.empty() && lf_inTraffic(o.cs))
        return Verdict::Clear;
    if (!o.csSuffix.empty() && lf_inTraffic(o.csSuffix))
        return Verdict::Reject;
    if (std::any_of(staticAcTable.begin(), staticAcTable.end(), [&o, standId](const StaticAc& ac) {
            return ac.standId != standId &&
                   (lf_namesOption(ac.desc.cs, o) || lf_sameText(o.reg, ac.desc.registration));
        }))
        return Verdict::Clear;
    if (std::any_of(staticCandidates.begin(), staticCandidates.end(),
                    [&o](const StaticCandidate& c) { return lf_namesOption(c.cs, o) || lf_sameText(o.reg, c.reg); }))
        return Verdict::Clear;
    if (std::any_of(parkedStayers.begin(), parkedStayers.end(),
                    [&o](const ParkedStayer& s) { return lf_namesOption(s.callsign, o); }))
        return Verdict::Clear;
    return Verdict::Take;
}

// An option with a second callsign shows its first one only while the aircraft is still there
// in the next half hour (it arrived under the first and leaves under the second).
bool lf_showsFirstCallsign(const Stand& stand, const ParkPosOption& o, DaySlot t)
{
    if (o.csSuffix.empty())
        return true;
    const DaySlot next = gf_nextDaySlot(t);
    if (gf_weekdayOf(next) == gf_weekdayOf(t))
        return o.hours.test(gf_slotOf(next));
    return std::any_of(stand.opts.begin(), stand.opts.end(), [&](const ParkPosOption& other) {
        return other.number != 0 && other.day == gf_weekdayOf(next) &&
               gf_sameKeyPair(KeyPair{other.airl, other.type}, KeyPair{o.airl, o.type}) && other.hours.test(0);
    });
}

void lf_searchOneStand(Stand& stand, DaySlot t, DaySlot look, std::uint32_t kind, std::uint32_t offset,
                       std::vector<StaticCandidate>& result)
{
    std::vector<std::uint32_t> numbers = lf_candidateNumbers(stand, kind, look);
    if (numbers.empty())
        return;
    lf_chooseCandidate(stand, numbers);
    const auto it = std::find_if(stand.opts.begin(), stand.opts.end(),
                                 [&numbers](const ParkPosOption& o) { return o.number == numbers.front(); });
    if (it == stand.opts.end())
        return;
    switch (lf_judgeOption(*it, stand.id)) {
    case Verdict::Clear:
        it->number = 0;
        return;
    case Verdict::Reject:
        return;
    case Verdict::Take:
        break;
    }
    result.push_back({stand.id, offset, it->airl, it->type, it->cs, it->csSuffix, it->reg,
                      lf_showsFirstCallsign(stand, *it, t)});
    gf_markStandAndNeighbours(stand);
}

} // namespace

// ---- Time of the week ----

DaySlot gf_daySlotBefore(DaySlot t, std::uint32_t slots)
{
    std::uint32_t weekday = gf_weekdayOf(t);
    std::int64_t slot = std::int64_t{gf_slotOf(t)} - slots;
    while (slot < 0) {
        slot += 48;
        weekday = lf_previousWeekday(weekday);
    }
    return gf_packDaySlot(weekday, static_cast<std::uint32_t>(slot));
}

DaySlot gf_nextDaySlot(DaySlot t)
{
    const std::uint32_t slot = gf_slotOf(t);
    if (slot < 47)
        return gf_packDaySlot(gf_weekdayOf(t), slot + 1);
    return gf_packDaySlot(lf_nextWeekday(gf_weekdayOf(t)), 0);
}

std::string gf_dayHourText(DaySlot t)
{
    return fmt::format("day={} hh={}", gf_weekdayOf(t), gf_slotOf(t));
}

// ---- Stands ----

std::string lf_standNameAtPosition(LatLon position)
{
    if (standTable.empty() || !userOnGround.load())
        return {};
    if (lastStandQuery && lastStandQuery->position.latitude == position.latitude &&
        lastStandQuery->position.longitude == position.longitude && lastStandQuery->tableLoad == standTableLoads)
        return lastStandQuery->answer;
    double best = kAtStandNm;
    std::string answer;
    for (const Stand& s : standTable) {
        const double d = gf_distanceNm(position, {s.lat, s.lon});
        if (d <= best) {
            best = d;
            answer = s.name;
        }
    }
    lastStandQuery = StandQuery{position, standTableLoads, answer};
    return answer;
}

void gf_markStandAndNeighbours(Stand& stand)
{
    stand.taken = true;
    for (const std::uint32_t id : stand.neighbours) {
        if (Stand* neighbour = gf_findStandById(id))
            neighbour->neighbourBlocked = true;
    }
}

std::vector<Stand>::iterator lf_findNearestFreeStand(LatLon position, LiveAc& ac, double limitNm, bool stopFlag)
{
    double best = kNoDistance;
    double secondBest = kNoDistance;
    auto result = standTable.end();
    auto second = standTable.end();
    auto tooSmall = standTable.end();
    // A stand that many degrees north or south lies beyond both reaches, without its distance taken.
    const double reachDegrees = gf_latitudeReachDeg(std::max(limitNm, kUsedBeforeReachNm));
    for (auto it = standTable.begin(); it != standTable.end(); ++it) {
        if (it->occupied || std::abs(it->lat - position.latitude) > reachDegrees)
            continue;
        const double d = gf_distanceNm(position, {it->lat, it->lon});
        const bool fits = lf_fits(*it, ac.desc);
        if (d <= limitNm && d < best) {
            if (!fits && d > kTooSmallReachNm)
                continue;
            best = d;
            result = it;
            stopFlag = false;
            if (!fits)
                tooSmall = it;
        } else if (stopFlag && fits && d <= kUsedBeforeReachNm && d < secondBest && lf_anyOptionMatches(*it, ac.desc)) {
            secondBest = d;
            second = it;
        }
    }
    if (result == standTable.end())
        result = second;
    if (result == standTable.end())
        return result;
    if (result->heli != (ac.desc.category == AcCategory::Rotorcraft))
        return standTable.end();
    if (result == tooSmall) {
        result->radiusChange = true;
        result->radius = ac.desc.halfWingspan - kEnlargeMarginNm;
        lf_countLearned();
    }
    return result;
}

std::vector<Stand>::iterator lf_searchStandForLiveAc(DaySlot t, const LiveAc& ac, bool retry)
{
    std::vector<StandRank> ranking = lf_rankStands(t, ac.desc);
    if (ranking.empty()) {
        if (retry && standTable.size() <= kSmallAirportStands)
            return lf_searchStandForLiveAc(gf_nextDaySlot(t), ac, false);
        return standTable.end();
    }
    lf_orderRanking(ranking);
    const std::string& name = ranking.front().name;
    return std::find_if(standTable.begin(), standTable.end(), [&name](const Stand& s) { return s.name == name; });
}

// ---- Learning ----

bool lf_stampHalfHourSlot(DaySlot t, std::uint32_t key, bool force)
{
    const std::uint32_t slot = gf_slotOf(t);
    for (HalfHourStamp& stamp : halfHourStamps) {
        if (stamp.key != key)
            continue;
        if (!force && (slot + 48 - stamp.slot) % 48 < 3)
            return false;
        stamp.slot = slot;
        return true;
    }
    halfHourStamps.push_back({key, slot});
    return true;
}

void lf_stampLearnedSlot(std::uint32_t key, std::uint32_t halfHourSlot)
{
    lf_stampHalfHourSlot(gf_packDaySlot(1, halfHourSlot), key, true);
}

void gf_clearHalfHourStamps()
{
    halfHourStamps.clear();
}

bool lf_addRealParkPosOption(std::uint32_t standId, const StaticAc& ac, bool slotOnly, DaySlot t, bool final)
{
    if (standTable.empty() || ac.desc.registration.empty() || ac.desc.callsign.empty())
        return false;
    return lf_learnOption("lf_addRealParkPosOption", kRealOption, standId, ac, slotOnly, t, final);
}

bool lf_addSoftParkPosOption(std::uint32_t standId, const StaticAc& ac, bool slotOnly, DaySlot t)
{
    if (standTable.empty())
        return false;
    return lf_learnOption("lf_addSoftParkPosOption", kSoftOption, standId, ac, slotOnly, t, false);
}

void lf_chooseArrivalStand(LiveAc& ac, bool force)
{
    if (!LEARN_SOFT.value.load() || !softLearningAllowed.load())
        return;
    const std::optional<ParkAirportSite> site = gf_parkAirportSite();
    if (!site || ac.standId != 0 || (!force && ac.heightAboveGround >= kArrivalHeightFt))
        return;
    if (gf_distanceNm({ac.pose.latitude, ac.pose.longitude}, site->position) > kArrivalReachNm)
        return;
    const DaySlot t = currentDaySlot.load();
    const std::uint32_t key = ac.desc.key;
    for (Stand& stand : standTable) {
        const auto it = stand.softOptionIndex.find(key);
        if (it == stand.softOptionIndex.end())
            continue;
        if (it->second.day != gf_weekdayOf(t) || it->second.slot != gf_slotOf(t)) {
            if (lf_addSoftParkPosOption(stand.id, ac, true, t))
                lf_stampLearnedSlot(key, gf_slotOf(t));
            return;
        }
    }
    if (!lf_stampHalfHourSlot(t, key, force))
        return;
    const bool parkedHereNow = std::any_of(standTable.begin(), standTable.end(), [&](const Stand& s) {
        return gf_findSlotRecord(s, gf_weekdayOf(t), ac.desc.registration, gf_slotOf(t)) != nullptr;
    });
    if (parkedHereNow)
        return;
    const auto stand = lf_searchStandForLiveAc(t, ac, true);
    if (stand == standTable.end())
        return;
    if (!lf_addSoftParkPosOption(stand->id, ac, false, t))
        lf_dropHalfHourStamp(key);
}

void lf_searchForCoupledCsAroundThisTime(DaySlot t, LiveAc& ac)
{
    try {
        const std::int32_t window = ac.desc.category == AcCategory::Heavy ? 14 : 10;
        const std::int32_t slot = static_cast<std::int32_t>(gf_slotOf(t));
        SlotSet mask;
        for (std::int32_t s = std::max(0, slot - window); s <= std::min(47, slot + window); ++s)
            mask.set(static_cast<std::size_t>(s));
        const std::string callsign = gf_withoutGhostMark(ac.desc.callsign);
        for (const Stand& stand : standTable) {
            for (const ParkPosOption& o : stand.opts) {
                if (o.number == 0 || o.day != gf_weekdayOf(t) || (o.hours & mask).none() ||
                    o.airl != ac.desc.airline || o.csSuffix.empty() || (o.cs != callsign && o.csSuffix != callsign))
                    continue;
                ac.desc.cs = o.cs;
                ac.desc.csSuffix = o.csSuffix;
                return;
            }
        }
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{}: {}", "lf_searchForCoupledCsAroundThisTime", e.what()));
    }
}

// ---- Static parking candidates ----

void lf_searchStands(DaySlot t, std::uint32_t kind, std::uint32_t offset, std::vector<StaticCandidate>& result)
{
    try {
        const DaySlot look = gf_daySlotBefore(t, offset);
        for (Stand& stand : standTable) {
            if (!stand.reserved && !stand.taken)
                lf_searchOneStand(stand, t, look, kind, offset, result);
        }
    } catch (const std::exception& e) {
        gf_logWarning(
            fmt::format("{}: day: {}, offset {}: {}", "lf_searchStands", gf_dayHourText(t), offset, e.what()));
    }
}

std::uint64_t gf_updateStaticParkTime(bool show)
{
    std::uint64_t count = 0;
    std::uint64_t slots = 0;
    const DaySlot now = currentDaySlot.load();
    for (const StaticAc& ac : staticAcTable) {
        if (ac.state != AcState::InSim && ac.state != AcState::Removing)
            continue;
        ++count;
        if (ac.parkedStamp != 0)
            slots += gf_slotDistance(ac.parkedStamp, now);
    }
    if (show && !WEEK.value.load()) {
        const float average = count == 0 ? 0.0f : static_cast<float>(slots) / (2.0f * count) + 0.5f;
        if (g_mainWindow.staticAverageFit.exchange(average) != average)
            gf_invalidateParkingBand();
    }
    return count;
}

// ---- Options of one stand ----

std::uint32_t gf_appendOption(std::vector<ParkPosOption>& options, const AcDescription& desc, DaySlot t,
                              std::uint32_t kind)
{
    ParkPosOption option;
    option.airl = desc.airline;
    option.type = desc.type;
    if (const std::optional<DbaseRegRecord> record = gf_regcodeLookup(desc.registration)) {
        const std::string& airline = record->operatorCode.empty() ? record->airline : record->operatorCode;
        if (!airline.empty())
            option.airl = airline;
        if (!record->model.empty())
            option.type = record->model;
    }
    option.reg = desc.registration;
    option.cs = gf_withoutGhostMark(desc.callsign);
    option.hours.set(gf_slotOf(t));
    option.day = gf_weekdayOf(t);
    option.real = kind;
    while (!options.empty() && options.back().number == 0)
        options.pop_back();
    option.number = options.empty() ? 1 : options.back().number + 1;
    options.push_back(std::move(option));
    return options.back().number;
}

bool gf_updateOption(std::vector<ParkPosOption>& options, std::uint32_t number, std::uint32_t slot,
                     std::string_view callsign, DaySlot t)
{
    try {
        const auto it = std::find_if(options.begin(), options.end(),
                                     [number](const ParkPosOption& o) { return o.number == number; });
        if (it == options.end())
            return false;
        if (it->fixed != 0)
            return true; // what the airport file says is never changed
        if (!it->hours.test(slot)) {
            it->hours.set(slot);
            lf_countLearned();
        }
        const std::string cs = gf_withoutGhostMark(callsign);
        if (it->cs.empty())
            it->cs = cs;
        else if (cs != it->cs && cs != it->csSuffix)
            it->csSuffix = cs;
        return true;
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("Update Option exception {} {}", gf_dayHourText(t), e.what()));
        return false;
    }
}

bool testRange(const ParkPosOption& option, std::int32_t start, std::int32_t offset, std::int32_t& reachBack)
{
    reachBack = offset - start;
    try {
        for (std::int32_t slot = std::max(0, start - offset); slot <= start; ++slot) {
            if (option.hours.test(static_cast<std::size_t>(slot)))
                return true;
        }
        return false;
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("exception {} in testRange, start: {}, offset: {}", e.what(), start, offset));
        return false;
    }
}

bool lf_isSameAircraftKey(const ParkPosOption& option, const AcDescription& desc)
{
    if (option.number == 0 || option.real != kRealOption)
        return false;
    if (lf_sameText(desc.callsign, option.cs) || lf_sameText(desc.callsign, option.csSuffix))
        return true;
    return option.airl == desc.airline && option.type == desc.type;
}

const ParkPosOption* gf_findSlotRecord(const Stand& stand, std::uint32_t weekday, std::string_view registration,
                                       std::uint32_t slot)
{
    const std::size_t before = (slot + 47) % 48;
    const std::size_t after = (slot + 1) % 48;
    for (const ParkPosOption& o : stand.opts) {
        if (o.number == 0 || o.real != kRealOption || o.day != weekday || o.reg != registration)
            continue;
        if (o.hours.test(slot % 48) || o.hours.test(before) || o.hours.test(after))
            return &o;
    }
    return nullptr;
}
