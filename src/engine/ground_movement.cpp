#include "engine/ground_movement.h"

#include "airports/airport_services.h"
#include "airports/stand.h"
#include "airports/traffic_range.h"
#include "core/clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "engine/ac_identity.h"
#include "engine/air_movement.h"
#include "engine/angles.h"
#include "engine/live_removal.h"
#include "engine/live_sim_events.h"
#include "engine/live_update.h"
#include "engine/neighbour_services.h"
#include "engine/park_options.h"
#include "engine/parked_removal.h"
#include "engine/stand_conflicts.h"
#include "engine/taxiing_grid.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "params/window_fields.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "traffic/traffic_queue.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fmt/format.h>
#include <gsl/narrow>

std::atomic<std::uint32_t> cargoStandCount{0};

namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kMetresPerNm = 1852.0;
constexpr double kMidpointTurnNm = 0.02699784017278618; // 50 m
constexpr double kStandClaimNm = 0.018898488120950324;  // 35 m
constexpr double kAtStandNm = 0.0010799136069114472;    // 2 m
constexpr std::int32_t kWeekOfPasses = 604800 * 100;
constexpr std::int32_t kHoldStopPasses = 300;

LatLon lf_poseAt(const LiveAc& ac)
{
    return {ac.pose.latitude, ac.pose.longitude};
}

double lf_degrees(double radians)
{
    return radians * geo::kRadToDeg;
}

// b - a in degrees, folded into [-180, 180].
double lf_turnDegrees(double a, double b)
{
    return lf_degrees(gf_angleDifference(a, b));
}

// Passes to cover this many nautical miles at this many knots; a speed that is not above 0
// counts as 1 kn, so that a record without a stand speed still gets a finite leg.
double lf_passesAt(double distanceNm, double knots)
{
    return distanceNm / (knots > 0.0 ? knots : 1.0) * 360000.0;
}

std::int32_t lf_nowPlus(double passes)
{
    return gsl::narrow<std::int32_t>(passCounter.load() + std::llround(passes));
}

void lf_leaveStandConfig(LiveAc& ac)
{
    gf_sendClientEvent(ac.objectId, simid::kEngineAutoStart, 0);
    gf_setThrottle(ac.objectId, ac.throttleStep, 0);
    gf_setFlaps(ac.objectId, ac.desc.category, ac.flapsStep, 1);
}

// ---- Planning by phase ----

void lf_pushBackLeg(LiveAc& ac)
{
    --ac.pushBackLegs;
    if (ac.pushBackLegs == 1) { // the straight part ends
        if (ac.pushBackTurnKnown == 0) {
            if (ac.stream.size() > 2)
                ac.stream.pop_back(); // the left-hand end
        } else if (ac.stream.size() >= 3) {
            if (ac.pushBackTurnRight != 0)
                ac.stream.back() = ac.pushBackEnd;
            lf_makeCurve(ac);
            const double passes = std::round(90.0 / ac.desc.groundTurnRate / 100.0);
            ac.curveTStep = 1.0 / std::max(passes, 1.0);
            ac.turnDistance = 90.0;
        }
    } else if (ac.pushBackLegs <= 0) {
        ac.legBearing = ac.pose.heading;
        lf_leaveStandConfig(ac);
        ac.setPhase(AcPhase::PushBackDone);
        ac.pushBackLegs = 1;
        ac.holdDistance = 900.0;
        ac.extrapolationsLeft = 0;
        ac.nearStand = 0;
    }
    lf_groundLegTiming(ac);
}

void lf_parkedLeg(LiveAc& ac)
{
    lf_resetBudgets(ac);
    if (ac.nearStand != 0) {
        const double out = gf_initialBearing({ac.standLat, ac.standLon}, lf_at(ac.stream.back()));
        const double angle = std::round(lf_turnDegrees(ac.standHeading, out));
        if (std::abs(angle) < 90.0)
            lf_pullOut(ac);
        else
            lf_pushBack(ac);
    }
    lf_groundLegTiming(ac);
}

