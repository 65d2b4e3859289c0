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
#include <unordered_map>
#include <utility>
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

// The live aircraft in the order they came, with indexes of their keys, callsigns and object ids
// beside them. Every change of which record stands where (one added, erased, moved, all cleared)
// goes through the table, which keeps the indexes with it; a record's key never changes once it is
// in the table. The engine writes callsigns through setCallsign() and object ids through
// setObjectId(), never in place: the table keeps every record's object id beside it.
class LiveAcTable {
public:
    using iterator = std::vector<LiveAc>::iterator;
    using const_iterator = std::vector<LiveAc>::const_iterator;

    iterator begin() { return records_.begin(); }
    iterator end() { return records_.end(); }
    const_iterator begin() const { return records_.begin(); }
    const_iterator end() const { return records_.end(); }
    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    LiveAc& operator[](std::size_t i) { return records_[i]; }
    const LiveAc& operator[](std::size_t i) const { return records_[i]; }
    LiveAc& front() { return records_.front(); }
    LiveAc& back() { return records_.back(); }
    void reserve(std::size_t n);

    template <typename... Args>
    LiveAc& emplace_back(Args&&... args)
    {
        LiveAc& ac = records_.emplace_back(std::forward<Args>(args)...);
        indexAdded(records_.size() - 1);
        return ac;
    }
    void clear();
    // Erases the records that match; the others keep their order.
    template <typename Match>
    void eraseIf(Match match)
    {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < records_.size(); ++i) {
            if (match(std::as_const(records_[i]))) {
                indexErased(i);
                continue;
            }
            if (kept != i) {
                records_[kept] = std::move(records_[i]);
                indexMoved(i, kept);
            }
            ++kept;
        }
        records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(kept), records_.end());
        afterErasing();
    }
    // Erases one record at once: the last record moves into its place.
    void eraseMovingLast(const LiveAc* record);

    // The first record with this key, or null.
    LiveAc* find(std::uint32_t key);
    // The first record with this object id, or null.
    LiveAc* findByObjectId(std::uint32_t objectId);
    // The first record with this callsign that the test passes, or null.
    template <typename Match>
    LiveAc* findByCallsign(const std::string& callsign, Match match)
    {
        if (repeatedKeys_) {
            for (LiveAc& ac : records_)
                if (ac.desc.callsign == callsign && match(std::as_const(ac)))
                    return &ac;
            return nullptr;
        }
        LiveAc* first = nullptr;
        const auto [from, to] = byCallsign_.equal_range(callsign);
        for (auto it = from; it != to; ++it) {
            LiveAc* ac = find(it->second);
            if (ac != nullptr && (first == nullptr || ac < first) && ac->desc.callsign == callsign &&
                match(std::as_const(*ac)))
                first = ac;
        }
        return first;
    }
    // Gives the record (of this table, or any other) its callsign.
    void setCallsign(LiveAc& ac, const std::string& callsign);
    // Gives the record (of this table, or any other) its object id.
    void setObjectId(LiveAc& ac, std::uint32_t objectId);

private:
    // Where the records of one object id stand: the first of them, and how many there are.
    struct ObjectIdPlace {
        std::size_t first = 0;
        std::size_t count = 0;
    };

    void indexAdded(std::size_t at);
    void indexErased(std::size_t at);
    void indexMoved(std::size_t from, std::size_t to);
    void indexObjectId(std::uint32_t objectId, std::size_t at);
    void unindexObjectId(std::uint32_t objectId, std::size_t at);
    bool inTable(const LiveAc& ac) const;
    void unindexCallsign(const LiveAc& ac);
    void afterErasing();
    void indexKeys();
    LiveAc* scanObjectIds(std::uint32_t objectId, std::size_t from = 0);

    std::vector<LiveAc> records_;
    // Key to the position of its first record. A key twice in the table (never in the program's
    // own flow) makes every erasure index all keys again, so that the first record stays found.
    std::unordered_map<std::uint32_t, std::size_t> byKey_;
    bool repeatedKeys_ = false;
    // Callsign to the keys of its records: the keys stay when records move. While a key is in the
    // table twice, callsigns are looked up by a scan.
    std::unordered_multimap<std::string, std::uint32_t> byCallsign_;
    // The object id of each record, in the records' order: a scan reads these rather than the
    // records, which lie a thousand bytes apart and would each be read from memory.
    std::vector<std::uint32_t> objectIds_;
    // Each object id but 0 (the records not in the simulator, found by a scan) to where its
    // records stand. A drain of simulator commands looks up an object id for nearly every
    // command: a lookup must not grow with the table.
    std::unordered_map<std::uint32_t, ObjectIdPlace> byObjectId_;
};

// ---- The engine's tables, work thread only ----
extern LiveAcTable liveAcTable; // insertion order; erased records compacted each pass
extern std::vector<StaticAc> staticAcTable;
extern std::vector<std::uint32_t> acToCreate; // hex ids whose creation request is built next
extern std::vector<std::string> ghostCallsigns; // each ends in '_'
// NoMatchList (flight keys of live aircraft without a livery): liveries/match_summary.h.
extern std::deque<std::uint32_t> spawnCheckList; // hex ids of freshly spawned live aircraft

// Room for 512 live and 256 static records, at the start of every run.
void gf_reserveAcTables();
// The live aircraft with this key, or null.
LiveAc* gf_findLiveAc(std::uint32_t key);
