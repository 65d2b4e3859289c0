#include "wire.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>

namespace fakesim::wire {

namespace {

struct RequestInfo {
    std::uint32_t number;
    std::string_view name;
    std::size_t fixedSize;
};

constexpr std::array<RequestInfo, 19> kRequests{{
    {request::kOpen, "Open", 296},
    {request::kMapClientEventToSimEvent, "MapClientEventToSimEvent", 276},
    {request::kTransmitClientEvent, "TransmitClientEvent", 36},
    {request::kSetSystemEventState, "SetSystemEventState", 24},
    {request::kAddClientEventToNotificationGroup, "AddClientEventToNotificationGroup", 28},
    {request::kRemoveClientEvent, "RemoveClientEvent", 24},
    {request::kSetNotificationGroupPriority, "SetNotificationGroupPriority", 24},
    {request::kClearNotificationGroup, "ClearNotificationGroup", 20},
    {request::kAddToDataDefinition, "AddToDataDefinition", 544},
    {request::kClearDataDefinition, "ClearDataDefinition", 20},
    {request::kRequestDataOnSimObject, "RequestDataOnSimObject", 48},
    {request::kRequestDataOnSimObjectType, "RequestDataOnSimObjectType", 32},
    {request::kSetDataOnSimObject, "SetDataOnSimObject", 36},
    {request::kSubscribeToSystemEvent, "SubscribeToSystemEvent", 276},
    {request::kUnsubscribeFromSystemEvent, "UnsubscribeFromSystemEvent", 20},
    {request::kAICreateNonATCAircraft, "AICreateNonATCAircraft", 344},
    {request::kAIReleaseControl, "AIReleaseControl", 24},
    {request::kAIRemoveObject, "AIRemoveObject", 24},
    {request::kAISetAircraftFlightPlan, "AISetAircraftFlightPlan", 284},
}};

const RequestInfo* lf_findRequest(std::uint32_t number)
{
    for (const auto& info : kRequests)
        if (info.number == number)
            return &info;
    return nullptr;
}

bool lf_equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// Reads the fields of one request after the header.
RequestBody lf_decodeBody(std::uint32_t number, Reader& in)
{
    switch (number) {
    case request::kOpen: {
        OpenRequest r;
        r.applicationName = in.fixedString(256);
        r.reserved = in.u32();
        auto alias = in.bytes(4);
        for (auto b : alias)
            if (b != 0)
                r.alias.push_back(static_cast<char>(b));
        r.versionMajor = in.u32();
        r.versionMinor = in.u32();
        r.buildMajor = in.u32();
        r.buildMinor = in.u32();
        return r;
    }
    case request::kMapClientEventToSimEvent: {
        MapClientEventRequest r;
        r.clientEventId = in.u32();
        r.eventName = in.fixedString(256);
        return r;
    }
    case request::kTransmitClientEvent: {
        TransmitClientEventRequest r;
        r.objectId = in.u32();
        r.clientEventId = in.u32();
        r.data = in.u32();
        r.groupId = in.u32();
        r.flags = in.u32();
        return r;
    }
    case request::kSetSystemEventState: {
        SetSystemEventStateRequest r;
        r.clientEventId = in.u32();
        r.state = in.u32();
        return r;
    }
    case request::kAddClientEventToNotificationGroup: {
        AddClientEventToGroupRequest r;
        r.groupId = in.u32();
        r.clientEventId = in.u32();
        r.maskable = in.u32();
        return r;
    }
    case request::kRemoveClientEvent: {
        RemoveClientEventRequest r;
        r.groupId = in.u32();
        r.clientEventId = in.u32();
        return r;
    }
    case request::kSetNotificationGroupPriority: {
        SetGroupPriorityRequest r;
        r.groupId = in.u32();
        r.priority = in.u32();
        return r;
    }
    case request::kClearNotificationGroup:
        return ClearGroupRequest{in.u32()};
    case request::kAddToDataDefinition: {
        AddToDataDefinitionRequest r;
        r.definitionId = in.u32();
        r.datumName = in.fixedString(256);
        r.unitsName = in.fixedString(256);
        r.datumType = in.u32();
        r.epsilon = in.f32();
        r.datumId = in.u32();
        return r;
    }
    case request::kClearDataDefinition:
        return ClearDataDefinitionRequest{in.u32()};
    case request::kRequestDataOnSimObject: {
        RequestDataRequest r;
        r.requestId = in.u32();
        r.definitionId = in.u32();
        r.objectId = in.u32();
        r.period = in.u32();
        r.flags = in.u32();
        r.origin = in.u32();
        r.interval = in.u32();
        r.limit = in.u32();
        return r;
    }
    case request::kRequestDataOnSimObjectType: {
        RequestDataByTypeRequest r;
        r.requestId = in.u32();
        r.definitionId = in.u32();
        r.radiusMetres = in.u32();
        r.objectType = in.u32();
        return r;
    }
    case request::kSetDataOnSimObject: {
        SetDataRequest r;
        r.definitionId = in.u32();
        r.objectId = in.u32();
        r.flags = in.u32();
        r.arrayCount = in.u32();
        r.unitSize = in.u32();
        auto rest = in.bytes(in.remaining());
        r.data.assign(rest.begin(), rest.end());
        return r;
    }
    case request::kSubscribeToSystemEvent: {
        SubscribeRequest r;
        r.clientEventId = in.u32();
        r.eventName = in.fixedString(256);
        return r;
    }
    case request::kUnsubscribeFromSystemEvent:
        return UnsubscribeRequest{in.u32()};
    case request::kAICreateNonATCAircraft: {
        CreateNonAtcAircraftRequest r;
        r.containerTitle = in.fixedString(256);
        r.tailNumber = in.fixedString(12);
        r.position.latitude = in.f64();
        r.position.longitude = in.f64();
        r.position.altitude = in.f64();
        r.position.pitch = in.f64();
        r.position.bank = in.f64();
        r.position.heading = in.f64();
        r.position.onGround = in.u32();
        r.position.airspeed = in.u32();
        r.requestId = in.u32();
        return r;
    }
    case request::kAIReleaseControl:
    case request::kAIRemoveObject: {
        AIObjectRequest r;
        r.objectId = in.u32();
        r.requestId = in.u32();
        return r;
    }
    case request::kAISetAircraftFlightPlan: {
        SetFlightPlanRequest r;
        r.objectId = in.u32();
        r.path = in.fixedString(kMaxPathLength);
        r.requestId = in.u32();
        return r;
    }
    default:
        return UnknownRequest{};
    }
}

Writer lf_beginMessage(std::uint32_t protocol, std::uint32_t id)
{
    Writer out;
    out.u32(0).u32(protocol).u32(id);
    return out;
}

std::vector<std::uint8_t> lf_finish(Writer& out)
{
    out.patchU32(0, static_cast<std::uint32_t>(out.size()));
    return out.take();
}

} // namespace

std::string_view requestName(std::uint32_t requestNumber)
{
    const RequestInfo* info = lf_findRequest(requestNumber);
    return info ? info->name : std::string_view("Unknown");
}

std::optional<std::uint32_t> requestNumberFromName(std::string_view name)
{
    for (const auto& info : kRequests)
        if (lf_equalsIgnoreCase(info.name, name) ||
            (name.size() > 10 && lf_equalsIgnoreCase(name.substr(0, 11), "SimConnect_") &&
             lf_equalsIgnoreCase(info.name, name.substr(11))))
            return info.number;
    int base = 10;
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
        name.remove_prefix(2);
        base = 16;
    }
    std::uint32_t number = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number, base);
    if (ec != std::errc() || end != name.data() + name.size() || name.empty())
        return std::nullopt;
    return number;
}

