#include "engine/air_movement.h"

#include "core/geodesy.h"
#include "core/log.h"
#include "engine/ac_identity.h"
#include "engine/angles.h"
#include "engine/ground_movement.h"
#include "engine/live_removal.h"
#include "engine/live_sim_events.h"
#include "engine/live_update.h"
#include "engine/neighbour_services.h"
#include "engine/park_options.h"
#include "engine/update_pass.h"
#include "params/park_airport.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fmt/format.h>
#include <gsl/narrow>

namespace {

// Limits of the air movement by category.
struct AirLimits {
    double takeoffSpeed;   // knots
    double maxBank;        // degrees
    double maxBankChange;  // degrees per pass
    double maxPitchChange; // degrees per pass
};

constexpr std::array<AirLimits, kCategoryCount> kAirLimits{{
    {90.0, 40.0, 0.035, 0.01},
    {110.0, 35.0, 0.0275, 0.0085},
    {140.0, 30.0, 0.02, 0.0075},
    {150.0, 20.0, 0.015, 0.005},
    {220.0, 90.0, 0.1, 0.03},
    {0.0, 75.0, 0.06, 0.03},
}};

// Positions invented in one pass when the stream ends: each one is normally flown at once, so a
// handful is plenty; the limit only guards against invented stops that an aircraft in the air
// drops again, which would keep the planning going round for ever.
constexpr int kMaxPlanningRounds = 32;

constexpr double kLowLightsAltitude = 10000.0; // feet
constexpr double kNearParkAirportNm = 10.0;

void lf_throttle(LiveAc& ac, std::uint32_t step)
{
    gf_setThrottle(ac.objectId, ac.throttleStep, step);
}

// A rotorcraft keeps full power where a fixed-wing aircraft sets this step.
void lf_throttleOrFull(LiveAc& ac, std::uint32_t step)
{
    lf_throttle(ac, lf_isRotorcraft(ac) ? 4 : step);
}

void lf_flaps(LiveAc& ac, std::uint32_t step)
{
    gf_setFlaps(ac.objectId, ac.desc.category, ac.flapsStep, step);
}

void lf_gear(LiveAc& ac, bool down)
{
    gf_setGear(ac.objectId, ac.desc.category, down);
}

LatLon lf_poseAt(const LiveAc& ac)
{
    return {ac.pose.latitude, ac.pose.longitude};
}

// Passes of a leg of this many nautical miles at this many knots; at least 25.
std::int64_t lf_legPasses(double distanceNm, double knots)
{
    const double passes = std::round(distanceNm * 360000.0 / knots);
    if (!(passes >= 25.0))
        return 25;
    return passes > 1e12 ? std::int64_t{1000000000000} : static_cast<std::int64_t>(passes);
}

bool lf_nearParkAirport(const LiveAc& ac)
{
    const std::optional<ParkAirportSite> site = gf_parkAirportSite();
    return site && gf_distanceNm(lf_poseAt(ac), site->position) <= kNearParkAirportNm;
}

void lf_climbStep(LiveAc& ac, const StreamPosition& next, double passes)
{
    if (next.altitude > ac.pose.altitude)
        ac.altitudeStep = std::min((next.altitude - ac.pose.altitude) / passes, ac.desc.maxClimbStep);
    else
        ac.altitudeStep = 0.0;
}

void lf_setRate(LiveAc& ac, StreamPosition& next, double rate)
{
    next.verticalSpeed = rate;
    ac.verticalRate = rate;
    ac.altitudeStep = rate / 6000.0;
}

void lf_airborneLeg(LiveAc& ac, StreamPosition& oldest, StreamPosition& next, double passes)
{
    if (ac.landing != 0 && oldest.altitude == next.altitude && ac.heightAboveGround <= 1000.0 &&
        oldest.verticalSpeed + next.verticalSpeed <= 100.0) {
        lf_setRate(ac, next, lf_glideRate(ac));
        return;
    }
    const double s = (next.altitude - ac.pose.altitude) / passes;
    if (ac.landing != 0)
        ac.altitudeStep = s;
    else if (ac.heightAboveGround <= 1000.0) // a level or descending leg still climbs away
        ac.altitudeStep = std::min(std::isnan(s) || s < 0.2 ? 0.2 : s, ac.desc.maxClimbStep);
    else
        ac.altitudeStep = std::min(s, ac.desc.maxClimbStep);
}

void lf_finalApproachLeg(LiveAc& ac, StreamPosition& next, double passes)
{
    const std::optional<ParkAirportSite> site = gf_parkAirportSite();
    const std::int32_t qnh = currentQnh.load();
    if (site && qnh <= 1013)
        ac.altitudeStep = (site->elevation - ac.pose.altitude) / passes;
    else
        lf_setRate(ac, next, qnh > 1013 ? lf_glideRate(ac) : -601.0);
    lf_gear(ac, true);
}

void lf_verticalStep(LiveAc& ac, double passes)
{
    StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    StreamPosition& next = gf_streamAt(ac.stream, 1);
    if (oldest.airborne == 0 && next.airborne != 0)
        lf_climbStep(ac, next, passes);
    else if (oldest.airborne != 0 && next.airborne != 0)
        lf_airborneLeg(ac, oldest, next, passes);
    else if (oldest.airborne != 0)
        lf_finalApproachLeg(ac, next, passes);
    else if (ac.groundMode == 0)
        lf_lowLegs(ac);
}

void lf_pitchStep(LiveAc& ac, double passes)
{
    double rate = gf_streamAt(ac.stream, 1).verticalSpeed;
    rate = rate >= 0.0 ? std::min(rate, 2400.0) : std::max(rate, -3000.0) / 2.0;
    const double target = (-3.0 - rate / 600.0 * 2.2) * geo::kDegToRad;
    const double limit = gf_categoryEntry(kAirLimits, ac.desc.category).maxPitchChange * geo::kDegToRad;
    ac.pitchStep = std::clamp((target - ac.pose.pitch) / passes, -limit, limit);
}

void lf_headingAndBank(LiveAc& ac, double passes)
{
    const StreamPosition& next = gf_streamAt(ac.stream, 1);
    const double lowLimit = ac.landing != 0 ? 2000.0 : 1000.0;
    double turn = 0.0;
    if (next.attitudeFlag != 0 && next.roll && next.trueHeading && ac.heightAboveGround < lowLimit)
        turn = gf_foldRadians(*next.trueHeading - ac.pose.heading);
    else
        turn = lf_turnAtNext(ac);
    ac.headingStep = turn / passes;
    if (next.roll) {
        ac.bankStep = (*next.roll - ac.pose.bank) / passes;
        return;
    }
    const AirLimits& limits = gf_categoryEntry(kAirLimits, ac.desc.category);
    const double maxBank = limits.maxBank * geo::kDegToRad;
    const double maxChange = limits.maxBankChange * geo::kDegToRad;
    const double target = std::clamp(turn, -maxBank, maxBank);
    ac.bankStep = std::clamp((-target - ac.pose.bank) / passes, -maxChange, maxChange);
}

void lf_lightsAndConfig(LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    if (oldest.altitude < kLowLightsAltitude) {
        if (ac.lowLights == 0) {
            gf_setLights(ac.objectId, AcLights{1, 1, 1, 1, 1, 1, 1});
            ac.lowLights = 1;
            ac.highLights = 0;
        }
        const AcCategory c = ac.desc.category;
        const bool airliner = c == AcCategory::Buzjets || c == AcCategory::Large || c == AcCategory::Heavy;
        if (ac.heightAboveGround > (airliner ? 2050.0 : 625.0))
            lf_climbOutConfig(ac);
        else
            lf_lowAltitudeConfig(ac);
        return;
    }
    if (ac.highLights != 0)
        return;
    ac.highLights = 1;
    ac.lowLights = 0;
    gf_setLights(ac.objectId, AcLights{1, 1, 0, 0, 0, 0, 1});
    lf_throttleOrFull(ac, 3);
    lf_gear(ac, false);
    lf_flaps(ac, 0);
}

void lf_beginLanding(LiveAc& ac)
{
    lf_throttleOrFull(ac, 1);
    lf_flaps(ac, 3);
    lf_gear(ac, true);
    spawnCheckList.push_back(ac.desc.key);
    ac.landing = 1;
    ac.climbConfigured = 0;
    gf_giveUpStand(ac);
    ac.rotationCounter = 1;
    lf_resetBudgets(ac);
}

void lf_clearCurve(LiveAc& ac)
{
    ac.curve = gf_noCurve();
    ac.curve.t0 = ac.curve.t1 = std::numeric_limits<double>::quiet_NaN();
    ac.curveT = 0.0;
}

bool lf_allLater(const LiveAc& ac, auto&& test)
{
    return std::all_of(ac.stream.begin() + 1, ac.stream.end(), test);
}

// An aircraft in the take-off phase takes no ground contact until it is well up. When every
// position it received from the next one on lies on the ground (the traffic parser puts a line
// below the field there too), it is not taking off (a landing roll taken for a touch and go, a
// rejected take-off): it goes back to the ground.
void lf_endTakeoffOnTheGround(LiveAc& ac)
{
    if (ac.phase != AcPhase::Takeoff || !lf_allLater(ac, [](const StreamPosition& p) { return p.airborne == 0; }))
        return;
    ac.groundMode = 1;
    ac.altitudeStep = 0.0;
    ac.rotationCounter = 1;
    ac.takeoffRun = 0;
    ac.setPhase(AcPhase::Taxi);
}

void lf_planLeg(LiveAc& ac)
{
    lf_clearCurve(ac);
    {
        const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
        StreamPosition& next = gf_streamAt(ac.stream, 1);
        if (next.lat == oldest.lat && next.lon == oldest.lon)
            next.stop = 1;
        else
            ac.legBearing = gf_initialBearing(lf_at(oldest), lf_at(next));
    }
    lf_endTakeoffOnTheGround(ac);
    if (ac.groundMode != 0)
        nextPosGround(ac);
    else
        nextPosAir(ac);
    const StreamPosition& next = gf_streamAt(ac.stream, 1);
    if (next.stop != 0) {
        ac.latStep = ac.lonStep = 0.0;
        if (ac.rollingOut == 0 && ac.takeoffRun == 0)
            lf_shrinkBudgets(ac);
    } else {
        const double passes = lf_passesToNextPosition(ac);
        ac.latStep = (next.lat - ac.pose.latitude) / passes;
        ac.lonStep = gf_longitudeDifference(ac.pose.longitude, next.lon) / passes;
        if (ac.groundMode != 0)
            lf_groundLegStep(ac);
        else
            lf_airLegStep(ac);
    }
    ac.stream.pop_front();
}

} // namespace

