#pragma once
// The engine's aircraft records and the tables that hold them. A static aircraft (parked on a
// stand by the parking calculation) is a StaticAc; a live aircraft (made from received traffic)
// is a LiveAc, which is a StaticAc followed by its movement state. Both begin with the
// aircraft's description. Only the work thread touches the tables; the simulator connection
// gets copies through its own queues.

#include "core/geodesy.h"
#include "liveries/ac_description.h"
#include "liveries/match_summary.h"
#include "simlink/ac_category.h"
#include "traffic/traffic_message.h"

#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// The record's standing with the simulator.
enum class AcState : std::uint32_t {
    Buffered = 0,   // not in the simulator (buffered live, or static not yet queued)
    Creating = 1,   // creation queued
    InSim = 2,      // in the simulator, object id known
    Respawning = 3, // removed to be created again with another livery
    Removing = 4,   // object id handed to the removal queue
};

// Where a live aircraft is in its life.
enum class AcPhase : std::uint32_t {
    PushBack = 0,
    PushBackDone = 1,
    Taxi = 2,
    Takeoff = 3,
    Airborne = 4,
    ToStand = 5,
    Parked = 6,
    New = 7,
};

// AcDescription, the identity and model data of an aircraft: liveries/ac_description.h.

// Where a stand puts an aircraft.
struct StandPose {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double heading = 0.0;   // radians
};

struct StaticAc {
    StaticAc() = default;
    StaticAc(AcDescription description, std::uint32_t standId, StandPose stand, bool cargoStand);

    AcDescription desc;
    std::uint32_t objectId = 0;
    double standLat = 0.0;
    double standLon = 0.0;
    double standHeading = 0.0;     // radians
    std::uint64_t parkedStamp = 0; // time of the week, packed as currentDaySlot; 0 = not set
    std::uint32_t standId = 0;     // 0 = none
    AcState state = AcState::Buffered;
    std::uint32_t throttleStep = 5; // 5: none sent yet
    std::uint32_t flapsStep = 4;    // 4: none sent yet
    std::uint8_t cargoStand = 0;
    // The stand's occupied flag is this record's: it set the flag when it took the stand, and only
    // it clears the flag again (another aircraft may stand there once this one has left).
    std::uint8_t standHeld = 0;
    std::uint8_t removeWhenCreated = 0;
    std::uint8_t erase = 0;
};

// The pose written to the simulator every pass, in the order of AcPositionRecord.
struct AcPose {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double pitch = 0.0;     // radians
    double bank = 0.0;      // radians
    double heading = 0.0;   // radians
    double altitude = 0.0;  // feet
    double verticalSpeed = 0.0; // feet per second
    double trueAirspeed = 0.0;  // knots
};

inline CurveSegment gf_noCurve()
{
    CurveSegment curve;
    curve.controlEast = std::numeric_limits<double>::quiet_NaN();
    curve.controlNorth = std::numeric_limits<double>::quiet_NaN();
    return curve;
}

struct LiveAc : StaticAc {
    LiveAc(const StreamPosition& first, AcDescription description, double messageTime);

    // Changes the phase and keeps the old one; setting the phase it already has changes nothing.
    void setPhase(AcPhase next);
    bool inGroundMode() const { return groundMode != 0; }
    bool curveActive() const { return !std::isnan(curve.controlEast) && !std::isnan(curve.controlNorth); }

