#include "sim_state.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace fakesim {

namespace {

using wire::RequestHeader;
namespace exc = wire::exception;

// A client may name any of these in SubscribeToSystemEvent; the stand-in raises the ones the
// program and the tests use (Sim, SimStart, SimStop, 1sec, 4sec, Frame, FlightLoaded,
// ObjectAdded, ObjectRemoved, PositionChanged).
constexpr std::array<std::string_view, 24> kSystemEvents{
    "1sec",        "4sec",          "6Hz",         "AircraftLoaded",      "Crashed",
    "CrashReset",  "FlightLoaded",  "FlightSaved", "FlightPlanActivated", "FlightPlanDeactivated",
    "Frame",       "ObjectAdded",   "ObjectRemoved", "Pause",             "Paused",
    "PauseFrame",  "PositionChanged", "Sim",       "SimStart",            "SimStop",
    "Sound",       "Unpaused",      "View",        "WeatherModeChanged",
};

constexpr std::size_t kMaxDatumsPerSession = 100000;
constexpr std::size_t kMaxFlightPlanBytes = 1u << 20;
constexpr double kMaxRangeMetres = 200000.0;

std::string lf_upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

const std::string_view* lf_systemEvent(std::string_view name)
{
    const std::string upper = lf_upper(name);
    for (const auto& known : kSystemEvents)
        if (lf_upper(known) == upper)
            return &known;
    return nullptr;
}

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
// clang 14 does not deduce an aggregate's template arguments by itself.
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// The fields of a request as the trace shows them.
TraceEntry lf_requestFields(const wire::RequestBody& body, const ClientSession& session)
{
    using namespace wire;
    return std::visit(
        Overloaded{
            [](const UnknownRequest&) { return TraceEntry::object(); },
            [](const OpenRequest& r) {
                return TraceEntry{{"app_name", r.applicationName},
                                  {"alias", r.alias},
                                  {"version", {r.versionMajor, r.versionMinor, r.buildMajor, r.buildMinor}}};
            },
            [](const MapClientEventRequest& r) {
                return TraceEntry{{"client_event", r.clientEventId}, {"event_name", r.eventName}};
            },
            [&session](const TransmitClientEventRequest& r) {
                auto it = session.mappedEvents.find(r.clientEventId);
                return TraceEntry{{"object", r.objectId},
                                  {"client_event", r.clientEventId},
                                  {"event_name", it == session.mappedEvents.end() ? "" : it->second},
                                  {"data", r.data},
                                  {"group", r.groupId},
                                  {"flags", r.flags}};
            },
            [](const SetSystemEventStateRequest& r) {
                return TraceEntry{{"client_event", r.clientEventId}, {"state", r.state}};
            },
            [](const AddClientEventToGroupRequest& r) {
                return TraceEntry{{"group", r.groupId}, {"client_event", r.clientEventId}, {"maskable", r.maskable}};
            },
            [](const RemoveClientEventRequest& r) {
                return TraceEntry{{"group", r.groupId}, {"client_event", r.clientEventId}};
            },
            [](const SetGroupPriorityRequest& r) {
                return TraceEntry{{"group", r.groupId}, {"priority", r.priority}};
            },
            [](const ClearGroupRequest& r) { return TraceEntry{{"group", r.groupId}}; },
            [](const AddToDataDefinitionRequest& r) {
                return TraceEntry{{"definition", r.definitionId}, {"datum", r.datumName},  {"units", r.unitsName},
                                  {"datum_type", r.datumType},    {"epsilon", r.epsilon}, {"datum_id", r.datumId}};
            },
            [](const ClearDataDefinitionRequest& r) { return TraceEntry{{"definition", r.definitionId}}; },
            [](const RequestDataRequest& r) {
                return TraceEntry{{"request_id", r.requestId}, {"definition", r.definitionId}, {"object", r.objectId},
                                  {"period", r.period},        {"flags", r.flags},             {"origin", r.origin},
                                  {"interval", r.interval},    {"limit", r.limit}};
            },
            [](const RequestDataByTypeRequest& r) {
                return TraceEntry{{"request_id", r.requestId},
                                  {"definition", r.definitionId},
                                  {"radius", r.radiusMetres},
                                  {"object_type", r.objectType}};
            },
            [](const SetDataRequest& r) {
                return TraceEntry{{"definition", r.definitionId}, {"object", r.objectId},
                                  {"flags", r.flags},             {"array_count", r.arrayCount},
                                  {"unit_size", r.unitSize},      {"bytes", r.data.size()}};
            },
            [](const SubscribeRequest& r) {
                return TraceEntry{{"client_event", r.clientEventId}, {"event_name", r.eventName}};
            },
            [](const UnsubscribeRequest& r) { return TraceEntry{{"client_event", r.clientEventId}}; },
            [](const CreateNonAtcAircraftRequest& r) {
                return TraceEntry{{"title", r.containerTitle},
                                  {"tail", r.tailNumber},
                                  {"lat", r.position.latitude},
                                  {"lon", r.position.longitude},
                                  {"alt", r.position.altitude},
                                  {"pitch", r.position.pitch},
                                  {"bank", r.position.bank},
                                  {"heading", r.position.heading},
                                  {"on_ground", r.position.onGround},
                                  {"airspeed", r.position.airspeed},
                                  {"request_id", r.requestId}};
            },
            [](const AIObjectRequest& r) { return TraceEntry{{"object", r.objectId}, {"request_id", r.requestId}}; },
            [](const SetFlightPlanRequest& r) {
                return TraceEntry{{"object", r.objectId}, {"path", r.path}, {"request_id", r.requestId}};
            },
        },
        body);
}

TraceEntry lf_poseFields(const SimObject& object)
{
    const Pose& p = object.pose;
    return TraceEntry{{"object", object.id},      {"lat", p.latitudeDeg},         {"lon", p.longitudeDeg},
                      {"alt", p.altitudeFt},      {"pitch", p.pitchDeg},          {"bank", p.bankDeg},
                      {"heading", p.headingDeg},  {"vs", p.verticalSpeedFpm},     {"tas", p.trueAirspeedKt},
                      {"on_ground", p.onGround}};
}

// The text between <tag> and </tag>, or empty.
std::string lf_element(const std::string& text, const std::string& tag)
{
    const auto open = text.find("<" + tag + ">");
    if (open == std::string::npos)
        return {};
    const auto start = open + tag.size() + 2;
    const auto close = text.find("</" + tag + ">", start);
    return close == std::string::npos ? std::string{} : text.substr(start, close - start);
}

// A Windows path ("C:\\folder\\file") of a client that runs under Wine, on the drives of the Wine
// prefix ($WINEPREFIX, else ~/.wine); empty for any other path.
std::string lf_winePrefixPath(const std::string& path)
{
    if (path.size() < 3 || std::isalpha(static_cast<unsigned char>(path[0])) == 0 || path[1] != ':' ||
        (path[2] != '\\' && path[2] != '/'))
        return {};
    const char* prefix = std::getenv("WINEPREFIX");
    const char* home = std::getenv("HOME");
    std::string mapped = prefix != nullptr && *prefix != '\0' ? prefix : std::string(home ? home : "") + "/.wine";
    const std::size_t rest = mapped.size() + std::strlen("/dosdevices/c:");
    mapped += "/dosdevices/" + std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])))) +
              ":" + path.substr(2);
    std::replace(mapped.begin() + static_cast<std::ptrdiff_t>(rest), mapped.end(), '\\', '/');
    return mapped;
}