void nextPosMain(LiveAc& ac)
{
    try {
        for (int round = 0; round < kMaxPlanningRounds; ++round) {
            // An aircraft in the air never flies a stop.
            while (ac.stream.size() >= 2 && ac.groundMode == 0 && ac.stream[1].stop != 0 && !lf_isRotorcraft(ac))
                ac.stream.erase(ac.stream.begin() + 1);
            if (ac.stream.size() >= 2) {
                nextPos(ac);
                return;
            }
            if (!lf_streamEndRule(ac))
                break;
        }
        // A record already on its way out (a towed aircraft at an occupied stand) is not queued
        // for removal a second time.
        if (ac.state == AcState::Removing)
            return;
        if (ac.phase != AcPhase::Parked)
            lf_chooseArrivalStand(ac, ac.phase != AcPhase::Airborne);
        gf_removeAc(ac);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "nextPosMain", e.what()));
        throw;
    }
}

void nextPos(LiveAc& ac)
{
    try {
        lf_planLeg(ac);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}, {}, sz:{}", "nextPos", e.what(), gf_aircraftLabel(ac), ac.stream.size()));
        throw;
    }
}

void nextPosAir(LiveAc& ac)
{
    try {
        const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
        const StreamPosition& next = gf_streamAt(ac.stream, 1);
        if (next.stop != 0) {
            if (lf_isRotorcraft(ac))
                nextPosGround(ac);
            return;
        }
        double speed = lf_legSpeed(ac);
        if (ac.landing != 0 && next.airborne == 0)
            speed = oldest.groundSpeed > 0.0 ? oldest.groundSpeed : 100.0;
        lf_setLegDue(ac, lf_legPasses(gf_distanceNm(lf_poseAt(ac), lf_at(next)), speed));
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {} {}, sz:{}", "nextPosAir", e.what(), gf_aircraftLabel(ac), ac.stream.size()));
        throw;
    }
}

