#include "engine/traffic_intake.h"

#include "core/geodesy.h"
#include "core/log.h"
#include "engine/ac_identity.h"
#include "engine/neighbour_services.h"
#include "engine/parked_removal.h"
#include "engine/spawning.h"
#include "engine/stream_intake.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "traffic/traffic_queue.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fmt/format.h>
#include <utility>

namespace {

constexpr int kMessagesPerPass = 2;

// How each category moves on the ground and climbs.
struct CategoryMovement {
    double groundTurnRateDeg; // degrees per pass
    double maxClimbStep;      // feet per pass
    double standSpeed;        // knots
};

constexpr std::array<CategoryMovement, kCategoryCount> kMovement{{
    {0.15, 0.5, 5.0},  // Light
    {0.1, 0.75, 4.5},  // Buzjets
    {0.07, 0.6, 4.0},  // Large
    {0.05, 0.5, 3.0},  // Heavy
    {0.1, 1.0, 4.5},   // HighPerf
    {0.2, 0.75, 5.0},  // Rotorcraft
}};

// Distances below which a steady aircraft's next message adds nothing: 450 m in the air, 20 m
// on the ground.
constexpr double kAirRepeatNm = 0.2429805615550756;
constexpr double kGroundRepeatNm = 0.010799136069114472;

// A message this close to the one before (or older) adds nothing.
constexpr double kRepeatSeconds = 1.0;

constexpr double kJumpSpeedFactor = 3.0;
constexpr double kJumpFloorKn = 30.0;
constexpr double kJumpAllowanceNm = 100.0 / 1852.0;

bool lf_isSpeedJump(double b, double g)
{
    return (b > 5 && g >= 10 * b) || (g > 5 && b >= 10 * g) || (b <= 5 && g >= 80) || (g <= 5 && b >= 80);
}

// A steady aircraft whose new message lies too close to the last one to be worth a leg.
bool lf_isSlowRepeat(const StreamPosition& position, const StreamPosition& newest, double dt)
{
    const double g = position.groundSpeed;
    const double trackChange = std::abs(position.track - newest.track);
    if (position.airborne != 0)
        return g > 120 && trackChange <= 1.0 && dt <= kAirRepeatNm / (g / 3600);
    return g <= 30 && trackChange <= 2.0 && dt <= std::min(kGroundRepeatNm / (g / 3600), 15.0);
}

// Whether `to` lies within three times the speed (at least 30 kn) of `from` in `dt` seconds, with
// 100 m for the feed's rounding.
bool lf_withinReach(LatLon from, const StreamPosition& to, double knots, double dt)
{
    const double reachNm = kJumpSpeedFactor * std::max(knots, kJumpFloorKn) * dt / 3600.0 + kJumpAllowanceNm;
    return gf_distanceNm(from, lf_at(to)) <= reachNm;
}

// Knots from one fix to the next, `dt` seconds later.
double lf_impliedSpeed(LatLon from, const StreamPosition& to, double dt)
{
    return dt > 0.0 ? gf_distanceNm(from, lf_at(to)) * 3600.0 / dt : 0.0;
}

// A fix the aircraft's track cannot reach: farther from the latest fix than its speed covers, the
// speed being the most of what the fixes imply and what the feed reported (a speed field may stay
// frozen while the aircraft takes off).
bool lf_isBadFix(const LiveAc& ac, const StreamPosition& position, double reportedBefore, double dt)
{
    const double knots = std::max({position.groundSpeed, reportedBefore, ac.fixSpeed});
    return !lf_withinReach(ac.lastFix, position, knots, dt);
}

// The held fix is confirmed when this one follows on from it at the speed it showed.
bool lf_confirmsHeldFix(const LiveAc& ac, const TrafficMessage& message)
{
    if (!ac.heldFix || message.time - ac.heldFixTime <= kRepeatSeconds)
        return false;
    const StreamPosition& held = *ac.heldFix;
    const double heldSpeed = lf_impliedSpeed(ac.lastFix, held, ac.heldFixTime - ac.lastMessageTime);
    const double knots = std::max({message.position.groundSpeed, held.groundSpeed, heldSpeed});
    return lf_withinReach(lf_at(held), message.position, knots, message.time - ac.heldFixTime);
}

void lf_takeFix(LiveAc& ac, const StreamPosition& fix, double time)
{
    ac.fixSpeed = lf_impliedSpeed(ac.lastFix, fix, time - ac.lastMessageTime);
    ac.lastFix = lf_at(fix);
    ac.lastMessageTime = time;
    lf_addStreamPosition(ac, fix);
}

bool lf_categoryAdmitted(AcCategory category)
{
    switch (category) {
    case AcCategory::Buzjets:
    case AcCategory::Large:
    case AcCategory::Heavy:
        return true;
    case AcCategory::Light:
        return LIGHT_AIRCRAFT.value.load();
    case AcCategory::HighPerf:
        return HIGH_PERF_AIRCRAFT.value.load();
    case AcCategory::Rotorcraft:
        return HELICOPTERS.value.load();
    }
    return false;
}

} // namespace