    AcPose pose;
    std::deque<StreamPosition> stream; // received positions not yet flown, oldest first
    double lastMessageTime = 0.0;      // seconds
    // Knots, of the latest message past the time test: the speed jumps are measured against what
    // the aircraft reported, never against a stop the engine made.
    double lastReceivedSpeed = 0.0;
    // The latest fix taken in, as received, and the knots that it and the fix before it imply: a
    // new fix is measured against the track the fixes themselves show. A fix too far from it is
    // held until the next fix confirms it (the aircraft did move there) or not (a bad fix).
    LatLon lastFix;
    double fixSpeed = 0.0;
    std::optional<StreamPosition> heldFix;
    double heldFixTime = 0.0; // seconds
    std::int64_t parkedSince = 0;      // steady-clock ticks of 100 ns; 0 = not parked
    std::int32_t extrapolationsLeft = 0;
    std::uint32_t holdingSincePass = 0;
    AcPhase phase = AcPhase::New;
    AcPhase previousPhase = AcPhase::New;
    std::uint8_t arrivedWhileLive = 0;
    std::uint8_t groundMode = 0;
    std::uint8_t flightPlanSet = 0;
    std::uint8_t userHold = 0;
    std::uint8_t holding = 0;
    double latStep = 0.0;     // degrees per pass
    double lonStep = 0.0;
    double pitchStep = 0.0;   // radians per pass
    double bankStep = 0.0;
    double headingStep = 0.0;
    double altitudeStep = 0.0; // feet per pass
    double verticalRate = 0.0; // feet per minute
    double legSpeed = 0.0;     // knots, negative while pushing back
    CurveSegment curve = gf_noCurve();
    double curveT = 0.0;
    double curveTStep = 0.0;
    double turnDistance = 0.0; // degrees
    StreamPosition pushBackEnd; // the right-hand push-back end
    double lastClaimLat = 0.0;  // last examined stand-claim position
    double lastClaimLon = 0.0;
    std::int32_t maxLead = 1000;
    std::int32_t maxLag = 1000;
    std::int32_t rotationCounter = 1;
    std::int32_t pushBackLegs = 0;
    std::uint32_t standApproachCount = 0;
    double legBearing = 0.0; // radians
    double heightAboveGround = 2500.0;
    double flareHeight = 0.0;
    double touchdownHeading = 0.0;
    double holdDistance = 0.0;
    double standFirstDistance = 0.0;
    double standLastDistance = 0.0;
    double turnDistanceCurve = 0.0;
    std::optional<double> respawnHeading;
    std::uint8_t pushBackTurnRight = 0;
    std::uint8_t pushBackTurnKnown = 0;
    std::optional<double> groundElevation;
    // The ground altitude (feet) the simulator last reported under the aircraft, and the pass of
    // the report; it reports only aircraft within 2500 ft of the ground.
    std::optional<double> reportedGround;
    std::int32_t reportedGroundPass = 0;
    std::uint32_t flareStage = 0;
    std::uint8_t landing = 0;
    std::uint8_t landed = 0;
    std::uint8_t towed = 0;
    std::uint8_t climbConfigured = 0;
    std::uint8_t takeoffRun = 0;
    std::uint8_t highLights = 0;
    std::uint8_t lowLights = 0;
    std::uint8_t pitchSettling = 0;
    std::uint8_t rollingOut = 0;
    std::uint8_t nearStand = 0;
    std::uint8_t curveTurn = 0;
    // Where the clearance from parked static aircraft was last tested (it runs only after a move).
    double collisionTestLat = 0.0;
    double collisionTestLon = 0.0;
};

// Where a stream position lies.
inline LatLon lf_at(const StreamPosition& p)
{
    return {p.lat, p.lon};
}

inline bool lf_isRotorcraft(const StaticAc& ac)
{
    return ac.desc.category == AcCategory::Rotorcraft;
}

// A position of a stream; one that is not there throws std::out_of_range with the text
// "invalid deque<T> subscript", which the enclosing job logs.
template <typename Stream>
auto& gf_streamAt(Stream& stream, std::size_t index)
{
    if (index >= stream.size())
        throw std::out_of_range("invalid deque<T> subscript");
    return stream[index];
}

// ---- The engine's tables, work thread only ----
extern std::vector<LiveAc> liveAcTable;     // insertion order; erased records compacted each pass
extern std::vector<StaticAc> staticAcTable;
extern std::vector<std::uint32_t> acToCreate; // hex ids whose creation request is built next
extern std::vector<std::string> ghostCallsigns; // each ends in '_'
// NoMatchList (flight keys of live aircraft without a livery): liveries/match_summary.h.
extern std::deque<std::uint32_t> spawnCheckList; // hex ids of freshly spawned live aircraft

// Room for 512 live and 256 static records, at the start of every run.
void gf_reserveAcTables();
// The live aircraft with this key, or null.
LiveAc* gf_findLiveAc(std::uint32_t key);
