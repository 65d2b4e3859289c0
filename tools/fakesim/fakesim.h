#pragma once
// fakesim: a stand-in for the simulator that speaks the SimConnect protocol on TCP 127.0.0.1 and
// on the simulator's named pipe (on Linux a Unix-domain socket stands in for it), for tests and
// the demo. A FakeSim listens as soon as it is made and
// answers every client on its own thread until it is destroyed or quits. Everything it receives
// and everything that happens to its objects goes to a JSON-lines trace (see README.md).
//
// Thread safety: every member function may be called from any thread.

#include "wire.h"
#include "world.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fakesim {

struct Config {
    bool listenTcp = true;
    std::uint16_t tcpPort = 0;            // 0: any free port (see FakeSim::port)
    // The pipe: on Windows the named pipe of this name ("\\.\pipe\Lockheed Martin Prepar3D
    // v5\SimConnect"), on Linux the Unix-domain socket at this path. Empty: none.
    std::filesystem::path pipePath;
    std::filesystem::path tracePath;      // empty: no trace file
    bool traceMoves = true;               // false: position writes are counted, not traced

    wire::OpenReplyFields openReply;      // application name and version fields of the Open reply
    UserAircraft user;                    // the user aircraft's script
    bool simRunning = true;               // the state that "Sim" reports; false: clock and script stand still
    double frameRate = 30.0;              // Frame events per simulated second; 0: none
    std::chrono::milliseconds secondLength{1000};  // real time of one simulated second
    std::int64_t zuluStartUnix = 0;       // the simulator's zulu clock at start; 0: the wall clock
    std::uint32_t userObjectId = 1;
    std::uint32_t firstAiObjectId = 100;  // object ids of new objects count up from here, never reused
    std::size_t maxAiObjects = 1000;      // more creations get exception 11 (TOO_MANY_OBJECTS)
    double aiStaticCgFt = 8.0;            // "STATIC CG TO GROUND" of new AI objects
    double aiStaticPitchDeg = 0.0;        // "STATIC PITCH" of new AI objects
    bool removeObjectsOfClosedClient = true;  // a client's AI objects go when its connection ends
    std::vector<std::uint32_t> protocols{2, 3, 4, 35};  // accepted protocol numbers of the Open
    std::size_t maxPacketSize = 1u << 20; // a larger size field ends the connection
};

struct Status {
    std::size_t connections = 0;       // client connections now open
    std::size_t opened = 0;            // of these, the ones whose Open was accepted
    std::size_t connectionsSeen = 0;   // connections accepted since start
    std::map<std::string, std::size_t> requestCounts;  // by request name ("AIRemoveObject"), since start
    std::map<std::string, std::size_t> subscribers;    // by system event name: open sessions subscribed to it
    std::size_t exceptionsSent = 0;
    std::size_t aiCreated = 0;         // AI objects created since start (by clients and the simulator)
    std::size_t aiRemoved = 0;
    std::vector<SimObject> aiObjects;  // alive, by id
    std::int64_t simSeconds = 0;       // simulated seconds since start
    std::uint64_t framesSent = 0;      // Frame events sent
    std::uint64_t dataSent = 0;        // SIMOBJECT_DATA and SIMOBJECT_DATA_BYTYPE messages sent
    std::uint64_t floodSent = 0;       // messages of floods (see FakeSim::flood)
    bool flooding = false;
    bool simRunning = false;
    bool ended = false;                // the stand-in has quit

    std::size_t requestCount(std::string_view name) const;
    const SimObject* findObject(std::uint32_t objectId) const;
};

class FakeSim {
public:
    // Listens and starts answering. Throws std::runtime_error when a socket or the trace file
    // cannot be opened.
    explicit FakeSim(Config config);
    // Stops without a QUIT message (as if the simulator died) and removes the Unix socket.
    ~FakeSim();
    FakeSim(const FakeSim&) = delete;
    FakeSim& operator=(const FakeSim&) = delete;

    std::uint16_t port() const;                      // the bound TCP port; 0 without TCP
    const std::filesystem::path& pipePath() const;
    const std::filesystem::path& tracePath() const;

    // ---- Control ----
    // Changes the simulator state: SimStart or SimStop, and "Sim" with 1 or 0, to subscribers.
    void setSimRunning(bool running);
    // "FlightLoaded" (the file-name message) to subscribers.
    void sendFlightLoaded(const std::string& fileName);
    // "PositionChanged" to subscribers.
    void sendPositionChanged();
    // The next `count` creations are refused with exception 22 for their send ids.
    void refuseNextCreation(unsigned count = 1);
    // Every creation with this container title (case-insensitive) is refused with exception 22.
    void refuseTitle(const std::string& title);
    // The next `count` requests of the request number get the exception instead of an answer.
    void failNextRequest(std::uint32_t requestNumber, std::uint32_t exceptionNumber, unsigned count = 1);
    // An exception message to every open client.
    void sendException(std::uint32_t exceptionNumber, std::uint32_t sendId, std::uint32_t index);
    void setFrameRate(double framesPerSimSecond);
    // Used by the Open replies that follow.
    void setOpenReply(const wire::OpenReplyFields& fields);
    wire::OpenReplyFields openReply() const;
    // Places the user aircraft at the script's start and moves it by the script from now on.
    void setUserAircraft(const UserAircraft& script);
    UserAircraft userAircraft() const;
    // An object that the simulator itself places (other traffic): ObjectAdded to subscribers.
    // Returns its object id.
    std::uint32_t addSimObject(SimObject object);
    // The simulator removes an object: ObjectRemoved to subscribers. False for an unknown id.
    bool removeSimObject(std::uint32_t objectId);
    // Closes every client connection at once, without a word; the listeners stay.
    void dropConnections();
    // A hostile simulator for `simSeconds`: every open client gets one message over and over, as
    // fast as it reads them. messageId wire::recv::kException floods exception `number`,
    // wire::recv::kAssignedObjectId creation replies of request id `number` for objects that no
    // client created; any other id floods a message of that id, which no client knows. `deaf`:
    // the clients' packets are left unread until the flood ends.
    void flood(std::uint32_t messageId, std::uint32_t number, double simSeconds, bool deaf = false);
    // A hung simulator: the connections stay open but are neither read nor written, and the
    // clock stands still; only a quit ends it.
    void mute();
    // QUIT to every open client, then the connections and listeners close and the stand-in ends.
    void quit();
    // Safe in a signal handler: quit() on the stand-in's own thread.
    void requestQuitAsync() noexcept;
    // Runs one control line (see control.h); returns "ok", a status text or "error: ...".
    std::string control(std::string_view line);
    // Runs a control line when `simSeconds` simulated seconds have passed since start.
    void scheduleControl(double simSeconds, std::string line);

    // ---- Queries ----
    Status status() const;
    std::vector<SimObject> aiObjects() const;
    std::size_t requestCount(std::string_view requestName) const;
    // Waits until the predicate holds for the current status (checked after every change) or the
    // timeout passes; returns whether it holds.
    bool waitUntil(const std::function<bool(const Status&)>& predicate, std::chrono::milliseconds timeout) const;
    // Waits until the stand-in has quit; returns whether it has.
    bool waitForEnd(std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace fakesim