void lf_setLegDue(LiveAc& ac, std::int64_t passes)
{
    const std::int64_t now = passCounter.load();
    StreamPosition& next = gf_streamAt(ac.stream, 1);
    std::int64_t due = 0;
    if (ac.extrapolationsLeft > 0) {
        due = std::max(now + passes, now);
    } else {
        // The newest position is never reached before it is due: an aircraft there early has no
        // position left to go to while its data go on, and would stand or fly off on invented ones.
        const std::int64_t received = next.duePass;
        const std::int64_t lead = ac.stream.size() > 2 ? ac.maxLead : 0;
        if (now + passes > received + ac.maxLag)
            due = std::max(received + ac.maxLag, now);
        else
            due = std::max({now + passes, received - lead, now});
    }
    next.duePass = gsl::narrow<std::int32_t>(due);
}

double lf_legSpeed(const LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    const StreamPosition& next = gf_streamAt(ac.stream, 1);
    if (oldest.groundSpeed != 0.0 || next.groundSpeed != 0.0)
        return (oldest.groundSpeed + next.groundSpeed) / 2.0;
    const std::int64_t between = std::int64_t{next.duePass} - oldest.duePass;
    const double passes = static_cast<double>(std::max<std::int64_t>(between, 25));
    return std::max(gf_distanceNm(lf_at(oldest), lf_at(next)) * 360000.0 / passes, 1.0);
}