// The shape of a leg toward a moving next position.
void lf_shapeMovingLeg(LiveAc& ac)
{
    const std::size_t size = ac.stream.size();
    if (size >= 3 && ac.stream[2].stop == 0) {
        const double a = std::abs(lf_degrees(lf_turnAtNext(ac)));
        const StreamPosition& oldest = ac.stream[0];
        const StreamPosition& next = ac.stream[1];
        const StreamPosition& third = ac.stream[2];
        if (a > 45.0 && gf_distanceNm(lf_at(oldest), lf_at(next)) > kMidpointTurnNm &&
            oldest.groundSpeed <= 43.0 && std::int64_t{next.duePass} - oldest.duePass >= 600) {
            lf_insertMidpoint(ac);
        } else if (a > 3.0 && a <= 160.0 && (oldest.lat != third.lat || oldest.lon != third.lon)) {
            lf_makeCurve(ac);
            ac.turnDistance = a;
        } else {
            lf_speedChangeSplit(ac);
        }
    } else if (size >= 3 || ac.extrapolationsLeft <= 0) {
        lf_speedChangeSplit(ac);
    }
    if (ac.curveActive()) {
        ac.curveTurn = 0;
    } else {
        ac.turnDistanceCurve = std::abs(lf_turnDegrees(ac.pose.heading, ac.legBearing));
        ac.curveTurn = ac.turnDistanceCurve > 3.0 ? 1 : 0;
    }
}

// A taxiing aircraft that stops where the stream ends may want a stand there.
void lf_standClaim(LiveAc& ac)
{
    const AcPhase before = ac.previousPhase;
    const bool fromStand = before == AcPhase::PushBack || before == AcPhase::PushBackDone || before == AcPhase::Parked;
    if (ac.stream.back().stop == 0 || ac.phase != AcPhase::Taxi || !staticParkingActive.load() ||
        (ac.towed == 0 && fromStand))
        return;
    if (ac.extrapolationsLeft > 0) {
        lf_standWanted(ac, ac.landed != 0);
        return;
    }
    if (gf_streamAt(ac.stream, 1).groundSpeed <= 5.0 &&
        gf_distanceNm(lf_poseAt(ac), lf_at(ac.stream.back())) <= kStandClaimNm)
        lf_standWanted(ac, false);
}

void lf_taxiLeg(LiveAc& ac)
{
    if (gf_streamAt(ac.stream, 1).stop == 0)
        lf_shapeMovingLeg(ac);
    lf_standClaim(ac);
    lf_groundLegTiming(ac);
}

// The working turn rate of a turning leg of n passes over distanceNm.
void lf_scaleTurnRate(LiveAc& ac, double n, double distanceNm)
{
    const double a = ac.curveTurn != 0 ? ac.turnDistanceCurve : ac.turnDistance;
    double rate = ac.desc.groundTurnRate;
    const double m = std::max(std::round(a / rate / 100.0), 1.0);
    const double r = n / m;
    if (a == 0.0 || !(distanceNm > 0.0))
        return;
    if (a <= 45.0) {
        const double divisor = r >= 1.2 ? std::min({r * 10.0 / a, r * 30.0 * kNmPerMetre / distanceNm, r}) : r;
        if (divisor != 0.0)
            rate /= divisor;
    } else {
        // A sharp turn is sped up only as far as the leg is too short for it at the category's
        // rate, and at most threefold: a leg with time for the turn keeps the category's rate.
        const double neededPasses = a * geo::kDegToRad / rate;
        rate *= std::clamp(neededPasses / n, 1.0, std::min(a, 90.0) / 30.0);
        if (a >= 90.0) {
            ac.maxLead = std::max(ac.maxLead, 2000);
            ac.maxLag = std::max(ac.maxLag, 2000);
        }
    }
    ac.desc.groundTurnRate = rate;
}

// ---- Holding and invented positions ----