std::size_t requestFixedSize(std::uint32_t requestNumber)
{
    const RequestInfo* info = lf_findRequest(requestNumber);
    return info ? info->fixedSize : 0;
}

std::size_t datumSize(std::uint32_t type)
{
    switch (type) {
    case datatype::kInt32:
    case datatype::kFloat32:
        return 4;
    case datatype::kInt64:
    case datatype::kFloat64:
    case datatype::kString8:
        return 8;
    case datatype::kString32:
        return 32;
    case datatype::kString64:
        return 64;
    case datatype::kString128:
        return 128;
    case datatype::kString256:
        return 256;
    case datatype::kString260:
        return 260;
    case datatype::kInitPosition:
        return 56;
    case datatype::kLatLonAlt:
    case datatype::kXyz:
        return 24;
    default:
        return 0;
    }
}

bool datumTypeSupported(std::uint32_t type)
{
    return type == datatype::kStringV || datumSize(type) != 0;
}

bool datumTypeIsString(std::uint32_t type)
{
    return (type >= datatype::kString8 && type <= datatype::kString260) || type == datatype::kStringV;
}

// ---- Reader ----

bool Reader::take(std::size_t count)
{
    if (failed_ || count > remaining()) {
        failed_ = true;
        position_ = bytes_.size();
        return false;
    }
    return true;
}

