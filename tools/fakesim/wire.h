#pragma once
// The SimConnect wire format as the simulator sees it: the request packets a client sends and the
// messages the simulator answers with. Every field is little-endian; strings are 8-bit characters
// in fixed-width fields, NUL-terminated (or filling the field). Decoding never reads outside the
// packet it is given: a packet too short for its fixed fields is reported, not read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fakesim::wire {

inline constexpr std::uint32_t kPacketIdFlag = 0xF0000000;
inline constexpr std::uint32_t kUnused = 0xFFFFFFFF;      // SIMCONNECT_UNUSED
inline constexpr std::uint32_t kUnknownGroup = 0xFFFFFFFF; // group id of system events
inline constexpr std::size_t kRequestHeaderSize = 16;
inline constexpr std::size_t kMessageHeaderSize = 12;
inline constexpr std::size_t kMaxPathLength = 260;

// Request numbers (the low bits of the packet id).
namespace request {
inline constexpr std::uint32_t kOpen = 0x01;
inline constexpr std::uint32_t kMapClientEventToSimEvent = 0x04;
inline constexpr std::uint32_t kTransmitClientEvent = 0x05;
inline constexpr std::uint32_t kSetSystemEventState = 0x06;
inline constexpr std::uint32_t kAddClientEventToNotificationGroup = 0x07;
inline constexpr std::uint32_t kRemoveClientEvent = 0x08;
inline constexpr std::uint32_t kSetNotificationGroupPriority = 0x09;
inline constexpr std::uint32_t kClearNotificationGroup = 0x0A;
inline constexpr std::uint32_t kAddToDataDefinition = 0x0C;
inline constexpr std::uint32_t kClearDataDefinition = 0x0D;
inline constexpr std::uint32_t kRequestDataOnSimObject = 0x0E;
inline constexpr std::uint32_t kRequestDataOnSimObjectType = 0x0F;
inline constexpr std::uint32_t kSetDataOnSimObject = 0x10;
inline constexpr std::uint32_t kSubscribeToSystemEvent = 0x17;
inline constexpr std::uint32_t kUnsubscribeFromSystemEvent = 0x18;
inline constexpr std::uint32_t kAICreateNonATCAircraft = 0x29;
inline constexpr std::uint32_t kAIReleaseControl = 0x2B;
inline constexpr std::uint32_t kAIRemoveObject = 0x2C;
inline constexpr std::uint32_t kAISetAircraftFlightPlan = 0x2D;
} // namespace request

// The published name of a request number ("AIRemoveObject"); "Unknown" for others.
std::string_view requestName(std::uint32_t requestNumber);
// The request number of a published name (case-insensitive), or of "0x2C" / "44".
std::optional<std::uint32_t> requestNumberFromName(std::string_view name);

// Message ids (SIMCONNECT_RECV_ID).
namespace recv {
inline constexpr std::uint32_t kException = 1;
inline constexpr std::uint32_t kOpen = 2;
inline constexpr std::uint32_t kQuit = 3;
inline constexpr std::uint32_t kEvent = 4;
inline constexpr std::uint32_t kEventObjectAddRemove = 5;
inline constexpr std::uint32_t kEventFilename = 6;
inline constexpr std::uint32_t kEventFrame = 7;
inline constexpr std::uint32_t kSimObjectData = 8;
inline constexpr std::uint32_t kSimObjectDataByType = 9;
inline constexpr std::uint32_t kAssignedObjectId = 12;
} // namespace recv