// Another aircraft taxis into the holding one. One that stands too (holding, or at a stop, as in
// a queue at a holding point) blocks nothing.
bool lf_blockedByTaxiingAc(const LiveAc& ac)
{
    constexpr double kClearance = 1.2; // times the two half wingspans
    return taxiingGrid.anyNear(ac, kClearance, [&ac](const LiveAc& other) {
        return &other != &ac && lf_mayBlockHolding(other) &&
               gf_distanceNm(lf_poseAt(ac), lf_poseAt(other)) <= kClearance * (ac.desc.halfWingspan + other.desc.halfWingspan);
    });
}

bool lf_holdRule(LiveAc& ac)
{
    if (lf_blockedByTaxiingAc(ac)) {
        ac.holding = 0;
        ac.holdingSincePass = 0;
        return false;
    }
    const auto now = static_cast<std::uint32_t>(passCounter.load());
    if (ac.holding != 0 && (now - ac.holdingSincePass) / 6000.0 > MAX_HOLDING_MINUTES.value.load())
        return false;
    if (ac.holding == 0) {
        ac.holding = 1;
        ac.holdingSincePass = now;
    }
    StreamPosition stop = gf_streamAt(ac.stream, 0);
    stop.duePass += kHoldStopPasses;
    stop.groundSpeed = 0.0;
    stop.stop = 1;
    ac.stream.push_back(stop);
    ac.extrapolationsLeft = 1;
    return true;
}

bool lf_categoryWanted(AcCategory category)
{
    switch (category) {
    case AcCategory::Light:
        return LIGHT_AIRCRAFT.value.load();
    case AcCategory::HighPerf:
        return HIGH_PERF_AIRCRAFT.value.load();
    case AcCategory::Rotorcraft:
        return HELICOPTERS.value.load();
    default:
        return true;
    }
}

// The first position invented for an aircraft whose stream ran dry.
bool lf_firstInvention(LiveAc& ac)
{
    if (!lf_categoryWanted(ac.desc.category))
        return false;
    if (ac.groundMode != 0) {
        lf_extendStream(ac, ac.phase == AcPhase::Parked ? 1 : 10);
        return true;
    }
    if (autoRangeGroundFlag.load())
        return false;
    if (!gf_inNotYetKnownBox(userAc.latitude, userAc.longitude) &&
        gf_distanceNm(lf_poseAt(ac), {userAc.latitude, userAc.longitude}) >= LATERAL_RANGE.value.load() - 0.5)
        return false;
    lf_extendStream(ac, 8);
    return true;
}

double lf_takeoffRunSpeed(StreamPosition& p, double v)
{
    if (v <= 30.0)
        return 40.0;
    if (v <= 60.0)
        return 80.0;
    if (v <= 100.0)
        return 110.0;
    p.verticalSpeed = v <= 140.0 ? 600.0 : v <= 160.0 ? 1200.0 : 2400.0;
    return v <= 140.0 ? 150.0 : v <= 160.0 ? 170.0 : 180.0;
}

double lf_rollOutSpeed(double v)
{
    if (v >= 140.0)
        return 100.0;
    if (v >= 100.0)
        return 80.0;
    if (v >= 80.0)
        return 60.0;
    if (v >= 60.0)
        return 30.0;
    return 20.0;
}

// Moves the invented position t seconds along the heading, with the vertical path of a
// landing or a take-off.
void lf_advanceInvented(LiveAc& ac, StreamPosition& p, double seconds)
{
    const bool free = ac.groundMode == 0 || ac.rollingOut != 0;
    if (free && !(p.groundSpeed > 0.0))
        return;
    const double feet = seconds * 100.0 * p.groundSpeed * kFeetPerNm / 360000.0;
    const LatLon to = gf_destinationPoint(lf_at(p), ac.pose.heading, feet);
    p.stop = to.latitude == p.lat && to.longitude == p.lon ? 1 : 0;
    p.lat = to.latitude;
    p.lon = to.longitude;
    if (ac.landing != 0 && ac.flareStage == 0) {
        p.verticalSpeed = -667.0;
        p.altitude = std::max(p.altitude - seconds * 10.005, 0.0);
        p.airborne = p.altitude > 0.0 ? 1 : 0;
    } else if (ac.landing == 0 && ac.phase == AcPhase::Takeoff) {
        p.verticalSpeed = 1500.0;
        p.altitude += seconds * 25.0;
        p.airborne = p.altitude > 0.0 ? 1 : 0;
    }
}

} // namespace