// Reads an AceXML flight plan; the simulator also finds "name" as "name.pln".
bool lf_readFlightPlan(const std::string& path, std::string& content)
{
    // The Windows program under Wine names its plans with Windows paths.
    const std::string local = lf_winePrefixPath(path);
    std::vector<std::string> candidates{path, path + ".pln"};
    if (!local.empty())
        candidates.insert(candidates.end(), {local, local + ".pln"});
    for (const std::string& candidate : candidates) {
        std::ifstream in(candidate, std::ios::binary);
        if (!in)
            continue;
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (content.size() > kMaxFlightPlanBytes)
            return false;
        return content.find("<FlightPlan.FlightPlan>") != std::string::npos;
    }
    return false;
}

} // namespace

SimState::SimState(const Config& config, Trace& trace)
    : config_(config),
      trace_(trace),
      world_(config.user, config.userObjectId, config.firstAiObjectId, config.zuluStartUnix),
      openReply_(config.openReply),
      running_(config.simRunning),
      frameRate_(config.frameRate)
{
}

// ---- Sessions ----

void SimState::connect(unsigned sessionId, const std::string& via)
{
    ClientSession& session = sessions_[sessionId];
    session.id = sessionId;
    session.via = via;
    ++connectionsSeen_;
    trace_.write("connect", {{"conn", sessionId}, {"via", via}});
}

void SimState::disconnect(unsigned sessionId, const std::string& reason, bool keepObjects)
{
    if (sessions_.erase(sessionId) == 0)
        return;
    trace_.write("disconnect", {{"conn", sessionId}, {"reason", reason}});
    if (keepObjects || !config_.removeObjectsOfClosedClient)
        return;
    std::vector<std::uint32_t> owned;
    for (const auto& [id, object] : world_.aiObjects())
        if (object.ownerConnection == sessionId)
            owned.push_back(id);
    for (std::uint32_t id : owned)
        removeObject(id, "disconnect", sessionId);
}

void SimState::brokenStream(unsigned sessionId, std::uint32_t size)
{
    auto it = sessions_.find(sessionId);
    if (it == sessions_.end())
        return;
    trace_.write("bad_packet", {{"conn", sessionId}, {"size", size}, {"reason", "impossible packet size"}});
    it->second.closeRequested = true;
}