// Exception numbers (SIMCONNECT_EXCEPTION) that the stand-in raises.
namespace exception {
inline constexpr std::uint32_t kError = 1;
inline constexpr std::uint32_t kSizeMismatch = 2;
inline constexpr std::uint32_t kUnrecognizedId = 3;
inline constexpr std::uint32_t kUnopened = 4;
inline constexpr std::uint32_t kVersionMismatch = 5;
inline constexpr std::uint32_t kNameUnrecognized = 7;
inline constexpr std::uint32_t kTooManyObjects = 11;
inline constexpr std::uint32_t kInvalidDataType = 18;
inline constexpr std::uint32_t kInvalidDataSize = 19;
inline constexpr std::uint32_t kCreateObjectFailed = 22;
inline constexpr std::uint32_t kLoadFlightplanFailed = 23;
inline constexpr std::uint32_t kOperationInvalidForObjectType = 24;
} // namespace exception

// Datum types (SIMCONNECT_DATATYPE).
namespace datatype {
inline constexpr std::uint32_t kInt32 = 1;
inline constexpr std::uint32_t kInt64 = 2;
inline constexpr std::uint32_t kFloat32 = 3;
inline constexpr std::uint32_t kFloat64 = 4;
inline constexpr std::uint32_t kString8 = 5;
inline constexpr std::uint32_t kString32 = 6;
inline constexpr std::uint32_t kString64 = 7;
inline constexpr std::uint32_t kString128 = 8;
inline constexpr std::uint32_t kString256 = 9;
inline constexpr std::uint32_t kString260 = 10;
inline constexpr std::uint32_t kStringV = 11;
inline constexpr std::uint32_t kInitPosition = 12;
inline constexpr std::uint32_t kLatLonAlt = 15;
inline constexpr std::uint32_t kXyz = 16;
} // namespace datatype

// Bytes one datum of the type takes; 0 for STRINGV (variable) and for types not supported.
std::size_t datumSize(std::uint32_t type);
bool datumTypeSupported(std::uint32_t type);
bool datumTypeIsString(std::uint32_t type);

namespace period {
inline constexpr std::uint32_t kNever = 0;
inline constexpr std::uint32_t kOnce = 1;
inline constexpr std::uint32_t kVisualFrame = 2;
inline constexpr std::uint32_t kSimFrame = 3;
inline constexpr std::uint32_t kSecond = 4;
} // namespace period

inline constexpr std::uint32_t kDataRequestFlagChanged = 1;
inline constexpr std::uint32_t kDataRequestFlagTagged = 2;
inline constexpr std::uint32_t kDataSetFlagTagged = 1;
inline constexpr std::uint32_t kObjectIdUser = 0;
inline constexpr std::uint32_t kObjectTypeUser = 0;
inline constexpr std::uint32_t kObjectTypeAll = 1;
inline constexpr std::uint32_t kObjectTypeAircraft = 2;

// Reads little-endian fields from a byte span. Reading past the end yields zeros and marks the
// reader failed; it never touches a byte outside the span.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes, std::size_t position = 0)
        : bytes_(bytes), position_(position) {}

    std::uint32_t u32();
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint64_t u64();
    float f32();
    double f64();
    // A fixed-width string field: the characters before the first NUL, or the whole field.
    std::string fixedString(std::size_t width);
    std::span<const std::uint8_t> bytes(std::size_t count);
    void skip(std::size_t count);

    bool failed() const { return failed_; }
    std::size_t position() const { return position_; }
    std::size_t remaining() const { return position_ < bytes_.size() ? bytes_.size() - position_ : 0; }

private:
    bool take(std::size_t count);

    std::span<const std::uint8_t> bytes_;
    std::size_t position_;
    bool failed_ = false;
};