void nextPosGround(LiveAc& ac)
{
    try {
        switch (ac.phase) {
        case AcPhase::PushBack:
            lf_pushBackLeg(ac);
            return;
        case AcPhase::Parked:
            lf_parkedLeg(ac);
            return;
        case AcPhase::Taxi:
        case AcPhase::Takeoff:
        case AcPhase::Airborne:
        case AcPhase::ToStand:
        case AcPhase::New:
            if (ac.stream.size() >= 2) {
                lf_taxiLeg(ac);
                return;
            }
            break;
        default:
            break;
        }
        lf_groundLegTiming(ac);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}, {}, sz:{}", "nextPosGround", e.what(), gf_aircraftLabel(ac), ac.stream.size()));
        throw;
    }
}

void lf_groundLegTiming(LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    const StreamPosition& next = gf_streamAt(ac.stream, 1);
    if (next.stop != 0) {
        const std::int64_t between = std::max<std::int64_t>(std::int64_t{next.duePass} - oldest.duePass, 25);
        const std::int64_t fromNow = oldest.duePass + between - std::int64_t{passCounter.load()};
        lf_setLegDue(ac, std::max<std::int64_t>(fromNow, 25));
        return;
    }
    ac.desc.groundTurnRate = ac.desc.groundTurnRateDefault;
    const double distance = gf_distanceNm(lf_poseAt(ac), lf_at(next));
    const double n = std::max(std::round(lf_passesAt(distance, lf_legSpeed(ac))), 25.0);
    if (ac.curveActive() || ac.curveTurn != 0)
        lf_scaleTurnRate(ac, n, distance);
    lf_setLegDue(ac, static_cast<std::int64_t>(n));
}

void lf_groundLegStep(LiveAc& ac)
{
    if (ac.phase == AcPhase::Airborne || ac.phase == AcPhase::Parked)
        ac.setPhase(AcPhase::Taxi);
    else if (ac.takeoffRun == 0 && ac.rollingOut != 0)
        lf_rollOut(ac);
    else if (ac.takeoffRun == 0)
        gf_setThrottle(ac.objectId, ac.throttleStep, lf_isRotorcraft(ac) ? 4 : 0);
    else
        gf_setThrottle(ac.objectId, ac.throttleStep, lf_takeoffThrottle(ac));
    if (ac.rollingOut == 0 && ac.takeoffRun == 0)
        lf_shrinkBudgets(ac);
    if (ac.flareStage == 0 && ac.phase != AcPhase::Takeoff) {
        ac.pose.pitch = ac.desc.staticPitch;
        ac.pose.bank = 0.0;
        ac.pitchStep = ac.bankStep = 0.0;
    }
    if (ac.curveActive())
        ac.curveTStep = 1.0 / lf_passesToNextPosition(ac);
    const double speed = gf_streamAt(ac.stream, 1).groundSpeed;
    ac.legSpeed = ac.phase == AcPhase::PushBack ? -speed : speed;
    if (ac.takeoffRun != 0 && ac.phase != AcPhase::Takeoff)
        lf_liftOffTest(ac);
}

void lf_speedChangeSplit(LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    const StreamPosition& next = gf_streamAt(ac.stream, 1);
    if ((oldest.groundSpeed > 0.0 || next.groundSpeed > 0.0) &&
        std::abs(oldest.groundSpeed - next.groundSpeed) > 5.0 &&
        gf_distanceNm(lf_at(oldest), lf_at(next)) * kMetresPerNm >= 100.0)
        lf_insertMidpoint(ac);
}