void SimState::receive(unsigned sessionId, std::span<const std::uint8_t> packet)
{
    auto it = sessions_.find(sessionId);
    if (it == sessions_.end() || it->second.closeRequested)
        return;
    ClientSession& session = it->second;
    const auto request = wire::decodeRequest(packet);
    if (!request)
        return;  // the cutter never hands out less than a header
    const std::uint32_t number = request->header.number();
    const std::string name(wire::requestName(number));
    ++requestCounts_[name];
    const bool quiet = number == wire::request::kSetDataOnSimObject && !config_.traceMoves;
    if (!quiet) {
        TraceEntry line{{"conn", session.id},
                        {"request", name},
                        {"send_id", request->header.sendId},
                        {"protocol", request->header.protocol},
                        {"size", packet.size()}};
        if (name == "Unknown")
            line["packet_id"] = request->header.packetId;
        TraceEntry fields = lf_requestFields(request->body, session);
        for (auto& [key, value] : fields.items())
            line[key] = std::move(value);
        trace_.write("request", std::move(line));
    }
    dispatch(session, *request);
}

void SimState::dispatch(ClientSession& session, const wire::Request& request)
{
    using namespace wire;
    const RequestHeader& header = request.header;
    const std::uint32_t number = header.number();
    if (requestFixedSize(number) == 0 || (header.packetId & kPacketIdFlag) != kPacketIdFlag)
        return;  // not a request this simulator knows: ignored, as the trace shows
    if (!request.complete) {
        sendException(session, exc::kSizeMismatch, header.sendId, 0, "packet shorter than its fields");
        return;
    }
    const bool isOpen = number == request::kOpen;
    if (!session.opened && !isOpen) {
        sendException(session, exc::kUnopened, header.sendId, 0, "request before a successful Open");
        return;
    }
    if (auto rule = failRules_.find(number); rule != failRules_.end() && !rule->second.empty()) {
        const std::uint32_t exceptionNumber = rule->second.front();
        rule->second.pop_front();
        if (isOpen)
            session.protocol = header.protocol;
        sendException(session, exceptionNumber, header.sendId, 1, "failed by command");
        return;
    }
    if (const auto* open = std::get_if<OpenRequest>(&request.body)) {
        handleOpen(session, header, *open);
        return;
    }
    std::visit(
        Overloaded{
            [](const UnknownRequest&) {},
            [](const OpenRequest&) {},
            [&](const MapClientEventRequest& r) { session.mappedEvents[r.clientEventId] = r.eventName; },
            [&](const TransmitClientEventRequest& r) { handle(session, header, r); },
            [&](const SetSystemEventStateRequest& r) {
                if (r.state == 0)
                    session.switchedOff.insert(r.clientEventId);
                else
                    session.switchedOff.erase(r.clientEventId);
            },
            [&](const AddClientEventToGroupRequest& r) { session.groups[r.groupId].insert(r.clientEventId); },
            [&](const RemoveClientEventRequest& r) { session.groups[r.groupId].erase(r.clientEventId); },
            [&](const SetGroupPriorityRequest& r) { session.groupPriorities[r.groupId] = r.priority; },
            [&](const ClearGroupRequest& r) { session.groups.erase(r.groupId); },
            [&](const AddToDataDefinitionRequest& r) { handle(session, header, r); },
            [&](const ClearDataDefinitionRequest& r) {
                auto it = session.definitions.find(r.definitionId);
                if (it == session.definitions.end()) {
                    sendException(session, exc::kUnrecognizedId, header.sendId, 1, "unknown definition");
                    return;
                }
                session.datumCount -= it->second.size();
                session.definitions.erase(it);
            },
            [&](const RequestDataRequest& r) { handle(session, header, r); },
            [&](const RequestDataByTypeRequest& r) { handle(session, header, r); },
            [&](const SetDataRequest& r) { handle(session, header, r); },
            [&](const SubscribeRequest& r) { handle(session, header, r); },
            [&](const UnsubscribeRequest& r) {
                session.subscriptions.erase(r.clientEventId);
                session.switchedOff.erase(r.clientEventId);
            },
            [&](const CreateNonAtcAircraftRequest& r) { handle(session, header, r); },
            [&](const AIObjectRequest& r) {
                if (number == request::kAIRemoveObject)
                    handleRemove(session, header, r);
                else
                    handleRelease(session, header, r);
            },
            [&](const SetFlightPlanRequest& r) { handle(session, header, r); },
        },
        request.body);
}