// Appends little-endian fields to a growing byte vector.
class Writer {
public:
    Writer& u32(std::uint32_t value);
    Writer& i32(std::int32_t value) { return u32(static_cast<std::uint32_t>(value)); }
    Writer& u64(std::uint64_t value);
    Writer& i64(std::int64_t value) { return u64(static_cast<std::uint64_t>(value)); }
    Writer& f32(float value);
    Writer& f64(double value);
    // Copies at most width-1 characters and pads with NULs to the field's width.
    Writer& fixedString(std::string_view text, std::size_t width);
    Writer& raw(std::span<const std::uint8_t> bytes);
    Writer& zeros(std::size_t count);
    void patchU32(std::size_t offset, std::uint32_t value);

    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// ---- Requests (client to simulator) ----

struct RequestHeader {
    std::uint32_t size = 0;
    std::uint32_t protocol = 0;
    std::uint32_t packetId = 0;  // as sent, with the 0xF0000000 flag
    std::uint32_t sendId = 0;
    std::uint32_t number() const { return packetId & ~kPacketIdFlag; }
};

struct OpenRequest {
    std::string applicationName;
    std::uint32_t reserved = 0;
    std::string alias;  // the four alias bytes as text without NULs, e.g. "XSF", "D3P"
    std::uint32_t versionMajor = 0, versionMinor = 0, buildMajor = 0, buildMinor = 0;
};
struct MapClientEventRequest { std::uint32_t clientEventId = 0; std::string eventName; };
struct TransmitClientEventRequest {
    std::uint32_t objectId = 0, clientEventId = 0, data = 0, groupId = 0, flags = 0;
};
struct SetSystemEventStateRequest { std::uint32_t clientEventId = 0, state = 0; };
struct AddClientEventToGroupRequest { std::uint32_t groupId = 0, clientEventId = 0, maskable = 0; };
struct RemoveClientEventRequest { std::uint32_t groupId = 0, clientEventId = 0; };
struct SetGroupPriorityRequest { std::uint32_t groupId = 0, priority = 0; };
struct ClearGroupRequest { std::uint32_t groupId = 0; };
struct AddToDataDefinitionRequest {
    std::uint32_t definitionId = 0;
    std::string datumName;
    std::string unitsName;
    std::uint32_t datumType = 0;
    float epsilon = 0.0f;
    std::uint32_t datumId = kUnused;
};
struct ClearDataDefinitionRequest { std::uint32_t definitionId = 0; };
struct RequestDataRequest {
    std::uint32_t requestId = 0, definitionId = 0, objectId = 0, period = 0, flags = 0;
    std::uint32_t origin = 0, interval = 0, limit = 0;
};
struct RequestDataByTypeRequest {
    std::uint32_t requestId = 0, definitionId = 0, radiusMetres = 0, objectType = 0;
};
struct SetDataRequest {
    std::uint32_t definitionId = 0, objectId = 0, flags = 0, arrayCount = 0, unitSize = 0;
    std::vector<std::uint8_t> data;  // every byte after the fixed fields, as sent
};
struct SubscribeRequest { std::uint32_t clientEventId = 0; std::string eventName; };
struct UnsubscribeRequest { std::uint32_t clientEventId = 0; };
struct InitPosition {
    double latitude = 0, longitude = 0, altitude = 0, pitch = 0, bank = 0, heading = 0;  // degrees, feet
    std::uint32_t onGround = 0;
    std::uint32_t airspeed = 0;  // knots
};
struct CreateNonAtcAircraftRequest {
    std::string containerTitle;
    std::string tailNumber;
    InitPosition position;
    std::uint32_t requestId = 0;
};
struct AIObjectRequest { std::uint32_t objectId = 0, requestId = 0; };  // release control, remove
struct SetFlightPlanRequest { std::uint32_t objectId = 0; std::string path; std::uint32_t requestId = 0; };
struct UnknownRequest {};

using RequestBody = std::variant<UnknownRequest, OpenRequest, MapClientEventRequest, TransmitClientEventRequest,
                                 SetSystemEventStateRequest, AddClientEventToGroupRequest, RemoveClientEventRequest,
                                 SetGroupPriorityRequest, ClearGroupRequest, AddToDataDefinitionRequest,
                                 ClearDataDefinitionRequest, RequestDataRequest, RequestDataByTypeRequest,
                                 SetDataRequest, SubscribeRequest, UnsubscribeRequest, CreateNonAtcAircraftRequest,
                                 AIObjectRequest, SetFlightPlanRequest>;

struct Request {
    RequestHeader header;
    RequestBody body;
    // False when the packet is shorter than its request's fixed fields; the body is then empty.
    bool complete = true;
};

// Decodes one whole packet (header included). The header's size field is not trusted: only the
// bytes of the span are read. Returns nullopt for a span shorter than the header.
std::optional<Request> decodeRequest(std::span<const std::uint8_t> packet);

// The fixed size of a known request's packet, header included (SetDataOnSimObject: without its
// data); 0 for unknown numbers.
std::size_t requestFixedSize(std::uint32_t requestNumber);

// Cuts a received byte stream into whole packets by their size field.
class PacketCutter {
public:
    explicit PacketCutter(std::size_t maxPacketSize) : maxPacketSize_(maxPacketSize) {}

