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

// A position farther from the newest one than three times the reported speed (at least 30 kn)
// covers in the time between, with 100 m for the feed's rounding: a bad fix, never flown.
bool lf_isPositionJump(const StreamPosition& position, const StreamPosition& newest, double dt)
{
    const double knots = std::max({position.groundSpeed, newest.groundSpeed, kJumpFloorKn});
    const double reachNm = kJumpSpeedFactor * knots * dt / 3600.0 + kJumpAllowanceNm;
    return gf_distanceNm({newest.lat, newest.lon}, {position.lat, position.lon}) > reachNm;
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
    for (LiveAc& ac : liveAcTable) {
        if (lf_updateFromTrafficMessage(message, ac))
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
    if (!ac.stream.empty()) {
        const StreamPosition& newest = ac.stream.back();
        const double dt = message.time - ac.lastMessageTime;
        if (dt <= 1.0)
            return true;
        // A jump is ignored once: the speed it reports is the one the next message is held to.
        const double lastSpeed = std::exchange(ac.lastReceivedSpeed, message.position.groundSpeed);
        if (lf_isSpeedJump(lastSpeed, message.position.groundSpeed))
            return true;
        if (ac.extrapolationsLeft < 1 && lf_isSlowRepeat(message.position, newest, dt))
            return true;
        if (lf_isPositionJump(message.position, newest, dt))
            return true;
    }
    if (ac.state == AcState::Buffered && !lf_isAwayFromParkAirportLevel(message))
        return true;
    if (!lf_respawnOnIdentityChange(ac, message))
        return true;
    ac.lastMessageTime = message.time;
    lf_addStreamPosition(ac, message.position);
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