void SimState::handleOpen(ClientSession& session, const RequestHeader& header, const wire::OpenRequest& open)
{
    const auto& accepted = config_.protocols;
    if (std::find(accepted.begin(), accepted.end(), header.protocol) == accepted.end()) {
        session.protocol = header.protocol;
        sendException(session, exc::kVersionMismatch, header.sendId, 0, "protocol not supported");
        return;
    }
    session.opened = true;
    session.protocol = header.protocol;
    session.applicationName = open.applicationName;
    sendTo(session, wire::openReply(session.protocol, openReply_));
    trace_.write("opened", {{"conn", session.id},
                            {"app_name", open.applicationName},
                            {"protocol", header.protocol},
                            {"alias", open.alias}});
}

void SimState::handle(ClientSession& session, const RequestHeader& header, const wire::SubscribeRequest& r)
{
    const std::string_view* systemEvent = lf_systemEvent(r.eventName);
    if (systemEvent == nullptr) {
        sendException(session, exc::kNameUnrecognized, header.sendId, 2, "unknown system event");
        return;
    }
    session.subscriptions[r.clientEventId] = std::string(*systemEvent);
    session.switchedOff.erase(r.clientEventId);
    // "Sim" tells the current state at once, so a client knows it without waiting for a change.
    if (*systemEvent == "Sim")
        sendTo(session, wire::eventMessage(session.protocol, wire::kUnknownGroup, r.clientEventId, running_ ? 1 : 0));
}

void SimState::handle(ClientSession& session, const RequestHeader& header,
                      const wire::TransmitClientEventRequest& r)
{
    auto mapped = session.mappedEvents.find(r.clientEventId);
    if (mapped == session.mappedEvents.end()) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 2, "client event not mapped");
        return;
    }
    SimObject* object = world_.find(r.objectId);
    if (object == nullptr) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 1, "unknown object");
        return;
    }
    applyClientEvent(*object, mapped->second, r.data);
}

void SimState::handle(ClientSession& session, const RequestHeader& header,
                      const wire::AddToDataDefinitionRequest& r)
{
    if (!wire::datumTypeSupported(r.datumType)) {
        sendException(session, exc::kInvalidDataType, header.sendId, 4, "datum type not supported");
        return;
    }
    if (r.datumName.empty()) {
        sendException(session, exc::kNameUnrecognized, header.sendId, 2, "empty datum name");
        return;
    }
    if (session.datumCount >= kMaxDatumsPerSession) {
        sendException(session, exc::kError, header.sendId, 1, "too many datums");
        return;
    }
    session.definitions[r.definitionId].push_back({r.datumName, r.unitsName, r.datumType, r.epsilon, r.datumId});
    ++session.datumCount;
}

void SimState::handle(ClientSession& session, const RequestHeader& header, const wire::RequestDataRequest& r)
{
    if (r.period == wire::period::kNever) {
        session.dataRequests.erase(r.requestId);
        return;
    }
    if (!session.definitions.contains(r.definitionId)) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 2, "unknown definition");
        return;
    }
    if (world_.find(r.objectId) == nullptr) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 3, "unknown object");
        return;
    }
    if (r.period > wire::period::kSecond) {
        sendException(session, 27, header.sendId, 4, "unknown period");  // INVALID_ENUM
        return;
    }
    DataRequestState state;
    state.request = r;
    if (r.period == wire::period::kOnce) {
        session.dataRequests.erase(r.requestId);
        sendObjectData(session, state, *world_.find(r.objectId));
        return;
    }
    // A periodic request replaces one with the same id and serves its first period at once.
    auto [it, inserted] = session.dataRequests.insert_or_assign(r.requestId, std::move(state));
    if (!servePeriod(session, it->second))
        session.dataRequests.erase(it);
}

void SimState::handle(ClientSession& session, const RequestHeader& header, const wire::RequestDataByTypeRequest& r)
{
    auto definition = session.definitions.find(r.definitionId);
    if (definition == session.definitions.end()) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 2, "unknown definition");
        return;
    }
    if (r.objectType > 5) {
        sendException(session, 27, header.sendId, 4, "unknown object type");  // INVALID_ENUM
        return;
    }
    const auto found = world_.objectsInRange(r.objectType, std::min<double>(r.radiusMetres, kMaxRangeMetres));
    const auto zulu = world_.zulu();
    for (std::size_t i = 0; i < found.size(); ++i) {
        wire::SimObjectDataFields fields;
        fields.requestId = r.requestId;
        fields.objectId = found[i]->id;
        fields.definitionId = r.definitionId;
        fields.entryNumber = static_cast<std::uint32_t>(i + 1);
        fields.outOf = static_cast<std::uint32_t>(found.size());
        fields.defineCount = static_cast<std::uint32_t>(definition->second.size());
        const auto data = encodeDefinition(definition->second, *found[i], zulu);
        sendTo(session, wire::simObjectDataMessage(session.protocol, true, fields, data));
        ++dataSent_;
    }
}