void lf_handleUdpMessages()
{
    std::lock_guard lock(trafficQueueMutex);
    for (int i = 0; i < kMessagesPerPass && !trafficQueue.empty(); ++i) {
        try {
            lf_applyTrafficMessage(trafficQueue.front());
        } catch (const std::exception& e) {
            gf_log(fmt::format("{}: {}", "lf_handleUdpMessages", e.what()));
            trafficQueue.pop_front();
            throw;
        }
        trafficQueue.pop_front();
    }
}

void lf_applyTrafficMessage(TrafficMessage& message)
{
    // A message for an aircraft already in the table always goes to it.
    if (LiveAc* ac = gf_findLiveAc(message.hexId)) {
        lf_updateFromTrafficMessage(message, *ac);
        return;
    }
    if (gf_keptOutByMaxPark(message))
        return;
    const AcIdentity& id = message.identity;
    if (!id.callsign.empty()) {
        const bool twin = std::any_of(liveAcTable.begin(), liveAcTable.end(), [&id](const LiveAc& ac) {
            return ac.desc.callsign == id.callsign && ac.desc.type == id.type;
        });
        if (twin)
            return;
    }
    lf_prepareNewLiveAc(message);
}

bool lf_updateFromTrafficMessage(const TrafficMessage& message, LiveAc& ac)
{
    if (message.hexId != ac.desc.key)
        return false;
    if (ac.state == AcState::Respawning || ac.state == AcState::Removing)
        return true;
    bool heldConfirmed = false;
    if (!ac.stream.empty()) {
        const StreamPosition& newest = ac.stream.back();
        const double dt = message.time - ac.lastMessageTime;
        if (dt <= kRepeatSeconds)
            return true;
        // A jump is ignored once: the speed it reports is the one the next message is held to.
        const double lastSpeed = std::exchange(ac.lastReceivedSpeed, message.position.groundSpeed);
        if (lf_isSpeedJump(lastSpeed, message.position.groundSpeed))
            return true;
        if (ac.extrapolationsLeft < 1 && lf_isSlowRepeat(message.position, newest, dt))
            return true;
        if (lf_isBadFix(ac, message.position, lastSpeed, dt)) {
            heldConfirmed = lf_confirmsHeldFix(ac, message);
            if (!heldConfirmed) {
                ac.heldFix = message.position;
                ac.heldFixTime = message.time;
                return true;
            }
        }
    }
    if (ac.state == AcState::Buffered && !lf_isAwayFromParkAirportLevel(message))
        return true;
    if (!lf_respawnOnIdentityChange(ac, message))
        return true;
    if (heldConfirmed)
        lf_takeFix(ac, *ac.heldFix, ac.heldFixTime);
    ac.heldFix.reset();
    lf_takeFix(ac, message.position, message.time);
    return true;
}

void lf_prepareNewLiveAc(TrafficMessage& message)
{
    if (!gf_isKnownModel(message.identity.type)) {
        std::string type = gf_regcodeModel(message.identity.registration);
        if (type.empty())
            return;
        message.identity.type = std::move(type);
    }
    lf_addLiveAcFromMessage(message);
}

void lf_addLiveAcFromMessage(TrafficMessage& message)
{
    const std::int32_t sizeClass = gf_modelSizeClass(message.identity.type);
    if (sizeClass < 0 || sizeClass > 5 || !lf_categoryAdmitted(static_cast<AcCategory>(sizeClass)))
        return;
    if (!lf_isAwayFromParkAirportLevel(message))
        return;
    AcIdentity& id = message.identity;
    id.coupledCallsign1 = id.callsign;
    id.coupledCallsign2.clear();
    id.flag = 0;
    AcDescription desc = gf_makeAircraftDescription(id);
    desc.key = message.hexId;
    const CategoryMovement& movement = gf_categoryEntry(kMovement, desc.category);
    desc.groundTurnRateDefault = movement.groundTurnRateDeg * geo::kDegToRad;
    desc.groundTurnRate = desc.groundTurnRateDefault;
    desc.maxClimbStep = movement.maxClimbStep;
    desc.standSpeed = movement.standSpeed;
    liveAcTable.emplace_back(message.position, std::move(desc), message.time);
}

bool lf_isAwayFromParkAirportLevel(const TrafficMessage& message)
{
    const double altitude = message.position.altitude;
    if (altitude >= 10000 || altitude <= 0)
        return true;
    const std::optional<ParkAirportSite> site = gf_parkAirportSite();
    const double elevation = site ? site->elevation : -1000.0;
    return std::abs(altitude - elevation) > 120;
}
