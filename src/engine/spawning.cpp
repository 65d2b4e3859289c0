#include "engine/spawning.h"

#include "airports/airport_services.h"
#include "core/clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "engine/ac_identity.h"
#include "engine/angles.h"
#include "engine/clearance.h"
#include "engine/ground_movement.h"
#include "engine/live_removal.h"
#include "engine/live_sim_events.h"
#include "engine/neighbour_services.h"
#include "engine/park_options.h"
#include "engine/parked_removal.h"
#include "engine/removal_rules.h"
#include "engine/stand_conflicts.h"
#include "engine/stand_query.h"
#include "engine/static_parking.h"
#include "engine/update_pass.h"
#include "liveries/registrations.h"
#include "params/parameters.h"
#include "simlink/sim_state.h"
#include "traffic/traffic_queue.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fmt/format.h>
#include <optional>

namespace {

constexpr std::int32_t kLeadMovingOnGround = 300; // passes before the oldest position is due
constexpr std::int32_t kLead = 100;
constexpr double kFeetPerNm = 6076.11549;
constexpr double kMetresPerNm = 1852.0;
constexpr double kUserGroundClearanceNm = 0.08099352051835854; // 150 m
constexpr double kParkAirportReachNm = 5.0;
constexpr double kStoppingSpreadNm = 0.018898488120950324; // 35 m
constexpr double kStandSearchNm = 0.029697624190064796;    // 55 m
constexpr double kGroundPitch = 0.010471975511965976;       // 0.6 degree, nose down
constexpr std::size_t kMaxQueuedCreations = 10;

LatLon lf_userPosition()
{
    return {userAc.latitude, userAc.longitude};
}

// The oldest position is not spawned before it is nearly due; an aircraft taxiing is created
// earlier, as it needs longer to settle on the ground.
bool lf_isNearlyDue(const StreamPosition& oldest)
{
    const bool movingOnGround = oldest.airborne == 0 && !(oldest.groundSpeed == 0.0);
    const std::int32_t lead = movingOnGround ? kLeadMovingOnGround : kLead;
    return passCounter.load() >= oldest.duePass - lead;
}

bool lf_crossesGroundAndAir(const std::deque<StreamPosition>& stream)
{
    const auto airborne = [](const StreamPosition& p) { return p.airborne != 0; };
    return std::any_of(stream.begin(), stream.end(), airborne) && !std::all_of(stream.begin(), stream.end(), airborne);
}

// The user aircraft stands on the ground: aircraft held for it, or on the ground close to it,
// wait. True when the oldest position is to be dropped.
bool lf_keepsClearOfUserOnGround(const LiveAc& ac, const StreamPosition& oldest)
{
    const bool onGround = oldest.airborne == 0;
    const double distanceNm = gf_distanceNm(lf_userPosition(), lf_at(oldest));
    if (ac.userHold != 0) {
        if (userAc.groundVelocity > 8.0)
            return true;
        if (onGround && (oldest.groundSpeed > 8.0 || distanceNm * kMetresPerNm < 500.0))
            return true;
    }
    return onGround && COLLISION_USER_GND.value.load() && distanceNm < kUserGroundClearanceNm;
}

// The user aircraft flies: an aircraft on its path, or on the ground ahead of a low user, is held.
// True when the oldest position is to be dropped.
bool lf_keepsClearOfUserInAir(LiveAc& ac, const StreamPosition& oldest)
{
    if (!COLLISION_USER_AIR.value.load())
        return false;
    if (oldest.airborne != 0) {
        if (!lf_onUsersPath(ac))
            return false;
        ac.userHold = 1;
        return true;
    }
    if (ac.userHold != 0)
        return true;
    // A buffered aircraft has no pose yet: it will appear at its oldest position.
    const double distanceNm = gf_distanceNm(lf_userPosition(), lf_at(oldest));
    if (distanceNm > 1.5 || userAc.altAboveGround >= 1000.0)
        return false;
    const double offAxis = gf_angleDifference(userAc.heading, gf_initialBearing(lf_userPosition(), lf_at(oldest)));
    if (std::sin(std::abs(offAxis)) * distanceNm * kFeetPerNm > 500.0)
        return false;
    ac.userHold = 1;
    return true;
}

// With MAX_LIVE in force and no room left, the farthest aircraft in the simulator makes room
// when it lies farther away than this one; true when this one is to be dropped instead.
bool lf_exceedsMaxLive(const StreamPosition& oldest)
{
    const std::int32_t limit = MAX_LIVE.value.load();
    if (limit == MAX_LIVE.defaultValue)
        return false;
    const auto inSim = std::count_if(liveAcTable.begin(), liveAcTable.end(),
                                     [](const LiveAc& ac) { return ac.state == AcState::InSim; });
    const auto planned = static_cast<std::int64_t>(inSim) + static_cast<std::int64_t>(acToCreate.size()) +
                         static_cast<std::int64_t>(liveCreationQueue.size());
    if (planned < limit)
        return false;
    return lf_removeFarthestLiveAc(gf_distanceNm(lf_userPosition(), lf_at(oldest)));
}

// The registration table knows better than the traffic line which airline operates the aircraft.
void lf_applyRegistration(LiveAc& ac)
{
    AcDescription& desc = ac.desc;
    if (desc.registration.empty())
        return;
    std::optional<DbaseRegRecord> record;
    for (const std::string& writtenForm : gf_regcodeVariants(desc.registration)) {
        if (gf_findRegcodeRecord(record, writtenForm))
            break;
    }
    if (!record)
        return;
    desc.airline = record->operatorCode.empty() ? record->airline : record->operatorCode;
    // A record without a model keeps the type the aircraft came with, which chose its size class.
    if (!record->model.empty())
        desc.type = record->model;
    desc.cargo = record->cargo ? 1 : 0;
    if (!gf_isCallsignUsable(desc))
        liveAcTable.setCallsign(ac, desc.registration);
}

// The last rules before a spawn: the callsign must be usable, the flight must have found a
// livery before, and a ghost whose owner flies is not created.
void lf_spawnIfIdentified(LiveAc& ac)
{
    lf_applyRegistration(ac);
    if (!gf_isCallsignUsable(ac.desc)) {
        ac.erase = 1;
        return;
    }
    if (ac.desc.airline.empty())
        ac.desc.airline = "PVT";
    if (NoMatchList.contains(gf_flightKeyWithSuffix(ac.desc)) ||
        (gf_isGhostCallsign(ac.desc.callsign) && lf_ghostOwnerExists(ac.desc.callsign))) {
        ac.erase = 1;
        return;
    }
    spawnLiveAc(ac);
}

void lf_updateBuffer(LiveAc& ac)
{
    if (ac.stream.empty()) {
        ac.erase = 1;
        return;
    }
    const StreamPosition& oldest = ac.stream.front();
    if (!lf_isNearlyDue(oldest))
        return;
    const bool dropAircraft =
        ac.stream.size() == 1 ||
        (gf_isGhostCallsign(ac.desc.callsign) &&
         std::find(ghostCallsigns.begin(), ghostCallsigns.end(), ac.desc.callsign) != ghostCallsigns.end());
    if (dropAircraft) {
        ac.erase = 1;
        return;
    }
    // An aircraft is not spawned while its buffered track crosses between ground and air, while
    // it would come too close to the user aircraft, or while too many creations wait.
    const bool holdBack =
        lf_crossesGroundAndAir(ac.stream) ||
        (userOnGround.load() ? lf_keepsClearOfUserOnGround(ac, oldest) : lf_keepsClearOfUserInAir(ac, oldest)) ||
        (liveCreationQueue.size() > kMaxQueuedCreations && ac.phase == AcPhase::New);
    if (holdBack) {
        ac.stream.pop_front();
        return;
    }
    const std::string blocked = BLOCK_CALLSIGN.getValue();
    if (lf_exceedsMaxLive(oldest) || (!blocked.empty() && blocked == ac.desc.callsign)) {
        ac.erase = 1;
        return;
    }
    lf_spawnIfIdentified(ac);
}

// ---- Placing a new aircraft ----

void lf_applyStopFlags(std::deque<StreamPosition>& stream)
{
    StreamPosition& first = gf_streamAt(stream, 0);
    StreamPosition& second = gf_streamAt(stream, 1);
    if (second.stop == 0) {
        first.stop = 0;
        return;
    }
    first.stop = 1;
    first.groundSpeed = 0.0;
    second.groundSpeed = 0.0;
    if (stream.size() > 2 && stream[2].stop != 0)
        stream[2].groundSpeed = 0.0;
}

// Where an aircraft on the ground at the park airport is to park: where it stands, or where it
// comes to a stop within the buffered track; none when it taxis or is away from the park airport.
std::optional<LatLon> lf_parkingPosition(const LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    const AirportRecord airport = gf_parkAirport();
    if (standTable.empty() || airport.code.empty() ||
        gf_distanceNm(lf_at(oldest), {airport.latitude, airport.longitude}) > kParkAirportReachNm)
        return std::nullopt;
    if (oldest.stop != 0)
        return lf_at(oldest);
    const StreamPosition& last = ac.stream.back();
    if (gf_streamAt(ac.stream, 1).groundSpeed <= 5.0 && gf_distanceNm(lf_at(last), lf_at(oldest)) <= kStoppingSpreadNm)
        return lf_at(last);
    return std::nullopt;
}

// The stand kept for the user aircraft, or the one it stands on now, is never given away.
bool lf_isUsersStand(const Stand& stand)
{
    if (!reservedStand.empty() && stand.name == reservedStand)
        return true;
    const std::string userStand = gf_getStandAtPosition(lf_userPosition());
    return !userStand.empty() && stand.name == userStand;
}

// The live aircraft on the stand or on a neighbour stand may refuse it.
bool lf_standRefused(const LiveAc& ac, const Stand& stand)
{
    for (LiveAc& other : liveAcTable) {
        if (&other != &ac && other.standId == stand.id && lf_standOccupantRule(ac, stand.id, other))
            return true;
    }
    return std::any_of(stand.neighbours.begin(), stand.neighbours.end(),
                       [&](std::uint32_t neighbourId) {
                           const Stand* neighbour = gf_findStandById(neighbourId);
                           return neighbour != nullptr && lf_neighbourStandBlocked(ac, stand, *neighbour);
                       });
}

void lf_occupyStand(LiveAc& ac, Stand& stand)
{
    StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    if (oldest.stop == 0) {
        oldest.stop = 1;
        oldest.groundSpeed = 0.0;
    }
    gf_occupyStand(ac, stand);
    ac.setPhase(AcPhase::Parked);
    ac.parkedSince = gf_steadyTicks();
    ac.standLastDistance = 0.0;
    ac.standApproachCount = 0;
    lf_cargoStand(ac);
    ac.stream.resize(1);
    StreamPosition& atStand = ac.stream.front();
    atStand.lat = stand.lat;
    atStand.lon = stand.lon;
    atStand.track = stand.heading * geo::kRadToDeg;
}

void lf_takeStand(LiveAc& ac, Stand& stand)
{
    if (lf_standRefused(ac, stand)) {
        ac.erase = 1;
        return;
    }
    checkStandOrExcludedIsOccupiedByStaticAndRemove(ac, stand);
    lf_occupyStand(ac, stand);
    const std::uint64_t now = currentDaySlot.load();
    if (lf_addRealParkPosOption(stand.id, ac, false, now, false))
        lf_stampLearnedSlot(ac.desc.key, gf_slotOf(now));
    lf_checkMaxPark(1);
}

// A new aircraft on the ground: taxiing, or parked on the stand where it stands or stops.
// False when the spawn ends here.
bool lf_placeOnGround(LiveAc& ac)
{
    const std::optional<LatLon> parkAt = lf_parkingPosition(ac);
    if (!parkAt) {
        ac.setPhase(AcPhase::Taxi);
        return true;
    }
    const bool standing = gf_streamAt(ac.stream, 0).stop != 0;
    const auto stand = lf_findNearestFreeStand(*parkAt, ac, kStandSearchNm, standing);
    if (stand == standTable.end()) {
        if (gf_streamAt(ac.stream, 1).stop != 0) {
            ac.stream.pop_front(); // stands short of a stand yet: looked at again next pass
            return false;
        }
        ac.setPhase(AcPhase::Taxi);
        return true;
    }
    if (lf_isUsersStand(*stand)) {
        ac.setPhase(AcPhase::Taxi); // takes no stand: it moves on like any aircraft on the ground
        return true;
    }
    lf_takeStand(ac, *stand);
    return ac.erase == 0;
}

// A new aircraft: its livery and its first phase. False when the spawn ends here.
bool lf_placeNewAc(LiveAc& ac)
{
    if (!lf_chooseLivery(ac)) {
        NoMatchList.insert(gf_flightKeyWithSuffix(ac.desc));
        ac.erase = 1;
        return false;
    }
    if (gf_streamAt(ac.stream, 0).airborne != 0) {
        ac.setPhase(AcPhase::Airborne);
        return true;
    }
    return lf_placeOnGround(ac);
}

double lf_firstPitch(const StreamPosition& oldest)
{
    if (oldest.airborne == 0)
        return kGroundPitch;
    double v = std::clamp(oldest.verticalSpeed, -3000.0, 2400.0);
    if (v < 0.0)
        v /= 2.0;
    return (-3.0 - v / 600.0 * 2.2) * geo::kDegToRad;
}

double lf_firstHeading(const LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    double heading = 0.0;
    if (ac.respawnHeading)
        heading = *ac.respawnHeading;
    else if (ac.phase == AcPhase::Parked)
        heading = ac.standHeading;
    else if (const StreamPosition& second = gf_streamAt(ac.stream, 1); second.stop == 0)
        heading = gf_initialBearing(lf_at(oldest), lf_at(second));
    else
        heading = oldest.track * geo::kDegToRad;
    return gf_wrapHeading(heading);
}

void lf_setFirstPose(LiveAc& ac)
{
    const StreamPosition& oldest = gf_streamAt(ac.stream, 0);
    AcPose& pose = ac.pose;
    pose.latitude = oldest.lat;
    pose.longitude = oldest.lon;
    pose.altitude = oldest.altitude;
    pose.verticalSpeed = oldest.verticalSpeed / 60.0; // the pose keeps feet per second
    pose.trueAirspeed = oldest.trueAirspeed;
    pose.bank = oldest.roll.value_or(0.0);
    pose.pitch = lf_firstPitch(oldest);
    pose.heading = lf_firstHeading(ac);
    ac.headingStep = 0.0; // the first leg sets the turn it needs
}

void lf_spawn(LiveAc& ac)
{
    lf_applyStopFlags(ac.stream);
    if (ac.phase == AcPhase::New && !lf_placeNewAc(ac))
        return;
    if (ac.erase != 0)
        return;
    spawnCheckList.push_back(ac.desc.key);
    lf_setFirstPose(ac);
    ac.state = AcState::Creating;
    ac.userHold = 0;
    acToCreate.push_back(ac.desc.key);
    if (!gf_isGhostCallsign(ac.desc.callsign))
        lf_ghostCheck(ac.desc.callsign);
}

// ---- Static aircraft in the way ----

std::string lf_makesWayText(const StaticAc& parked, const LiveAc& ac, const Stand& stand)
{
    // Two aircraft without registrations are not the same aircraft.
    const bool sameAircraft = parked.desc.cs == ac.desc.callsign ||
                              (!ac.desc.registration.empty() && parked.desc.registration == ac.desc.registration);
    return fmt::format("{:8}: {:8} {} makes way for{} {} {}", stand.name, parked.desc.callsign,
                       parked.desc.registration, sameAircraft ? " the same live version" : "", ac.desc.callsign,
                       ac.desc.registration);
}

// ---- Identity changes ----

// Takes the message's text when it brings one that differs.
void lf_takeIfNew(std::string& field, const std::string& fromMessage)
{
    if (!fromMessage.empty() && fromMessage != field)
        field = fromMessage;
}

// Origin and destination of an aircraft in the simulator; true when its route changed.
bool lf_applyRoute(LiveAc& ac, const AcIdentity& id)
{
    AcDescription& desc = ac.desc;
    bool changed = false;
    bool destinationDiffers = false;
    bool originDiffers = false;
    if (!id.destination.empty()) {
        if (desc.destination.empty()) {
            desc.destination = id.destination;
            changed = true;
        } else {
            destinationDiffers = desc.destination != id.destination;
        }
    }
    if (!id.departure.empty()) {
        if (desc.origin.empty()) {
            desc.origin = id.departure;
            changed = true;
        } else {
            originDiffers = desc.origin != id.departure;
        }
    }
    if (!destinationDiffers || !originDiffers)
        return changed;
    // An aircraft that left the park airport and is reported as returning to it keeps its route.
    if (desc.origin == gf_parkAirport().iataCode && id.destination == desc.origin)
        return changed;
    desc.origin = id.departure;
    desc.destination = id.destination;
    if (ac.groundMode != 0 && ac.phase != AcPhase::ToStand && ac.phase != AcPhase::Parked) {
        ac.setPhase(AcPhase::Taxi);
        ac.legBearing = ac.pose.heading;
    }
    return true;
}

// The identity of an aircraft in the simulator. Nothing: the message is applied as it is; true:
// respawn with the new identity; false: the message is not applied.
std::optional<bool> lf_changeIdentityInSim(LiveAc& ac, const AcIdentity& id)
{
    const bool routeChanged = lf_applyRoute(ac, id);
    AcDescription& desc = ac.desc;
    if (desc.registration.empty())
        desc.registration = id.registration;
    const std::string& callsign = id.callsign;
    if (callsign.empty() || callsign == desc.callsign || callsign == desc.registration)
        return routeChanged ? std::optional<bool>(true) : std::nullopt;
    liveAcTable.setCallsign(ac, callsign);
    desc.cs = callsign;
    desc.csSuffix.clear();
    if (gf_isGhostCallsign(callsign)) {
        if (lf_ghostOwnerExists(callsign))
            return false;
    } else {
        lf_ghostCheck(callsign);
    }
    return true;
}

} // namespace