void SimState::handle(ClientSession& session, const RequestHeader& header, const wire::SetDataRequest& r)
{
    auto definition = session.definitions.find(r.definitionId);
    if (definition == session.definitions.end()) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 1, "unknown definition");
        return;
    }
    SimObject* object = world_.find(r.objectId);
    if (object == nullptr) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 2, "unknown object");
        return;
    }
    const auto& datums = definition->second;
    const bool tagged = (r.flags & wire::kDataSetFlagTagged) != 0;
    std::uint64_t definitionSize = 0;
    for (const auto& datum : datums) {
        if (datum.type == wire::datatype::kStringV) {
            sendException(session, exc::kInvalidDataType, header.sendId, 1, "a STRINGV datum cannot be set");
            return;
        }
        definitionSize += wire::datumSize(datum.type);
    }
    const std::uint64_t count = std::max<std::uint32_t>(r.arrayCount, 1);
    const std::uint64_t needed = count * r.unitSize;
    if (needed > r.data.size() || (!tagged && r.unitSize < definitionSize)) {
        sendException(session, exc::kInvalidDataSize, header.sendId, 5, "data size does not fit the definition");
        return;
    }
    SimObject changed = *object;
    for (std::uint64_t element = 0; element < count; ++element) {
        wire::Reader in(std::span(r.data).subspan(element * r.unitSize, r.unitSize));
        if (!tagged) {
            for (const auto& datum : datums)
                applyDatum(in, datum, changed);
            continue;
        }
        while (in.remaining() >= 4) {
            const std::uint32_t datumId = in.u32();
            auto match = std::find_if(datums.begin(), datums.end(), [&](const DatumDef& d) { return d.datumId == datumId; });
            if (match == datums.end()) {
                sendException(session, 30, header.sendId, 6, "unknown datum id");  // DATUM_ID
                return;
            }
            if (!applyDatum(in, *match, changed)) {
                sendException(session, exc::kInvalidDataSize, header.sendId, 6, "tagged data ends inside a datum");
                return;
            }
        }
    }
    if (!world_.isUser(object->id))
        changed.pose.onGround = changed.pose.altitudeFt - changed.groundElevationFt <= changed.staticCgFt + 1.0;
    ++changed.writeCount;
    *object = std::move(changed);
    traceMove(*object, session.id);
}

void SimState::handle(ClientSession& session, const RequestHeader& header,
                      const wire::CreateNonAtcAircraftRequest& r)
{
    std::uint32_t exceptionNumber = exc::kCreateObjectFailed;
    const char* refusal = nullptr;
    if (r.containerTitle.empty()) {
        refusal = "empty container title";
    } else if (refuseCreations_ > 0) {
        --refuseCreations_;
        refusal = "refused by command";
    } else if (refusedTitles_.contains(lf_upper(r.containerTitle))) {
        refusal = "refused title";
    } else if (world_.aiObjects().size() >= config_.maxAiObjects) {
        exceptionNumber = exc::kTooManyObjects;
        refusal = "too many objects";
    }
    if (refusal != nullptr) {
        sendException(session, exceptionNumber, header.sendId, 1, refusal);
        return;
    }
    SimObject object;
    object.title = r.containerTitle;
    object.atcId = r.tailNumber;
    object.pose.latitudeDeg = r.position.latitude;
    object.pose.longitudeDeg = r.position.longitude;
    object.pose.altitudeFt = r.position.altitude;
    object.pose.pitchDeg = r.position.pitch;
    object.pose.bankDeg = r.position.bank;
    object.pose.headingDeg = r.position.heading;
    object.pose.onGround = r.position.onGround != 0;
    // Negative airspeeds ask for the model's cruise speed (-1) or the current one (-2): none here.
    const auto airspeed = static_cast<std::int32_t>(r.position.airspeed);
    object.pose.trueAirspeedKt = std::max(0, airspeed);
    object.pose.groundSpeedKt = object.pose.trueAirspeedKt;
    object.groundElevationFt = world_.groundElevationFt();
    object.staticCgFt = config_.aiStaticCgFt;
    object.staticPitchDeg = config_.aiStaticPitchDeg;
    object.ownerConnection = session.id;
    object.createRequestId = r.requestId;
    object.createSendId = header.sendId;
    const SimObject& added = world_.add(std::move(object));
    ++aiCreated_;
    TraceEntry line = lf_poseFields(added);
    line["conn"] = session.id;
    line["send_id"] = header.sendId;
    line["request_id"] = r.requestId;
    line["title"] = added.title;
    line["tail"] = added.atcId;
    trace_.write("created", std::move(line));
    raiseObjectEvent("ObjectAdded", added);
    sendTo(session, wire::assignedObjectIdMessage(session.protocol, r.requestId, added.id));
}

void SimState::handleRemove(ClientSession& session, const RequestHeader& header, const wire::AIObjectRequest& r)
{
    if (world_.isUser(r.objectId)) {
        sendException(session, exc::kOperationInvalidForObjectType, header.sendId, 1, "the user aircraft");
        return;
    }
    if (world_.find(r.objectId) == nullptr) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 1, "unknown object");
        return;
    }
    removeObject(r.objectId, "client", session.id);
}

