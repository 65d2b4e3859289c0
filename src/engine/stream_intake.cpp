#include "engine/stream_intake.h"

#include "core/clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "engine/air_movement.h"
#include "engine/angles.h"
#include "engine/live_removal.h"
#include "engine/live_update.h"
#include "engine/neighbour_services.h"
#include "engine/park_options.h"
#include "params/parameters.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "traffic/traffic_queue.h"

#include <chrono>
#include <cmath>
#include <fmt/format.h>

namespace {

constexpr std::size_t kMaxStream = 200;
constexpr double kMergeDegrees = 0.00015;
constexpr double kAtStandNm = 0.0458963282937365;     // 85 m
constexpr double kStandLeaveNm = 0.10799136069114472; // 200 m
constexpr double kStandStepNm = 0.0016198704103671706; // 3 m
constexpr double kSmallStopNm = 0.011879049676025918;  // 22 m
constexpr double kMetresPerNm = 1852.0;

bool lf_samePlace(const StreamPosition& a, const StreamPosition& b)
{
    return a.lat == b.lat && a.lon == b.lon;
}

// The oldest position falls due at the next pass.
void lf_dueNextPass(LiveAc& ac)
{
    gf_streamAt(ac.stream, 0).duePass = passCounter.load() + 1;
}

// Degrees, by size, between the current heading and the bearing from `from` to `to`.
double lf_angleOff(const LiveAc& ac, const StreamPosition& from, const StreamPosition& to)
{
    return std::abs(gf_angleDifference(ac.pose.heading, gf_initialBearing(lf_at(from), lf_at(to)))) * geo::kRadToDeg;
}

bool lf_samePositionRule(LiveAc& ac, StreamPosition& pos)
{
    if (ac.stream.empty())
        return true;
    const StreamPosition& newest = ac.stream.back();
    const bool same = lf_samePlace(pos, newest);
    pos.stop = same ? 1 : 0;
    if (ac.desc.category == AcCategory::Rotorcraft)
        return true;
    const bool flying = pos.airborne != 0 || (ac.state == AcState::InSim && ac.groundMode == 0);
    if (!same && std::abs(pos.lat - newest.lat) <= kMergeDegrees && std::abs(gf_longitudeDifference(newest.lon, pos.lon)) <= kMergeDegrees) {
        if (flying || (ac.takeoffRun != 0 && pos.groundSpeed > 0 && newest.groundSpeed >= 50))
            return false;
        pos = newest;
        pos.groundSpeed = 0.0;
        pos.stop = 1;
        return true;
    }
    if (!same) {
        if (pos.groundSpeed != 0.0) // also a speed that is not a number
            return true;
        return (ac.takeoffRun == 0 && pos.airborne == 0) || newest.groundSpeed < 50;
    }
    if (flying || (ac.takeoffRun != 0 && pos.groundSpeed > 0 && newest.groundSpeed >= 30))
        return false;
    pos.groundSpeed = 0.0;
    return true;
}

// Learns the side of a push-back turn from the first position received during it.
void lf_learnPushBackTurn(LiveAc& ac, const StreamPosition& pos)
{
    if (STRAIGHT_PBS_ONLY.value.load() || ac.pushBackLegs != 2)
        return;
    double heading = 0.0;
    if (pos.trueHeading)
        heading = *pos.trueHeading;
    else if (pos.track != 0.0)
        heading = pos.track * geo::kDegToRad;
    else
        return;
    ac.pushBackTurnRight = gf_angleDifference(ac.pose.heading, heading) > 0.0 ? 1 : 0;
    ac.pushBackTurnKnown = 1;
}

// After a push-back: hold while the positions stay near, else start to taxi.
bool lf_pushBackDoneRule(LiveAc& ac, StreamPosition& pos)
{
    const double d = gf_distanceNm({ac.pose.latitude, ac.pose.longitude}, lf_at(pos));
    const double span = ac.desc.halfWingspan;
    if ((d <= 2.75 * span || d <= ac.holdDistance) && d <= 6 * span) {
        if (ac.holding == 0) {
            ac.holding = 1;
            ac.holdingSincePass = static_cast<std::uint32_t>(passCounter.load());
        }
        ac.holdDistance = d;
        return false;
    }
    pos.stop = 0;
    if (ac.extrapolationsLeft > 0) {
        lf_dueNextPass(ac);
        lf_abandonInvented(ac);
    }
    ac.pushBackTurnKnown = 0;
    ac.pushBackLegs = 0;
    ac.setPhase(AcPhase::Taxi);
    gf_giveUpStand(ac);
    ac.holding = 0;
    ac.holdingSincePass = 0;
    return true;
}

std::uint32_t lf_towedLimit(AcCategory category)
{
    switch (category) {
    case AcCategory::Heavy:
        return 360000;
    case AcCategory::Large:
        return 150000;
    case AcCategory::Buzjets:
        return 90000;
    default:
        return 0;
    }
}

// The aircraft starts to leave its stand: a fresh parking is learned, the stand freed.
void lf_standLeaveCheck(LiveAc& ac)
{
    if (ac.extrapolationsLeft > 0) {
        if (ac.phase == AcPhase::Parked && ac.landed != 0) {
            const std::int64_t since = std::int64_t{passCounter.load()} - gf_streamAt(ac.stream, 0).duePass;
            const auto parked = static_cast<std::uint32_t>(since + 60480000);
            if (parked < lf_towedLimit(ac.desc.category))
                ac.towed = 1;
            ac.landed = 0;
        }
        if (ac.phase == AcPhase::Parked)
            lf_dueNextPass(ac);
        lf_abandonInvented(ac);
    }
    if (!ac.desc.airline.empty() && ac.cargoStand == ac.desc.cargo) {
        const std::uint64_t slot = currentDaySlot.load();
        if (lf_addRealParkPosOption(ac.standId, ac, true, slot, true))
            lf_stampLearnedSlot(ac.desc.key, static_cast<std::uint32_t>(slot >> 32));
    }
    gf_freeStand(ac);
}

bool lf_standRule(LiveAc& ac, StreamPosition& pos)
{
    ac.arrivedWhileLive = 1;
    const double d = gf_distanceNm({ac.standLat, ac.standLon}, lf_at(pos));
    const double atStand = ac.previousPhase == AcPhase::ToStand ? 2 * kAtStandNm : kAtStandNm;
    if (d <= atStand) {
        ac.parkedSince = gf_steadyTicks();
        if (ac.standLastDistance == 0.0) {
            ac.standFirstDistance = ac.standLastDistance = d;
            ac.standApproachCount = 0;
            ac.nearStand = 0;
            return false;
        }
        if (d < ac.standLastDistance + kStandStepNm) {
            ac.nearStand = 0;
            if (d <= ac.standLastDistance - kStandStepNm)
                ac.standApproachCount = 0;
            return false;
        }
        ++ac.standApproachCount;
        ac.standLastDistance = d;
        const double e = d - ac.standFirstDistance;
        const double span = ac.desc.halfWingspan;
        if (!(e > span || (ac.standApproachCount >= 3 && e >= span / 2))) {
            ac.nearStand = 0;
            return false;
        }
    } else if (ac.phase == AcPhase::ToStand) {
        ac.setPhase(AcPhase::Taxi);
        gf_giveUpStand(ac);
        pos.stop = 0;
        return true;
    } else if (d > kStandLeaveNm) {
        if (ac.state != AcState::InSim)
            return true;
        gf_removeAc(ac);
        return false;
    }
    pos.stop = 0;
    // The leave is checked at its first position only: the stand is learned and freed once.
    const bool leaving = ac.nearStand == 0;
    ac.nearStand = 1;
    if (leaving) {
        lf_standLeaveCheck(ac);
        ac.setPhase(AcPhase::Parked);
    }
    return true;
}

bool lf_landingRule(LiveAc& ac, StreamPosition& pos)
{
    if (ac.stream.empty())
        return true;
    if (lf_samePlace(pos, ac.stream.back()))
        return false;
    if (ac.stream.size() == 1) {
        const double angle = lf_angleOff(ac, ac.stream.front(), pos);
        if (ac.landing != 0) {
            if (angle >= 90.0)
                return false;
        } else if (angle >= 150.0 && ac.extrapolationsLeft > 0) {
            return false;
        } else {
            StreamPosition oldest = pos;
            oldest.lat = ac.pose.latitude;
            oldest.lon = ac.pose.longitude;
            oldest.duePass = passCounter.load() + 1;
            ac.stream.front() = oldest;
        }
    } else {
        if (lf_angleOff(ac, ac.stream.back(), pos) >= 90.0)
            ac.stream.pop_back();
        if (ac.stream.size() >= 2 && lf_angleOff(ac, ac.stream.back(), pos) >= 90.0)
            ac.stream.pop_back();
    }
    if (ac.extrapolationsLeft > 0)
        lf_abandonInvented(ac);
    const StreamPosition& newest = ac.stream.back();
    if (lf_samePlace(pos, newest)) {
        pos.stop = 1;
    } else {
        pos.stop = 0;
        if (pos.groundSpeed > newest.groundSpeed && pos.groundSpeed > 40)
            pos.groundSpeed = newest.groundSpeed;
    }
    return true;
}

// Phases Taxi, Takeoff and Airborne.
bool lf_movingRule(LiveAc& ac, StreamPosition& pos)
{
    if (ac.landing != 0 || ac.rollingOut != 0)
        return lf_landingRule(ac, pos);
    if (!lf_samePositionRule(ac, pos))
        return false;
    if (ac.extrapolationsLeft > 0) {
        // A position behind the invented ones would turn the aircraft back; a helicopter, which
        // turns on the spot, takes it.
        if (ac.groundMode == 0 && ac.desc.category != AcCategory::Rotorcraft && !ac.stream.empty() &&
            lf_angleOff(ac, ac.stream.back(), pos) >= 100.0)
            return false;
        lf_abandonInvented(ac);
        if (!ac.stream.empty())
            lf_dueNextPass(ac);
        ac.holding = 0;
        ac.holdingSincePass = 0;
    }
    return true;
}

// A touch and go: the rolling-out aircraft climbs away again.
void lf_touchAndGo(LiveAc& ac)
{
    const bool rotorcraft = ac.desc.category == AcCategory::Rotorcraft;
    ac.phase = AcPhase::Taxi; // set directly: the previous phase stays
    ac.takeoffRun = 1;
    gf_setThrottle(ac.objectId, ac.throttleStep, 3);
    if (!rotorcraft)
        gf_sendClientEvent(ac.objectId, simid::kSpoilersSet, 16383);
    gf_setFlaps(ac.objectId, ac.desc.category, ac.flapsStep, 1);
    ac.landing = ac.landed = 0;
    ac.climbConfigured = 0;
    gf_setLights(ac.objectId, AcLights{1, 1, 1, 1, 1, 1, 0});
    lf_resetBudgets(ac);
}

bool lf_allStops(const LiveAc& ac)
{
    for (const StreamPosition& p : ac.stream) {
        if (p.stop == 0)
            return false;
    }
    return true;
}

void lf_appendPosition(LiveAc& ac, StreamPosition& pos)
{
    if (!ac.stream.empty()) {
        if (pos.airborne == 0 && ac.stream.back().stop != 0) {
            if (pos.stop != 0 && lf_allStops(ac))
                ac.stream.resize(1);
            else if (pos.stop == 0)
                removeSmallStop(ac, pos);
        }
        const StreamPosition& newest = ac.stream.back();
        if (pos.duePass <= newest.duePass)
            pos.duePass = newest.duePass + 1;
        if (ac.state == AcState::InSim && ac.groundMode != 0 && ac.takeoffRun == 0) {
            if (ac.rollingOut == 0) {
                const bool fast = pos.groundSpeed >= 43 && newest.groundSpeed >= 43;
                if ((pos.airborne != 0 || fast) && ac.phase == AcPhase::Taxi)
                    lf_startTakeoffRun(ac);
            } else if (newest.airborne != 0 && pos.airborne != 0) {
                lf_touchAndGo(ac);
            }
        }
    }
    ac.stream.push_back(pos);
    if (ac.stream.size() == 2 && ac.stream[0].stop != 0 && ac.stream[1].stop != 0) {
        lf_dueNextPass(ac);
        ac.stream[0].groundSpeed = ac.stream[1].groundSpeed;
    }
}

} // namespace