double lf_turnAtNext(const LiveAc& ac)
{
    if (ac.stream.size() < 3)
        return 0.0;
    return gf_foldRadians(gf_initialBearing(lf_at(ac.stream[1]), lf_at(ac.stream[2])) - ac.pose.heading);
}

void lf_shrinkBudgets(LiveAc& ac)
{
    ac.maxLead = std::max(ac.maxLead - 100, 1000);
    ac.maxLag = std::max(ac.maxLag - 100, 1000);
}

void lf_airLegStep(LiveAc& ac)
{
    if (ac.phase != AcPhase::Takeoff && ac.phase != AcPhase::Airborne)
        ac.setPhase(AcPhase::Airborne);
    const StreamPosition& next = gf_streamAt(ac.stream, 1);
    ac.legSpeed = next.trueAirspeed;
    ac.verticalRate = next.verticalSpeed;
    const double passes = lf_passesToNextPosition(ac);
    if (ac.flareStage == 0) {
        lf_verticalStep(ac, passes);
        if (ac.phase != AcPhase::Takeoff)
            lf_pitchStep(ac, lf_passesToNextPosition(ac));
    }
    lf_headingAndBank(ac, lf_passesToNextPosition(ac));
    lf_lightsAndConfig(ac);
}

double lf_glideRate(const LiveAc& ac)
{
    if (ac.heightAboveGround <= 100.0)
        return -600.0;
    const double mean = (gf_streamAt(ac.stream, 0).verticalSpeed + gf_streamAt(ac.stream, 1).verticalSpeed) / 2.0;
    return std::min(mean - (currentQnh.load() - 1013) * 6.0, -601.0);
}

void lf_climbOutConfig(LiveAc& ac)
{
    const double rate = gf_streamAt(ac.stream, 0).verticalSpeed;
    lf_shrinkBudgets(ac);
    gf_setCabinLights(ac.objectId, 1);
    ac.takeoffRun = 0;
    ac.landing = 0;
    if (rate <= -250.0 && ac.throttleStep == 3)
        lf_throttleOrFull(ac, 2);
    if (rate > 400.0 && ac.throttleStep == 4)
        lf_throttleOrFull(ac, 3);
    if (ac.heightAboveGround >= 2400.0) {
        lf_gear(ac, false);
        lf_flaps(ac, 0);
    } else if (ac.heightAboveGround >= 2000.0) {
        if (rate <= 100.0 && ac.flapsStep == 0)
            lf_flaps(ac, 1);
    } else if (rate <= 100.0) {
        if (ac.flapsStep == 0)
            lf_flaps(ac, 1);
        else if (ac.flapsStep == 1)
            lf_flaps(ac, 2);
    }
}