std::uint32_t Reader::u32()
{
    if (!take(4))
        return 0;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | bytes_[position_ + static_cast<std::size_t>(i)];
    position_ += 4;
    return value;
}

std::uint64_t Reader::u64()
{
    std::uint64_t low = u32();
    std::uint64_t high = u32();
    return low | (high << 32);
}

float Reader::f32()
{
    return std::bit_cast<float>(u32());
}

double Reader::f64()
{
    return std::bit_cast<double>(u64());
}

std::string Reader::fixedString(std::size_t width)
{
    if (!take(width))
        return {};
    const auto* begin = bytes_.data() + position_;
    const auto* end = std::find(begin, begin + width, std::uint8_t{0});
    position_ += width;
    return std::string(begin, end);
}

std::span<const std::uint8_t> Reader::bytes(std::size_t count)
{
    if (!take(count))
        return {};
    auto part = bytes_.subspan(position_, count);
    position_ += count;
    return part;
}

void Reader::skip(std::size_t count)
{
    if (take(count))
        position_ += count;
}

// ---- Writer ----

Writer& Writer::u32(std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
}

Writer& Writer::u64(std::uint64_t value)
{
    u32(static_cast<std::uint32_t>(value));
    return u32(static_cast<std::uint32_t>(value >> 32));
}

Writer& Writer::f32(float value)
{
    return u32(std::bit_cast<std::uint32_t>(value));
}

Writer& Writer::f64(double value)
{
    return u64(std::bit_cast<std::uint64_t>(value));
}

Writer& Writer::fixedString(std::string_view text, std::size_t width)
{
    if (width == 0)
        return *this;
    const std::size_t count = std::min(text.size(), width - 1);
    bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count));
    bytes_.insert(bytes_.end(), width - count, std::uint8_t{0});
    return *this;
}

