#pragma once
// The simulator's side of every client session, without sockets: it takes whole request packets,
// answers them into each session's outbox, raises system events and periodic data on the clock's
// ticks, and keeps the world and the trace. The server owns one and guards it with its mutex.

#include "datums.h"
#include "fakesim.h"
#include "trace.h"
#include "wire.h"
#include "world.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace fakesim {

struct DataRequestState {
    wire::RequestDataRequest request;
    std::uint64_t periods = 0;  // periods seen since the request
    std::uint64_t sent = 0;
    std::vector<std::vector<std::uint8_t>> lastDatums;  // for the "changed" flag
};

struct ClientSession {
    unsigned id = 0;
    std::string via;  // "tcp" or "unix"
    bool opened = false;
    std::uint32_t protocol = 0;
    std::string applicationName;
    std::map<std::uint32_t, std::string> subscriptions;  // client event id -> system event name
    std::set<std::uint32_t> switchedOff;                  // SetSystemEventState off
    std::map<std::uint32_t, std::string> mappedEvents;   // client event id -> simulator event name
    std::map<std::uint32_t, std::set<std::uint32_t>> groups;
    std::map<std::uint32_t, std::uint32_t> groupPriorities;
    std::map<std::uint32_t, std::vector<DatumDef>> definitions;
    std::size_t datumCount = 0;
    std::map<std::uint32_t, DataRequestState> dataRequests;  // periodic ones, by request id
    std::vector<std::uint8_t> outbox;                     // bytes waiting for the socket
    bool closeRequested = false;
};

class SimState {
public:
    SimState(const Config& config, Trace& trace);

    void connect(unsigned sessionId, const std::string& via);
    // keepObjects: the simulator itself goes away, so nothing is removed one by one.
    void disconnect(unsigned sessionId, const std::string& reason, bool keepObjects = false);
    // One whole packet as cut from the session's stream.
    void receive(unsigned sessionId, std::span<const std::uint8_t> packet);
    // The session's stream carried an impossible size field: it must end.
    void brokenStream(unsigned sessionId, std::uint32_t size);

    // Clock: one simulated second, one frame.
    void tickSecond();
    void tickFrame();

    void setSimRunning(bool running);
    void sendFlightLoaded(const std::string& fileName);
    void sendPositionChanged();
    void refuseNextCreation(unsigned count) { refuseCreations_ += count; }
    void refuseTitle(const std::string& title);
    void failNextRequest(std::uint32_t requestNumber, std::uint32_t exceptionNumber, unsigned count);
    void sendException(std::uint32_t exceptionNumber, std::uint32_t sendId, std::uint32_t index);
    void setFrameRate(double framesPerSecond);
    double frameRate() const { return frameRate_; }
    void setOpenReply(const wire::OpenReplyFields& fields) { openReply_ = fields; }
    const wire::OpenReplyFields& openReply() const { return openReply_; }
    void setUserAircraft(const UserAircraft& script);
    // The script with the user aircraft's present position, altitude and heading.
    UserAircraft userAircraft() const;
    std::uint32_t addSimObject(SimObject object);
    bool removeSimObject(std::uint32_t objectId);
    // QUIT to every open session.
    void queueQuit();
    // A hostile simulator: every open session gets the same message over and over, as fast as it
    // reads them; messageId recv::kException floods exception `number`, recv::kAssignedObjectId
    // creation replies of request id `number` for object ids it never gave, any other id a
    // message of that (unknown) id. Flood messages are counted, not traced one by one. A deaf
    // flood leaves the clients' packets unread (the server asks floodIsDeaf).
    void startFlood(std::uint32_t messageId, std::uint32_t number, bool deaf);
    // Tops the outbox of every open session up to `fill` bytes of flood messages.
    void topUpFlood(std::size_t fill);
    void endFlood();
    bool flooding() const { return flood_.has_value(); }
    bool floodIsDeaf() const { return flood_ && flood_->deaf; }

    std::map<unsigned, ClientSession>& sessions() { return sessions_; }
    Status status() const;
    bool simRunning() const { return running_; }

private:
    void dispatch(ClientSession& session, const wire::Request& request);
    void handleOpen(ClientSession& session, const wire::RequestHeader& header, const wire::OpenRequest& open);
    void handle(ClientSession& session, const wire::RequestHeader& header, const wire::SubscribeRequest& r);
    void handle(ClientSession& session, const wire::RequestHeader& header, const wire::TransmitClientEventRequest& r);
    void handle(ClientSession& session, const wire::RequestHeader& header, const wire::AddToDataDefinitionRequest& r);
    void handle(ClientSession& session, const wire::RequestHeader& header, const wire::RequestDataRequest& r);
    void handle(ClientSession& session, const wire::RequestHeader& header, const wire::RequestDataByTypeRequest& r);
    void handle(ClientSession& session, const wire::RequestHeader& header, const wire::SetDataRequest& r);
    void handle(ClientSession& session, const wire::RequestHeader& header,
                const wire::CreateNonAtcAircraftRequest& r);
    void handleRemove(ClientSession& session, const wire::RequestHeader& header, const wire::AIObjectRequest& r);
    void handleRelease(ClientSession& session, const wire::RequestHeader& header, const wire::AIObjectRequest& r);
    void handle(ClientSession& session, const wire::RequestHeader& header, const wire::SetFlightPlanRequest& r);

    void sendTo(ClientSession& session, std::vector<std::uint8_t> message);
    void sendException(ClientSession& session, std::uint32_t exceptionNumber, std::uint32_t sendId,
                       std::uint32_t index, std::string_view why);
    // A system event to every open session subscribed to it (and not switched off).
    void raiseEvent(std::string_view systemEvent, std::uint32_t data);
    void raiseObjectEvent(std::string_view systemEvent, const SimObject& object);
    // Serves one period of a periodic request; returns false when the request is finished.
    bool servePeriod(ClientSession& session, DataRequestState& state);
    // Serves the session's periodic requests whose period passes the test; drops finished ones.
    template <typename PeriodTest>
    void servePeriodic(ClientSession& session, PeriodTest isDue);
    void sendObjectData(ClientSession& session, DataRequestState& state, const SimObject& object);
    void removeObject(std::uint32_t objectId, const char* by, unsigned sessionId);
    void traceMove(const SimObject& object, unsigned sessionId);

    const Config& config_;
    Trace& trace_;
    World world_;
    wire::OpenReplyFields openReply_;
    bool running_;
    double frameRate_;
    std::map<unsigned, ClientSession> sessions_;
    std::size_t connectionsSeen_ = 0;
    std::map<std::string, std::size_t> requestCounts_;
    std::size_t exceptionsSent_ = 0;
    std::size_t aiCreated_ = 0;
    std::size_t aiRemoved_ = 0;
    std::int64_t simSeconds_ = 0;
    std::uint64_t framesSent_ = 0;
    std::uint64_t dataSent_ = 0;
    unsigned refuseCreations_ = 0;
    std::set<std::string> refusedTitles_;  // upper case
    std::map<std::uint32_t, std::deque<std::uint32_t>> failRules_;  // request number -> exceptions
    struct Flood {
        std::uint32_t messageId = 0;
        std::uint32_t number = 0;  // the exception's number, or the request id of the replies
        bool deaf = false;
        std::uint64_t sent = 0;
    };
    std::optional<std::vector<std::uint8_t>> floodMessage(const ClientSession& session) const;
    std::optional<Flood> flood_;
    std::uint64_t floodSent_ = 0;  // by every flood since start
};

} // namespace fakesim
