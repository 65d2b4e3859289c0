#pragma once
// The simulated world: the user aircraft, which moves by its script once per simulated second,
// the AI objects that clients create, move and remove, and the simulator's zulu clock.
// Not thread-safe on its own: the server guards it with its state mutex.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fakesim {

// One object's pose as people read it: degrees, feet, knots, feet per minute.
struct Pose {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double altitudeFt = 0.0;
    double pitchDeg = 0.0;
    double bankDeg = 0.0;
    double headingDeg = 0.0;  // true
    double verticalSpeedFpm = 0.0;
    double trueAirspeedKt = 0.0;
    double groundSpeedKt = 0.0;
    bool onGround = false;
};

// The script of the user aircraft: where it starts and how it moves each simulated second
// (ground speed along its heading, turn rate, vertical speed). Default: parked at KLAX.
struct UserAircraft {
    double latitudeDeg = 33.9425;
    double longitudeDeg = -118.408;
    double altitudeFt = 125.0;
    double altAboveGroundFt = 0.0;
    double headingDeg = 0.0;
    double pitchDeg = 0.0;
    double bankDeg = 0.0;
    double groundSpeedKt = 0.0;
    double verticalSpeedFpm = 0.0;
    double turnRateDegPerSec = 0.0;
    bool onGround = true;
    std::string title = "Default Boeing 737-800";
    std::string atcModel = "B738";
    std::string atcId = "N737FS";
    std::string atcType = "BOEING";
    std::uint64_t lightStates = 0;
};

struct SimObject {
    std::uint32_t id = 0;
    std::uint32_t type = 2;  // SIMCONNECT_SIMOBJECT_TYPE: 2 aircraft
    std::string title;
    std::string atcId;  // the tail number of an AI aircraft
    std::string atcModel;
    std::string atcType;
    std::string atcAirline;
    std::string atcFlightNumber;
    Pose pose;
    double groundElevationFt = 0.0;
    double staticCgFt = 8.0;
    double staticPitchDeg = 0.0;
    std::uint64_t lightStates = 0;
    unsigned ownerConnection = 0;  // 0: placed by the simulator itself
    std::uint32_t createRequestId = 0;
    std::uint32_t createSendId = 0;
    bool aiControlReleased = false;
    std::uint64_t writeCount = 0;                    // SetDataOnSimObject requests applied to it
    std::map<std::string, double> values;            // other datums a client wrote, as written
    std::map<std::string, std::uint32_t> events;     // last value of each client event sent to it
    std::string flightPlanPath;
    std::string departure;
    std::string destination;
    std::string planType;

    double altAboveGroundFt() const;
};

// Zulu date and time of the simulator clock.
struct ZuluTime {
    std::int64_t unixSeconds = 0;
    std::int64_t secondsOfDay() const;
    std::int64_t dayOfYear() const;  // 1 = 1 January
    std::int64_t year() const;
    std::int64_t month() const;      // 1..12
    std::int64_t dayOfMonth() const;
    std::int64_t dayOfWeek() const;  // 0 = Sunday
};

// A destination on the sphere: from a position along a true course (degrees) for a distance in
// nautical miles.
void moveAlong(double& latitudeDeg, double& longitudeDeg, double courseDeg, double distanceNm);
double distanceMetres(double lat1Deg, double lon1Deg, double lat2Deg, double lon2Deg);

class World {
public:
    World(const UserAircraft& script, std::uint32_t userObjectId, std::uint32_t firstAiObjectId,
          std::int64_t zuluStartUnix);

    const SimObject& user() const { return user_; }
    SimObject& user() { return user_; }
    const UserAircraft& script() const { return script_; }
    // Replaces the script and places the user aircraft at its start (a teleport).
    void setUserScript(const UserAircraft& script);

    // The user aircraft for SIMCONNECT_OBJECT_ID_USER (0) and its own id, else an AI object.
    SimObject* find(std::uint32_t objectId);
    const SimObject* find(std::uint32_t objectId) const;
    bool isUser(std::uint32_t objectId) const { return objectId == 0 || objectId == user_.id; }

    // Gives the object the next free id (ids are never reused) and keeps it.
    SimObject& add(SimObject object);
    bool remove(std::uint32_t objectId);
    const std::map<std::uint32_t, SimObject>& aiObjects() const { return objects_; }

    // Objects of the type within the radius of the user aircraft, by id, the user aircraft first.
    // Type 1 (all) takes every type; type 0 (user) only the user aircraft.
    std::vector<const SimObject*> objectsInRange(std::uint32_t objectType, double radiusMetres) const;

    // One simulated second: the user aircraft moves by its script and the clock advances.
    void advanceSecond();
    ZuluTime zulu() const { return {zuluUnix_}; }
    void setZulu(std::int64_t unixSeconds) { zuluUnix_ = unixSeconds; }
    double groundElevationFt() const { return groundElevationFt_; }

private:
    void placeUser();

    UserAircraft script_;
    SimObject user_;
    std::map<std::uint32_t, SimObject> objects_;
    std::uint32_t nextObjectId_;
    std::int64_t zuluUnix_;
    double groundElevationFt_ = 0.0;
};

} // namespace fakesim