void lf_insertMidpoint(LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    const StreamPosition& next = gf_streamAt(ac.stream, 1);
    StreamPosition mid = oldest;
    mid.lat = (oldest.lat + next.lat) / 2.0;
    mid.lon = (oldest.lon + next.lon) / 2.0;
    mid.altitude = (oldest.altitude + next.altitude) / 2.0;
    mid.groundSpeed = (oldest.groundSpeed + next.groundSpeed) / 2.0;
    mid.duePass = static_cast<std::int32_t>((std::int64_t{oldest.duePass} + next.duePass) / 2);
    if (mid.altitude > 0.0) {
        mid.airborne = 1;
    } else {
        mid.airborne = 0;
        mid.altitude = 0.0;
    }
    mid.stop = 0;
    ac.stream.insert(ac.stream.begin() + 1, mid);
}

void lf_makeCurve(LiveAc& ac)
{
    StreamPosition& third = gf_streamAt(ac.stream, 2);
    const StreamPosition& oldest = ac.stream[0];
    const StreamPosition& next = ac.stream[1];
    if (third.groundSpeed == 0.0)
        third.groundSpeed = (oldest.groundSpeed + next.groundSpeed) / 2.0;
    const double lat0 = ac.pose.latitude;
    const double lon0 = ac.pose.longitude;
    const double eastPerDegree = geo::kMetresPerDegreeLat * std::cos(lat0 * geo::kDegToRad);
    CurveSegment curve;
    curve.lat0 = lat0;
    curve.lon0 = lon0;
    curve.t0 = 0.0;
    curve.t1 = 1.0;
    curve.controlNorth = (next.lat - lat0) * geo::kMetresPerDegreeLat;
    curve.controlEast = gf_longitudeDifference(lon0, next.lon) * eastPerDegree;
    curve.endNorth = (third.lat - lat0) * geo::kMetresPerDegreeLat;
    curve.endEast = gf_longitudeDifference(lon0, third.lon) * eastPerDegree;
    ac.curve = curve;
    ac.curveT = 0.0;
    ac.stream.erase(ac.stream.begin() + 1);
}

void lf_pushBack(LiveAc& ac)
{
    ac.extrapolationsLeft = 0;
    const double back = gf_wrapHeading(ac.standHeading + geo::kPi);
    const Stand* stand = gf_findStandById(ac.standId);
    if (stand == nullptr)
        return;
    const double speed = ac.desc.standSpeed;
    const LatLon end = gf_destinationPoint(lf_poseAt(ac), back, 2.5 * stand->radius * kFeetPerNm);
    const double straight = lf_passesAt(gf_distanceNm(lf_poseAt(ac), end), speed);
    StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    oldest.groundSpeed = speed;
    StreamPosition straightEnd = oldest;
    straightEnd.lat = end.latitude;
    straightEnd.lon = end.longitude;
    straightEnd.stop = 0;
    straightEnd.duePass = lf_nowPlus(straight);
    // The heading is kept while backing out: a stale turn toward a former leg would swing it.
    ac.legBearing = ac.pose.heading;
    ac.curveTurn = 0;
    ac.stream.resize(1);
    ac.stream.push_back(straightEnd);
    lf_insertMidpoint(ac);
    const double halfSpanFeet = ac.desc.halfWingspan * kFeetPerNm;
    StreamPosition right = straightEnd;
    const LatLon rightAt = gf_destinationPoint(end, gf_wrapHeading(back + geo::kPi / 2), halfSpanFeet);
    right.lat = rightAt.latitude;
    right.lon = rightAt.longitude;
    StreamPosition left = straightEnd;
    const LatLon leftAt = gf_destinationPoint(end, gf_wrapHeading(back - geo::kPi / 2), halfSpanFeet);
    left.lat = leftAt.latitude;
    left.lon = leftAt.longitude;
    const double toEnd = lf_passesAt(gf_distanceNm(lf_at(ac.stream[1]), rightAt), speed);
    right.duePass = left.duePass = lf_nowPlus(straight / 2.0 + toEnd);
    ac.pushBackEnd = right;
    ac.stream.push_back(left);
    gf_setLights(ac.objectId, AcLights{1, 1, 0, 1, 0, 1, 0});
    ac.setPhase(AcPhase::PushBack);
    ac.pushBackLegs = 2;
}