void updateBufferAc(LiveAc& ac)
{
    try {
        lf_updateBuffer(ac);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "updateBufferAc", e.what()));
    }
}

void spawnLiveAc(LiveAc& ac)
{
    try {
        lf_spawn(ac);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "spawnLiveAc", e.what()));
        throw;
    }
}

void checkStandOrExcludedIsOccupiedByStaticAndRemove(const LiveAc& ac, const Stand& stand)
{
    try {
        for (std::size_t i = 0; i < staticAcTable.size(); ++i) {
            if (lf_makeWayAtStand(staticAcTable[i], ac, stand))
                break;
        }
        for (const std::uint32_t neighbourId : stand.neighbours) {
            for (StaticAc& parked : staticAcTable) {
                if (lf_removeAdjacentParked(parked, ac, stand, neighbourId))
                    break;
            }
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "checkStandOrExcludedIsOccupiedByStaticAndRemove", e.what()));
        throw;
    }
}

bool lf_makeWayAtStand(StaticAc& parked, const LiveAc& ac, const Stand& stand)
{
    if (parked.standId != stand.id)
        return false;
    if (parked.state == AcState::InSim) {
        lf_logDetail(lf_makesWayText(parked, ac, stand));
        gf_removeAc(parked);
    } else if (parked.state == AcState::Creating) {
        // Cancelling erases the record: its text is made first.
        const std::string text = lf_makesWayText(parked, ac, stand);
        if (lf_cancelQueuedStaticCreation(parked.desc.callsign))
            lf_logDetail("queued " + text);
        else
            parked.removeWhenCreated = 1;
    }
    return true;
}