void SimState::handleRelease(ClientSession& session, const RequestHeader& header, const wire::AIObjectRequest& r)
{
    if (world_.isUser(r.objectId)) {
        sendException(session, exc::kOperationInvalidForObjectType, header.sendId, 1, "the user aircraft");
        return;
    }
    SimObject* object = world_.find(r.objectId);
    if (object == nullptr) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 1, "unknown object");
        return;
    }
    object->aiControlReleased = true;
}

void SimState::handle(ClientSession& session, const RequestHeader& header, const wire::SetFlightPlanRequest& r)
{
    SimObject* object = world_.find(r.objectId);
    if (object == nullptr || world_.isUser(r.objectId)) {
        sendException(session, exc::kUnrecognizedId, header.sendId, 1, "unknown object");
        return;
    }
    std::string content;
    if (!lf_readFlightPlan(r.path, content)) {
        trace_.write("flight_plan_failed", {{"conn", session.id}, {"object", r.objectId}, {"path", r.path}});
        sendException(session, exc::kLoadFlightplanFailed, header.sendId, 2, "flight plan cannot be loaded");
        return;
    }
    object->flightPlanPath = r.path;
    object->planType = lf_element(content, "FPType");
    object->departure = lf_element(content, "DepartureID");
    object->destination = lf_element(content, "DestinationID");
    trace_.write("flight_plan", {{"conn", session.id},
                                 {"object", r.objectId},
                                 {"path", r.path},
                                 {"plan_type", object->planType},
                                 {"departure", object->departure},
                                 {"destination", object->destination}});
}

// ---- Output ----

void SimState::sendTo(ClientSession& session, std::vector<std::uint8_t> message)
{
    if (session.closeRequested)
        return;
    session.outbox.insert(session.outbox.end(), message.begin(), message.end());
}

void SimState::sendException(ClientSession& session, std::uint32_t exceptionNumber, std::uint32_t sendId,
                             std::uint32_t index, std::string_view why)
{
    sendTo(session, wire::exceptionMessage(session.protocol, exceptionNumber, sendId, index));
    ++exceptionsSent_;
    trace_.write("exception", {{"conn", session.id},
                               {"exception", exceptionNumber},
                               {"send_id", sendId},
                               {"index", index},
                               {"reason", why}});
}

void SimState::raiseEvent(std::string_view systemEvent, std::uint32_t data)
{
    for (auto& [id, session] : sessions_) {
        if (!session.opened)
            continue;
        for (const auto& [clientEventId, name] : session.subscriptions)
            if (name == systemEvent && !session.switchedOff.contains(clientEventId))
                sendTo(session, wire::eventMessage(session.protocol, wire::kUnknownGroup, clientEventId, data));
    }
}

void SimState::raiseObjectEvent(std::string_view systemEvent, const SimObject& object)
{
    for (auto& [id, session] : sessions_) {
        if (!session.opened)
            continue;
        for (const auto& [clientEventId, name] : session.subscriptions)
            if (name == systemEvent && !session.switchedOff.contains(clientEventId))
                sendTo(session, wire::objectAddRemoveMessage(session.protocol, clientEventId, object.id, object.type));
    }
}

void SimState::sendObjectData(ClientSession& session, DataRequestState& state, const SimObject& object)
{
    const auto& r = state.request;
    auto definition = session.definitions.find(r.definitionId);
    if (definition == session.definitions.end())
        return;
    const auto& datums = definition->second;
    const auto zulu = world_.zulu();
    std::vector<std::vector<std::uint8_t>> encoded;
    encoded.reserve(datums.size());
    for (const auto& datum : datums) {
        wire::Writer one;
        encodeDatum(one, datum, object, zulu);
        encoded.push_back(one.take());
    }
    const bool onlyChanged = (r.flags & wire::kDataRequestFlagChanged) != 0;
    const bool tagged = (r.flags & wire::kDataRequestFlagTagged) != 0;
    const bool firstTime = state.lastDatums.size() != encoded.size();
    if (onlyChanged && !firstTime && encoded == state.lastDatums)
        return;
    wire::Writer data;
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (tagged) {
            if (onlyChanged && !firstTime && encoded[i] == state.lastDatums[i])
                continue;
            data.u32(datums[i].datumId);
        }
        data.raw(encoded[i]);
        ++count;
    }
    wire::SimObjectDataFields fields;
    fields.requestId = r.requestId;
    fields.objectId = object.id;
    fields.definitionId = r.definitionId;
    fields.flags = r.flags;
    fields.defineCount = count;
    sendTo(session, wire::simObjectDataMessage(session.protocol, false, fields, data.bytes()));
    state.lastDatums = std::move(encoded);
    ++state.sent;
    ++dataSent_;
}