void lf_pullOut(LiveAc& ac)
{
    ac.nearStand = 0;
    ac.extrapolationsLeft = 0;
    const double speed = ac.desc.standSpeed;
    const LatLon end =
        gf_destinationPoint({ac.standLat, ac.standLon}, ac.standHeading, 2.0 * ac.desc.halfWingspan * kFeetPerNm);
    gf_streamAt(ac.stream, 0).groundSpeed = speed;
    StreamPosition out;
    out.lat = end.latitude;
    out.lon = end.longitude;
    out.groundSpeed = speed;
    out.duePass = lf_nowPlus(lf_passesAt(gf_distanceNm(lf_poseAt(ac), end), speed));
    ac.stream.resize(1);
    ac.stream.push_back(out);
    ac.setPhase(AcPhase::Taxi);
    ac.legBearing = ac.pose.heading;
    gf_setLights(ac.objectId, AcLights{1, 1, 0, 1, 0, 1, 0});
    lf_leaveStandConfig(ac);
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: {:8} pulling out", gf_standName(ac.standId), ac.desc.callsign));
    gf_giveUpStand(ac);
}

void lf_insertStandStop(LiveAc& ac)
{
    StreamPosition& newest = ac.stream.back();
    const LatLon stand{ac.standLat, ac.standLon};
    const double approach = std::round(lf_passesAt(gf_distanceNm(lf_at(newest), stand), ac.desc.standSpeed));
    const std::int64_t n = approach <= 100.0 ? 100 : static_cast<std::int64_t>(approach);
    newest.groundSpeed = ac.desc.standSpeed;
    StreamPosition at;
    at.lat = stand.latitude;
    at.lon = stand.longitude;
    at.groundSpeed = at.trueAirspeed = ac.desc.standSpeed;
    at.roll = ac.pose.bank;
    at.altitude = ac.pose.altitude;
    at.track = lf_degrees(ac.standHeading);
    at.attitudeFlag = newest.attitudeFlag;
    at.stop = newest.lat == stand.latitude && newest.lon == stand.longitude ? 1 : 0;
    at.duePass = gsl::narrow<std::int32_t>(gf_streamAt(ac.stream, 0).duePass + n);
    StreamPosition still = at;
    still.groundSpeed = still.trueAirspeed = 0.0;
    still.stop = 1;
    still.duePass = gsl::narrow<std::int32_t>(std::int64_t{at.duePass} + 50);
    ac.stream.push_back(at);
    ac.stream.push_back(still);
    ac.legBearing = ac.standHeading;
    lf_abandonInvented(ac);
}