bool lf_removeAdjacentParked(StaticAc& parked, const LiveAc& ac, const Stand& stand, std::uint32_t neighbourId)
{
    if (parked.state != AcState::InSim || parked.standId != neighbourId)
        return false;
    const Stand* neighbour = gf_findStandById(neighbourId);
    const bool known = neighbour != nullptr;
    const LatLon neighbourAt = known ? LatLon{neighbour->lat, neighbour->lon} : LatLon{0.0, 0.0};
    const double apart = gf_distanceNm(neighbourAt, {stand.lat, stand.lon});
    if ((parked.desc.halfWingspan + ac.desc.halfWingspan) * 1.1 < apart)
        return false;
    lf_logDetail(fmt::format("{:8}: {:8} removed by {} parking at adjacent stand {}",
                             known ? neighbour->name : gf_standName(neighbourId), parked.desc.callsign,
                             ac.desc.callsign, stand.name));
    gf_removeAc(parked);
    return true;
}

bool lf_respawnOnIdentityChange(LiveAc& ac, const TrafficMessage& message)
{
    if (ac.landing != 0 || ac.takeoffRun != 0)
        return true;
    const AcIdentity& id = message.identity;
    if (ac.state == AcState::Buffered) {
        lf_takeIfNew(ac.desc.destination, id.destination);
        lf_takeIfNew(ac.desc.origin, id.departure);
        if (!id.callsign.empty() && id.callsign != ac.desc.callsign)
            liveAcTable.setCallsign(ac, id.callsign);
        lf_takeIfNew(ac.desc.registration, id.registration);
        return true;
    }
    if (ac.state != AcState::InSim || ac.phase == AcPhase::PushBack || ac.extrapolationsLeft >= 1)
        return true;
    const std::optional<bool> respawn = lf_changeIdentityInSim(ac, id);
    if (!respawn)
        return true;
    if (!*respawn)
        return false;
    if (!GUID_CHANGES.value.load())
        return true;
    lf_logDetail(fmt::format("          {} respawns", lf_aircraftLabelText(ac.desc)));
    liveryRespawn(ac);
    return false;
}