bool SimState::servePeriod(ClientSession& session, DataRequestState& state)
{
    const auto& r = state.request;
    const SimObject* object = world_.find(r.objectId);
    if (object == nullptr || !session.definitions.contains(r.definitionId))
        return false;
    ++state.periods;
    if (state.periods <= r.origin)
        return true;
    if ((state.periods - r.origin - 1) % (static_cast<std::uint64_t>(r.interval) + 1) != 0)
        return true;
    sendObjectData(session, state, *object);
    return r.limit == 0 || state.sent < r.limit;
}

template <typename PeriodTest>
void SimState::servePeriodic(ClientSession& session, PeriodTest isDue)
{
    for (auto it = session.dataRequests.begin(); it != session.dataRequests.end();) {
        if (isDue(it->second.request.period) && !servePeriod(session, it->second))
            it = session.dataRequests.erase(it);
        else
            ++it;
    }
}

void SimState::removeObject(std::uint32_t objectId, const char* by, unsigned sessionId)
{
    const SimObject* object = world_.find(objectId);
    if (object == nullptr)
        return;
    const SimObject gone = *object;
    world_.remove(objectId);
    ++aiRemoved_;
    for (auto& [id, session] : sessions_)
        std::erase_if(session.dataRequests, [&](const auto& entry) { return entry.second.request.objectId == objectId; });
    TraceEntry line{{"object", objectId}, {"by", by}, {"title", gone.title}, {"tail", gone.atcId}};
    if (sessionId != 0)
        line["conn"] = sessionId;
    trace_.write("removed", std::move(line));
    raiseObjectEvent("ObjectRemoved", gone);
}

void SimState::traceMove(const SimObject& object, unsigned sessionId)
{
    if (!config_.traceMoves)
        return;
    TraceEntry line = lf_poseFields(object);
    line["conn"] = sessionId;
    trace_.write("moved", std::move(line));
}

// ---- Clock ----

void SimState::tickSecond()
{
    ++simSeconds_;
    if (running_)
        world_.advanceSecond();
    raiseEvent("1sec", 0);
    if (simSeconds_ % 4 == 0)
        raiseEvent("4sec", 0);
    for (auto& [id, session] : sessions_) {
        if (!session.opened)
            continue;
        servePeriodic(session, [](std::uint32_t period) { return period == wire::period::kSecond; });
    }
}

void SimState::tickFrame()
{
    for (auto& [id, session] : sessions_) {
        if (!session.opened)
            continue;
        for (const auto& [clientEventId, name] : session.subscriptions) {
            if (name != "Frame" || session.switchedOff.contains(clientEventId))
                continue;
            sendTo(session, wire::frameMessage(session.protocol, clientEventId, static_cast<float>(frameRate_), 1.0f));
            ++framesSent_;
        }
        servePeriodic(session, [](std::uint32_t period) {
            return period == wire::period::kVisualFrame || period == wire::period::kSimFrame;
        });
    }
}

// ---- Control ----

void SimState::setSimRunning(bool running)
{
    if (running == running_)
        return;
    running_ = running;
    trace_.write("sim", {{"running", running}});
    raiseEvent(running ? "SimStart" : "SimStop", 0);
    raiseEvent("Sim", running ? 1 : 0);
}

void SimState::sendFlightLoaded(const std::string& fileName)
{
    trace_.write("flight_loaded", {{"file", fileName}});
    for (auto& [id, session] : sessions_) {
        if (!session.opened)
            continue;
        for (const auto& [clientEventId, name] : session.subscriptions)
            if (name == "FlightLoaded" && !session.switchedOff.contains(clientEventId))
                sendTo(session, wire::filenameMessage(session.protocol, clientEventId, fileName, 0));
    }
}

void SimState::sendPositionChanged()
{
    trace_.write("position_changed");
    raiseEvent("PositionChanged", 0);
}

void SimState::refuseTitle(const std::string& title)
{
    refusedTitles_.insert(lf_upper(title));
}

void SimState::failNextRequest(std::uint32_t requestNumber, std::uint32_t exceptionNumber, unsigned count)
{
    auto& rule = failRules_[requestNumber];
    rule.insert(rule.end(), count, exceptionNumber);
}

void SimState::sendException(std::uint32_t exceptionNumber, std::uint32_t sendId, std::uint32_t index)
{
    for (auto& [id, session] : sessions_)
        if (session.opened)
            sendException(session, exceptionNumber, sendId, index, "sent by command");
}

void SimState::setFrameRate(double framesPerSecond)
{
    frameRate_ = std::max(0.0, framesPerSecond);
}

void SimState::setUserAircraft(const UserAircraft& script)
{
    world_.setUserScript(script);
    TraceEntry line = lf_poseFields(world_.user());
    line["title"] = script.title;
    trace_.write("user", std::move(line));
}