void lf_towedAcParks(LiveAc& ac)
{
    Stand* stand = gf_findStandById(ac.standId);
    if (stand != nullptr && stand->occupied) {
        ac.extrapolationsLeft = 1;
        gf_removeAc(ac); // the stand stays with the aircraft standing there
        return;
    }
    if (gf_distanceNm(lf_poseAt(ac), {ac.standLat, ac.standLon}) > kAtStandNm) {
        ac.setPhase(AcPhase::Taxi);
        gf_giveUpStand(ac);
        return;
    }
    ac.setPhase(AcPhase::Parked);
    if (stand != nullptr)
        gf_occupyStand(ac, *stand);
    ac.parkedStamp = currentDaySlot.load();
    if (ac.towed != 0 && LOG.value.load())
        gf_log(fmt::format("          towed aircraft {} parks", gf_aircraftLabel(ac)));
    gf_streamAt(ac.stream, 0).stop = 1;
    ac.parkedSince = gf_steadyTicks();
    ac.standLastDistance = 0.0;
    ac.standApproachCount = 0;
    lf_cargoStand(ac);
    gf_shutdownAc(ac.objectId, ac.desc.category, ac.desc.cargo != 0, ac.throttleStep, ac.flapsStep);
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: {:8} arrived at stand", gf_standName(ac.standId), ac.desc.callsign));
    spawnCheckList.push_back(ac.desc.key);
    if (ac.desc.airline.empty() || ac.cargoStand != ac.desc.cargo)
        return;
    if (lf_addRealParkPosOption(ac.standId, ac, false, ac.parkedStamp, false)) {
        lf_stampLearnedSlot(ac.desc.key, static_cast<std::uint32_t>(ac.parkedStamp >> 32));
        lf_checkMaxPark(0);
    }
}

void lf_extendStream(LiveAc& ac, std::int32_t n)
{
    ac.extrapolationsLeft = n;
    StreamPosition p = gf_streamAt(ac.stream, 0);
    const double seconds = ac.groundMode != 0 ? 3.0 : 8.0;
    const double v = p.groundSpeed;
    const bool parked = ac.phase == AcPhase::Parked;
    bool moving = true;
    if (p.stop != 0 || parked || (ac.groundMode != 0 && ac.rollingOut == 0 && ac.takeoffRun == 0)) {
        p.groundSpeed = 0.0;
        p.stop = 1;
        moving = false;
    } else if (ac.groundMode != 0 && ac.rollingOut == 0) {
        p.groundSpeed = lf_takeoffRunSpeed(p, v);
    } else if (ac.rollingOut != 0) {
        p.groundSpeed = lf_rollOutSpeed(v);
        p.verticalSpeed = 0.0;
    } else if (!(ac.landing != 0 && n < 4)) {
        p.groundSpeed = std::max((ac.landing != 0 ? 0.9 : 0.95) * v, 1.0);
    }
    if (moving)
        lf_advanceInvented(ac, p, seconds);
    if (parked) {
        p.duePass = gsl::narrow<std::int32_t>(std::int64_t{p.duePass} + kWeekOfPasses);
        ac.arrivedWhileLive = 0;
        gf_freeStand(ac);
    } else {
        p.duePass = gsl::narrow<std::int32_t>(std::int64_t{p.duePass} + static_cast<std::int64_t>(seconds * 100.0));
    }
    ac.stream.push_back(p);
}

bool lf_streamEndRule(LiveAc& ac)
{
    if (ac.phase == AcPhase::ToStand)
        lf_towedAcParks(ac);
    const bool taxiing = ac.phase == AcPhase::Taxi && ac.rollingOut == 0 && ac.takeoffRun == 0;
    if (ac.state != AcState::Removing && (ac.phase == AcPhase::PushBackDone || taxiing))
        return lf_holdRule(ac);
    if (ac.extrapolationsLeft < 0)
        return false;
    if (ac.extrapolationsLeft == 1) {
        ac.extrapolationsLeft = -1;
        return false;
    }
    if (ac.extrapolationsLeft > 1) {
        lf_extendStream(ac, ac.extrapolationsLeft - 1);
        return true;
    }
    return lf_firstInvention(ac);
}

void lf_cargoStand(LiveAc& ac)
{
    Stand* stand = gf_findStandById(ac.standId);
    if (ac.desc.cargo == 0 || stand == nullptr || stand->cargo)
        return;
    stand->cargo = true;
    stand->cargoChange = true; // kept in the learned file
    ac.cargoStand = 1;
    ++cargoStandCount;
    gf_logWarning(fmt::format("{} stand: {}, cargo attribute set to true, {} parked here", gf_parkAirport().code,
                              stand->name, gf_aircraftLabel(ac)));
    gf_invalidateParkingBand();
}

