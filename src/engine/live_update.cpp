#include "engine/live_update.h"

#include "core/geodesy.h"
#include "core/log.h"
#include "engine/ac_identity.h"
#include "engine/angles.h"
#include "engine/air_movement.h"
#include "engine/live_removal.h"
#include "engine/spawning.h"
#include "traffic/traffic_queue.h"
#include "simlink/sim_queues.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace {

constexpr double kHalfDegree = 0.5 * geo::kDegToRad;
// A ground report older than this no longer holds: the aircraft may have climbed out of the
// simulator's reports (once a second, up to 2500 ft above the ground).
constexpr std::int32_t kGroundReportPasses = 250;

double lf_foldLongitude(double longitude)
{
    if (longitude > 180.0)
        return longitude - 360.0;
    if (longitude < -180.0)
        return longitude + 360.0;
    return longitude;
}

// Turns the heading toward the target at the working ground turn rate, the shorter way; within
// half a degree it stays.
void lf_turnToward(LiveAc& ac, double target)
{
    const double difference = gf_angleDifference(ac.pose.heading, target);
    if (std::abs(difference) <= kHalfDegree)
        return;
    const double step = difference > 0.0 ? ac.desc.groundTurnRate : -ac.desc.groundTurnRate;
    ac.pose.heading = gf_wrapHeading(ac.pose.heading + step);
}

void lf_movesOnCurve(LiveAc& ac)
{
    ac.curveT = std::min(ac.curveT + ac.curveTStep, 0.999999);
    LatLon position;
    double heading = 0.0;
    if (!gf_positionOnCurve(ac.curve, position, heading, ac.curveT)) {
        gf_log(fmt::format("{} error in curve at index: {:.2F}", ac.desc.callsign, ac.curveT));
        return;
    }
    ac.pose.latitude = position.latitude;
    ac.pose.longitude = position.longitude;
    if (ac.phase == AcPhase::PushBack)
        heading = gf_wrapHeading(heading + geo::kPi);
    lf_turnToward(ac, heading);
}

void lf_moveStraight(LiveAc& ac)
{
    switch (ac.phase) {
    case AcPhase::Takeoff:
    case AcPhase::Airborne:
    case AcPhase::Parked:
    case AcPhase::New:
        ac.pose.heading = gf_wrapHeading(ac.pose.heading + ac.headingStep);
        ac.pose.latitude += ac.latStep;
        ac.pose.longitude += ac.lonStep;
        return;
    default:
        break;
    }
    if (ac.phase == AcPhase::ToStand || ac.curveTurn != 0)
        lf_turnToward(ac, ac.legBearing);
    if (ac.phase != AcPhase::PushBackDone) {
        ac.pose.latitude += ac.latStep;
        ac.pose.longitude += ac.lonStep;
    }
}

void lf_moveAttitude(LiveAc& ac)
{
    if (ac.heightAboveGround <= 400.0 && ac.landing != 0 && ac.groundMode == 0)
        lf_flareStep(ac);
    AcPose& pose = ac.pose;
    if (ac.pitchSettling != 0) {
        pose.pitch += ac.pitchStep;
        if (pose.pitch > ac.desc.staticPitch) {
            pose.pitch = ac.desc.staticPitch;
            ac.pitchStep = 0.0;
            pose.bank = 0.0;
            ac.bankStep = 0.0;
            ac.pitchSettling = 0;
            ac.flareStage = 0;
        }
        pose.bank += ac.bankStep;
    } else if (ac.flareStage == 0 && ac.groundMode != 0) {
        pose.pitch = ac.desc.staticPitch;
        pose.bank = 0.0;
    } else {
        pose.pitch += ac.pitchStep;
        if (ac.flareStage != 0)
            pose.pitch = std::max(pose.pitch, -4.0 * geo::kDegToRad); // at most 4 degrees nose up
        pose.bank += ac.bankStep;
        pose.altitude += ac.altitudeStep;
    }
}

// Whatever its phase, no aircraft goes below the ground the simulator reported under it: its
// reference point stays at least its static CG height above it.
void lf_keepAboveGround(LiveAc& ac)
{
    if (!ac.reportedGround || passCounter.load() - ac.reportedGroundPass > kGroundReportPasses)
        return;
    ac.pose.altitude = std::max(ac.pose.altitude, *ac.reportedGround + ac.desc.staticCgHeight);
}

void lf_writePose(LiveAc& ac)
{
    if (ac.objectId == 0) {
        gf_logWarning(fmt::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc",
                                  ac.desc.key, ac.desc.callsign, ac.desc.registration, gf_aimoKey(ac.desc),
                                  ac.stream.size()));
        gf_removeAc(ac);
        return;
    }
    lf_keepAboveGround(ac);
    const AcPose& p = ac.pose;
    gf_updateAircraft({p.latitude, p.longitude, p.pitch, p.bank, p.heading, p.altitude, p.verticalSpeed,
                       p.trueAirspeed, ac.objectId});
}

void lf_updateInSim(LiveAc& ac)
{
    if (ac.stream.empty()) {
        gf_logWarning(fmt::format("{} stream empty ? {}, hexid:{}, objectid:{}", "updateLiveAc",
                                  gf_aircraftLabel(ac), ac.desc.key, ac.objectId));
        gf_removeAc(ac);
        return;
    }
    if (passCounter.load() >= ac.stream.front().duePass) {
        nextPosMain(ac);
        ac.pose.verticalSpeed = ac.verticalRate / 60.0;
        ac.pose.trueAirspeed = gf_streamAt(ac.stream, 0).stop != 0 ? 0.0 : ac.legSpeed;
    }
    if (ac.state != AcState::InSim)
        return;
    if (gf_streamAt(ac.stream, 0).stop == 0)
        lf_fitCurve(ac);
    lf_writePose(ac);
}

} // namespace

bool updateLiveAc(LiveAc& ac)
{
    try {
        if (ac.state == AcState::Buffered)
            updateBufferAc(ac);
        else if (ac.state == AcState::InSim)
            lf_updateInSim(ac);
    } catch (const std::exception& e) {
        gf_logWarning(
            fmt::format("{}: {} {}, sz:{}", "updateLiveAc", e.what(), gf_aircraftLabel(ac), ac.stream.size()));
    }
    return ac.erase != 0;
}

void lf_fitCurve(LiveAc& ac)
{
    // A failed curve point leaves the position as it is for this pass.
    if (ac.curveActive())
        lf_movesOnCurve(ac);
    else
        lf_moveStraight(ac);
    if (ac.phase == AcPhase::Takeoff)
        lf_takeoffStep(ac);
    else
        lf_moveAttitude(ac);
    ac.pose.longitude = lf_foldLongitude(ac.pose.longitude);
}

std::int32_t lf_passesToNextPosition(const LiveAc& ac)
{
    return std::max(gf_streamAt(ac.stream, 1).duePass - passCounter.load(), 25);
}

void lf_resetBudgets(LiveAc& ac)
{
    ac.maxLead = 3000;
    ac.maxLag = ac.takeoffRun != 0 ? 5000 : 3000;
}

void lf_abandonInvented(LiveAc& ac)
{
    ac.extrapolationsLeft = 0;
    lf_resetBudgets(ac);
}