Writer& Writer::raw(std::span<const std::uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

Writer& Writer::zeros(std::size_t count)
{
    bytes_.insert(bytes_.end(), count, std::uint8_t{0});
    return *this;
}

void Writer::patchU32(std::size_t offset, std::uint32_t value)
{
    if (offset + 4 > bytes_.size())
        return;
    for (std::size_t i = 0; i < 4; ++i)
        bytes_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// ---- Requests ----

std::optional<Request> decodeRequest(std::span<const std::uint8_t> packet)
{
    if (packet.size() < kRequestHeaderSize)
        return std::nullopt;
    Reader in(packet);
    Request request;
    request.header.size = in.u32();
    request.header.protocol = in.u32();
    request.header.packetId = in.u32();
    request.header.sendId = in.u32();
    const std::uint32_t number = request.header.number();
    const std::size_t fixedSize = requestFixedSize(number);
    if (fixedSize == 0 || (request.header.packetId & kPacketIdFlag) != kPacketIdFlag)
        return request;
    if (packet.size() < fixedSize) {
        request.complete = false;
        return request;
    }
    request.body = lf_decodeBody(number, in);
    return request;
}

void PacketCutter::append(std::span<const std::uint8_t> bytes)
{
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<std::vector<std::uint8_t>> PacketCutter::next()
{
    if (broken_ || pending() < 4)
        return std::nullopt;
    Reader in(std::span<const std::uint8_t>(buffer_).subspan(start_, 4));
    const std::uint32_t size = in.u32();
    if (size < kRequestHeaderSize || size > maxPacketSize_) {
        broken_ = true;
        brokenSize_ = size;
        return std::nullopt;
    }
    if (pending() < size)
        return std::nullopt;
    auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(start_);
    std::vector<std::uint8_t> packet(first, first + size);
    start_ += size;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    return packet;
}

// ---- Messages ----

std::vector<std::uint8_t> openReply(std::uint32_t protocol, const OpenReplyFields& fields)
{
    Writer out = lf_beginMessage(protocol, recv::kOpen);
    out.fixedString(fields.applicationName, 256)
        .u32(fields.applicationVersionMajor)
        .u32(fields.applicationVersionMinor)
        .u32(fields.applicationBuildMajor)
        .u32(fields.applicationBuildMinor)
        .u32(fields.simConnectVersionMajor)
        .u32(fields.simConnectVersionMinor)
        .u32(fields.simConnectBuildMajor)
        .u32(fields.simConnectBuildMinor)
        .u32(0)
        .u32(0);
    return lf_finish(out);
}

std::vector<std::uint8_t> exceptionMessage(std::uint32_t protocol, std::uint32_t exceptionNumber,
                                           std::uint32_t sendId, std::uint32_t index)
{
    Writer out = lf_beginMessage(protocol, recv::kException);
    out.u32(exceptionNumber).u32(sendId).u32(index);
    return lf_finish(out);
}

std::vector<std::uint8_t> quitMessage(std::uint32_t protocol)
{
    Writer out = lf_beginMessage(protocol, recv::kQuit);
    return lf_finish(out);
}

std::vector<std::uint8_t> unknownMessage(std::uint32_t protocol, std::uint32_t id)
{
    Writer out = lf_beginMessage(protocol, id);
    out.u32(0);
    return lf_finish(out);
}

std::vector<std::uint8_t> eventMessage(std::uint32_t protocol, std::uint32_t groupId, std::uint32_t clientEventId,
                                       std::uint32_t data)
{
    Writer out = lf_beginMessage(protocol, recv::kEvent);
    out.u32(groupId).u32(clientEventId).u32(data);
    return lf_finish(out);
}

std::vector<std::uint8_t> objectAddRemoveMessage(std::uint32_t protocol, std::uint32_t clientEventId,
                                                 std::uint32_t objectId, std::uint32_t objectType)
{
    Writer out = lf_beginMessage(protocol, recv::kEventObjectAddRemove);
    out.u32(kUnknownGroup).u32(clientEventId).u32(objectId).u32(objectType);
    return lf_finish(out);
}

std::vector<std::uint8_t> filenameMessage(std::uint32_t protocol, std::uint32_t clientEventId,
                                          std::string_view fileName, std::uint32_t flags)
{
    Writer out = lf_beginMessage(protocol, recv::kEventFilename);
    out.u32(kUnknownGroup).u32(clientEventId).u32(0).fixedString(fileName, kMaxPathLength).u32(flags);
    return lf_finish(out);
}

std::vector<std::uint8_t> frameMessage(std::uint32_t protocol, std::uint32_t clientEventId, float frameRate,
                                       float simSpeed)
{
    Writer out = lf_beginMessage(protocol, recv::kEventFrame);
    out.u32(kUnknownGroup).u32(clientEventId).u32(0).f32(frameRate).f32(simSpeed);
    return lf_finish(out);
}

std::vector<std::uint8_t> simObjectDataMessage(std::uint32_t protocol, bool byType, const SimObjectDataFields& fields,
                                               std::span<const std::uint8_t> data)
{
    Writer out = lf_beginMessage(protocol, byType ? recv::kSimObjectDataByType : recv::kSimObjectData);
    out.u32(fields.requestId)
        .u32(fields.objectId)
        .u32(fields.definitionId)
        .u32(fields.flags)
        .u32(fields.entryNumber)
        .u32(fields.outOf)
        .u32(fields.defineCount)
        .raw(data);
    return lf_finish(out);
}

std::vector<std::uint8_t> assignedObjectIdMessage(std::uint32_t protocol, std::uint32_t requestId,
                                                  std::uint32_t objectId)
{
    Writer out = lf_beginMessage(protocol, recv::kAssignedObjectId);
    out.u32(requestId).u32(objectId);
    return lf_finish(out);
}

} // namespace fakesim::wire