    void append(std::span<const std::uint8_t> bytes);
    // The next whole packet, or nullopt when more bytes are needed or the stream is broken.
    std::optional<std::vector<std::uint8_t>> next();
    // Set when a size field is below the header size or above the maximum: the stream cannot be
    // resynchronised and the connection must end.
    bool broken() const { return broken_; }
    std::uint32_t brokenSize() const { return brokenSize_; }
    std::size_t pending() const { return buffer_.size() - start_; }

private:
    std::size_t maxPacketSize_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;
    bool broken_ = false;
    std::uint32_t brokenSize_ = 0;
};

// ---- Messages (simulator to client) ----

struct OpenReplyFields {
    std::string applicationName = "Lockheed Martin Prepar3D v5";
    std::uint32_t applicationVersionMajor = 5, applicationVersionMinor = 3;
    std::uint32_t applicationBuildMajor = 17, applicationBuildMinor = 28160;
    std::uint32_t simConnectVersionMajor = 5, simConnectVersionMinor = 3;
    std::uint32_t simConnectBuildMajor = 0, simConnectBuildMinor = 0;
};

// Every message starts with size, version (the connection's protocol) and message id.
std::vector<std::uint8_t> openReply(std::uint32_t protocol, const OpenReplyFields& fields);  // 308 bytes
std::vector<std::uint8_t> exceptionMessage(std::uint32_t protocol, std::uint32_t exceptionNumber,
                                           std::uint32_t sendId, std::uint32_t index);
std::vector<std::uint8_t> quitMessage(std::uint32_t protocol);
// A message of an id that no client knows yet (a newer simulator's), with one u32 of payload.
std::vector<std::uint8_t> unknownMessage(std::uint32_t protocol, std::uint32_t id);
std::vector<std::uint8_t> eventMessage(std::uint32_t protocol, std::uint32_t groupId, std::uint32_t clientEventId,
                                       std::uint32_t data);
std::vector<std::uint8_t> objectAddRemoveMessage(std::uint32_t protocol, std::uint32_t clientEventId,
                                                 std::uint32_t objectId, std::uint32_t objectType);
std::vector<std::uint8_t> filenameMessage(std::uint32_t protocol, std::uint32_t clientEventId,
                                          std::string_view fileName, std::uint32_t flags);
std::vector<std::uint8_t> frameMessage(std::uint32_t protocol, std::uint32_t clientEventId, float frameRate,
                                       float simSpeed);
struct SimObjectDataFields {
    std::uint32_t requestId = 0, objectId = 0, definitionId = 0, flags = 0;
    std::uint32_t entryNumber = 1, outOf = 1, defineCount = 0;
};
std::vector<std::uint8_t> simObjectDataMessage(std::uint32_t protocol, bool byType, const SimObjectDataFields& fields,
                                               std::span<const std::uint8_t> data);
std::vector<std::uint8_t> assignedObjectIdMessage(std::uint32_t protocol, std::uint32_t requestId,
                                                  std::uint32_t objectId);

} // namespace fakesim::wire