void lf_lowAltitudeConfig(LiveAc& ac)
{
    const double rate = gf_streamAt(ac.stream, 0).verticalSpeed;
    gf_setCabinLights(ac.objectId, 0);
    if (rate > -250.0) {
        if (rate <= 600.0 && (ac.landing == 0 || lf_nearParkAirport(ac)))
            return;
        if (ac.climbConfigured != 0)
            return;
        ac.climbConfigured = 1;
        lf_shrinkBudgets(ac);
        lf_throttle(ac, 4);
        lf_gear(ac, false);
        ac.landing = 0;
        lf_flaps(ac, 0);
        ac.flareStage = 0;
        return;
    }
    if (ac.landing == 0 && lf_nearParkAirport(ac))
        lf_beginLanding(ac);
}

void lf_lowLegs(LiveAc& ac)
{
    double rates = 0.0;
    for (const StreamPosition& p : ac.stream)
        rates += p.verticalSpeed;
    if (ac.landing == 0 && rates > 100.0) {
        if (findAirborneData(ac))
            return;
        StreamPosition& next = gf_streamAt(ac.stream, 1);
        lf_setRate(ac, next, std::max(next.verticalSpeed, 601.0));
    } else {
        lf_setRate(ac, gf_streamAt(ac.stream, 1), lf_glideRate(ac));
    }
    lf_gear(ac, true);
}