UserAircraft SimState::userAircraft() const
{
    UserAircraft now = world_.script();
    const Pose& pose = world_.user().pose;
    now.latitudeDeg = pose.latitudeDeg;
    now.longitudeDeg = pose.longitudeDeg;
    now.altitudeFt = pose.altitudeFt;
    now.altAboveGroundFt = world_.user().altAboveGroundFt();
    now.headingDeg = pose.headingDeg;
    now.onGround = pose.onGround;
    return now;
}

std::uint32_t SimState::addSimObject(SimObject object)
{
    object.ownerConnection = 0;
    if (object.groundElevationFt == 0.0)
        object.groundElevationFt = world_.groundElevationFt();
    const SimObject& added = world_.add(std::move(object));
    ++aiCreated_;
    TraceEntry line = lf_poseFields(added);
    line["by"] = "sim";
    line["title"] = added.title;
    line["tail"] = added.atcId;
    trace_.write("created", std::move(line));
    raiseObjectEvent("ObjectAdded", added);
    return added.id;
}

bool SimState::removeSimObject(std::uint32_t objectId)
{
    if (world_.isUser(objectId) || world_.find(objectId) == nullptr)
        return false;
    removeObject(objectId, "sim", 0);
    return true;
}

void SimState::queueQuit()
{
    for (auto& [id, session] : sessions_)
        if (session.opened)
            sendTo(session, wire::quitMessage(session.protocol));
}

void SimState::startFlood(std::uint32_t messageId, std::uint32_t number, bool deaf)
{
    flood_ = Flood{messageId, number, deaf, 0};
    TraceEntry fields{{"message", messageId}, {"deaf", deaf}};
    if (messageId == wire::recv::kAssignedObjectId)
        fields["request_id"] = number;
    else if (messageId == wire::recv::kException)
        fields["exception"] = number;
    trace_.write("flood", std::move(fields));
}

// The flood's next message. The creation replies and object events name object ids far above
// those that creations get, so that no client can have created them. The object events are
// aircraft added and removed in turn, each sent under the client's own event ids (none for a
// client that subscribed to neither).
std::optional<std::vector<std::uint8_t>> SimState::floodMessage(const ClientSession& session) const
{
    constexpr std::uint32_t kFloodObjectIds = 0x40000000;
    const auto objectId = [this](std::uint64_t turn) {
        return kFloodObjectIds + static_cast<std::uint32_t>(turn % kFloodObjectIds);
    };
    switch (flood_->messageId) {
    case wire::recv::kException: return wire::exceptionMessage(session.protocol, flood_->number, 0, 0);
    case wire::recv::kAssignedObjectId:
        return wire::assignedObjectIdMessage(session.protocol, flood_->number, objectId(flood_->sent));
    case wire::recv::kEventObjectAddRemove: {
        const std::string_view event = flood_->sent % 2 == 0 ? "ObjectAdded" : "ObjectRemoved";
        for (const auto& [clientEventId, name] : session.subscriptions)
            if (name == event)
                return wire::objectAddRemoveMessage(session.protocol, clientEventId, objectId(flood_->sent / 2),
                                                    SimObject{}.type);
        return std::nullopt;
    }
    default: return wire::unknownMessage(session.protocol, flood_->messageId);
    }
}

void SimState::topUpFlood(std::size_t fill)
{
    if (!flood_)
        return;
    for (auto& [id, session] : sessions_) {
        if (!session.opened || session.closeRequested)
            continue;
        while (session.outbox.size() < fill) {
            const std::optional<std::vector<std::uint8_t>> message = floodMessage(session);
            if (!message)
                break;
            ++flood_->sent;
            session.outbox.insert(session.outbox.end(), message->begin(), message->end());
            ++floodSent_;
        }
    }
}

void SimState::endFlood()
{
    if (!flood_)
        return;
    trace_.write("flood_end", {{"message", flood_->messageId}, {"sent", flood_->sent}});
    flood_.reset();
}

Status SimState::status() const
{
    Status s;
    s.connections = sessions_.size();
    s.opened = static_cast<std::size_t>(
        std::count_if(sessions_.begin(), sessions_.end(), [](const auto& entry) { return entry.second.opened; }));
    s.connectionsSeen = connectionsSeen_;
    s.requestCounts = requestCounts_;
    for (const auto& [id, session] : sessions_) {
        std::set<std::string> names;
        for (const auto& [clientEventId, name] : session.subscriptions)
            if (session.opened && !session.switchedOff.contains(clientEventId))
                names.insert(name);
        for (const std::string& name : names)
            ++s.subscribers[name];
    }
    s.exceptionsSent = exceptionsSent_;
    s.aiCreated = aiCreated_;
    s.aiRemoved = aiRemoved_;
    for (const auto& [id, object] : world_.aiObjects())
        s.aiObjects.push_back(object);
    s.simSeconds = simSeconds_;
    s.framesSent = framesSent_;
    s.dataSent = dataSent_;
    s.floodSent = floodSent_;
    s.flooding = flood_.has_value();
    s.simRunning = running_;
    return s;
}

} // namespace fakesim