void lf_addStreamPosition(LiveAc& ac, StreamPosition pos)
{
    if (ac.stream.size() > kMaxStream) {
        gf_removeAc(ac);
        return;
    }
    if (ac.holding != 0 && !ac.stream.empty() &&
        gf_distanceNm(lf_at(ac.stream.front()), lf_at(pos)) * kMetresPerNm > HOLDING_THRESHOLD_METERS.value.load()) {
        ac.holding = 0;
        ac.holdingSincePass = 0;
        gf_removeAc(ac);
        return;
    }
    switch (ac.phase) {
    case AcPhase::New:
        if (lf_samePositionRule(ac, pos)) {
            if (!ac.stream.empty() && pos.duePass <= ac.stream.back().duePass)
                pos.duePass = ac.stream.back().duePass + 1;
            ac.stream.push_back(pos);
        }
        return;
    case AcPhase::ToStand:
    case AcPhase::Parked:
        if (ac.state < AcState::InSim || !lf_standRule(ac, pos))
            return;
        break;
    case AcPhase::PushBack:
        lf_learnPushBackTurn(ac, pos);
        return;
    case AcPhase::PushBackDone:
        if (!lf_pushBackDoneRule(ac, pos))
            return;
        break;
    default:
        if (!lf_movingRule(ac, pos))
            return;
        break;
    }
    lf_appendPosition(ac, pos);
}

void removeSmallStop(LiveAc& ac, const StreamPosition& pos)
{
    try {
        const std::size_t size = ac.stream.size();
        if (size < 3)
            return;
        for (std::size_t rank = 2; rank <= 6 && rank <= size; ++rank) {
            if (ac.stream[size - rank].stop == 0) {
                checkStops(ac, pos, rank);
                return;
            }
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "removeSmallStop", e.what()));
    }
}

void checkStops(LiveAc& ac, const StreamPosition& pos, std::size_t rank)
{
    try {
        const StreamPosition& moving = gf_streamAt(ac.stream, ac.stream.size() - rank);
        const double seconds = (ac.stream.back().duePass - moving.duePass) / 100.0;
        if (seconds < 15.0 || gf_distanceNm(lf_at(pos), lf_at(moving)) <= kSmallStopNm)
            ac.stream.resize(ac.stream.size() - (rank - 1));
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: num:{} {}", "checkStops", rank, e.what()));
    }
}