bool findAirborneData(LiveAc& ac)
{
    std::size_t k = 3;
    try {
        const std::size_t last = std::min<std::size_t>(ac.stream.size() - 1, 10);
        for (; k <= last; ++k) {
            if (gf_streamAt(ac.stream, k).airborne == 0)
                continue;
            ac.stream.erase(ac.stream.begin() + 1, ac.stream.begin() + static_cast<std::ptrdiff_t>(k));
            nextPosAir(ac);
            // The leg now ends at the airborne position: the steps follow it.
            const StreamPosition& next = gf_streamAt(ac.stream, 1);
            const double passes = lf_passesToNextPosition(ac);
            ac.latStep = (next.lat - ac.pose.latitude) / passes;
            ac.lonStep = gf_longitudeDifference(ac.pose.longitude, next.lon) / passes;
            lf_climbStep(ac, next, passes);
            lf_gear(ac, true);
            return true;
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: index:{} {}", "findAirborneData", k, e.what()));
    }
    return false;
}

void lf_flareStep(LiveAc& ac)
{
    const double cg = ac.desc.staticCgHeight;
    StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    switch (ac.flareStage) {
    case 0: {
        if (!ac.groundElevation) {
            if (const std::optional<ParkAirportSite> site = gf_parkAirportSite())
                ac.groundElevation = site->elevation;
        }
        const double h = ac.groundElevation ? ac.pose.altitude - *ac.groundElevation : ac.heightAboveGround;
        ac.flareHeight = h;
        if (cg + 30.0 < std::min(h, ac.heightAboveGround))
            return;
        const double passes = std::max<std::uint32_t>(ac.desc.flarePasses, 1);
        ac.pitchStep = (-4.0 * geo::kDegToRad - ac.pose.pitch) / passes;
        ac.altitudeStep = -0.1;
        oldest.verticalSpeed = -601.0;
        fastRangeRequest = true;
        ac.flareStage = 1;
        return;
    }
    case 1:
        if (ac.heightAboveGround > cg + 20.0)
            return;
        ac.groundElevation.reset();
        ac.altitudeStep = -0.075;
        oldest.verticalSpeed = -450.0;
        ac.flareStage = 2;
        return;
    case 2:
        if (ac.heightAboveGround > cg + 10.0)
            return;
        ac.groundElevation.reset();
        lf_throttle(ac, 0);
        ac.altitudeStep = -0.05;
        oldest.verticalSpeed = -300.0;
        ac.flareStage = 3;
        return;
    case 3:
        if (ac.heightAboveGround > cg + 3.0)
            return;
        ac.groundElevation.reset();
        ac.altitudeStep = -0.025;
        oldest.verticalSpeed = -150.0;
        ac.flareStage = 4;
        return;
    default:
        return; // the ground contact ends the flare
    }
}

void lf_startTakeoffRun(LiveAc& ac)
{
    if (ac.towed != 0)
        gf_logWarning("towed aircraft takes-off?");
    ac.takeoffRun = 1;
    lf_throttle(ac, 0);
    lf_spoilers(ac, 0);
    lf_flaps(ac, 1);
    ac.landing = ac.landed = 0;
    ac.climbConfigured = 0;
    gf_setLights(ac.objectId, AcLights{1, 1, 1, 1, 1, 1, 0});
    lf_resetBudgets(ac);
    if (!ac.desc.airline.empty())
        lf_chooseArrivalStand(ac, true);
}

std::uint32_t lf_takeoffThrottle(const LiveAc& ac)
{
    if (lf_isRotorcraft(ac))
        return 4;
    const double oldest = gf_streamAt(ac.stream, 0).groundSpeed;
    const double next = gf_streamAt(ac.stream, 1).groundSpeed;
    if (oldest >= 25.0 || next >= 30.0)
        return 4;
    if (oldest >= 20.0 || next >= 25.0)
        return 2;
    if (oldest >= 15.0 || next >= 20.0)
        return 1;
    return 0;
}

void lf_liftOffTest(LiveAc& ac)
{
    if (gf_streamAt(ac.stream, 0).groundSpeed < 43.0 || ac.stream.size() < 2)
        return;
    const double takeoffSpeed = gf_categoryEntry(kAirLimits, ac.desc.category).takeoffSpeed;
    const bool slowClimb = !lf_allLater(ac, [](const StreamPosition& p) { return p.verticalSpeed > 256.0; });
    const bool allAirborne = lf_allLater(ac, [](const StreamPosition& p) { return p.airborne != 0; });
    if (slowClimb) {
        const bool fastEnough =
            lf_allLater(ac, [takeoffSpeed](const StreamPosition& p) { return p.groundSpeed >= takeoffSpeed; });
        if (!fastEnough || !allAirborne)
            return;
        ac.altitudeStep = ac.desc.maxClimbStep;
    } else if (allAirborne) {
        const double rise = std::max(ac.stream[1].altitude - ac.pose.altitude, 0.1);
        ac.altitudeStep = rise / lf_passesToNextPosition(ac);
    } else {
        ac.altitudeStep = ac.desc.maxClimbStep;
    }
    lf_startRotation(ac);
}

void lf_startRotation(LiveAc& ac)
{
    const std::uint32_t passes = std::max<std::uint32_t>(ac.desc.rotationPasses, 1);
    ac.rotationCounter = static_cast<std::int32_t>(passes);
    ac.pitchStep = (ac.desc.rotationPitch - ac.pose.pitch) / passes;
    ac.pose.bank = 0.0;
    ac.bankStep = 0.0;
    if (ac.takeoffRun == 0)
        lf_startTakeoffRun(ac);
    ac.setPhase(AcPhase::Takeoff);
    lf_clearCurve(ac);
    ac.headingStep = 0.0;
    if (ac.rollingOut != 0) { // a touch and go
        ac.rollingOut = ac.landing = ac.landed = 0;
        lf_throttle(ac, 4);
        lf_spoilers(ac, 16383);
        lf_flaps(ac, 1);
    }
}

void lf_takeoffStep(LiveAc& ac)
{
    AcPose& pose = ac.pose;
    const double climbStep =
        (ac.desc.climbPitch - ac.desc.rotationPitch) / std::max<std::uint32_t>(ac.desc.climbPasses, 1);
    --ac.rotationCounter;
    const std::int32_t counter = ac.rotationCounter;
    if (counter >= 1) { // rotating on the main wheels
        ac.groundMode = 0;
        if (pose.pitch > ac.desc.rotationPitch)
            pose.pitch += ac.pitchStep;
        return;
    }
    pose.bank += ac.bankStep;
    if (pose.pitch > ac.desc.climbPitch)
        pose.pitch += climbStep;
    // The climb sets in gently: a tenth, a fifth, half and then the full step.
    if (counter == 0)
        return;
    if (counter >= -99) {
        pose.altitude += ac.altitudeStep / 10.0;
    } else if (counter >= -199) {
        pose.altitude += ac.altitudeStep / 5.0;
    } else if (counter >= -299) {
        pose.altitude += ac.altitudeStep / 2.0;
    } else if (counter == -300) {
        lf_gear(ac, false);
        pose.altitude += ac.altitudeStep;
    } else {
        pose.altitude += ac.altitudeStep;
        if (pose.pitch <= ac.desc.climbPitch) {
            ac.pitchStep = 0.0;
            if (ac.heightAboveGround >= 800.0) {
                lf_throttleOrFull(ac, 3);
                ac.setPhase(AcPhase::Airborne);
                ac.rotationCounter = 1;
            }
        }
    }
}
