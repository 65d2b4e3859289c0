// The API calls of the program's SimConnect client: each builds its request packet with the
// layout the simulator expects (header: size, protocol 35, 0xF0000000 | request number, send id).

#include "simconnect/simconnect.h"
#include "simconnect/simconnect_connection.h"

#include <cstring>
#include <fmt/format.h>

namespace qmx {
namespace {

// Request numbers (the low bits of the packet id) and packet sizes.
enum Request : std::uint32_t {
    kOpen = 0x01,
    kMapClientEventToSimEvent = 0x04,
    kTransmitClientEvent = 0x05,
    kAddClientEventToNotificationGroup = 0x07,
    kSetNotificationGroupPriority = 0x09,
    kAddToDataDefinition = 0x0C,
    kClearDataDefinition = 0x0D,
    kRequestDataOnSimObject = SimConnectConnection::kRequestDataOnObjectRequest,
    kRequestDataOnSimObjectType = 0x0F,
    kSetDataOnSimObject = 0x10,
    kSubscribeToSystemEvent = 0x17,
    kUnsubscribeFromSystemEvent = 0x18,
    kAICreateNonATCAircraft = SimConnectConnection::kCreateNonAtcRequest,
    kAIReleaseControl = 0x2B,
    kAIRemoveObject = SimConnectConnection::kRemoveObjectRequest,
    kAISetAircraftFlightPlan = 0x2D,
};

constexpr std::size_t kNameWidth = 256;
constexpr std::size_t kTailNumberWidth = 12;
constexpr std::size_t kPathWidth = 260;
constexpr std::uint32_t kSetDataHeaderSize = 36;

// Builds one request on the connection: `fill` writes the fields and returns false when a
// string does not fit, which sends nothing.
template <typename Fill>
HRESULT lf_request(HANDLE handle, Request request, std::uint64_t size, std::uint32_t* sendId, Fill&& fill)
{
    const auto connection = scFindConnection(handle);
    if (!connection)
        return E_FAIL;
    std::lock_guard lock(gf_scSendLock());
    if (size > SimConnectConnection::kSendBufferSize) {
        const HRESULT status = connection->failureStatus();
        return status != S_OK ? status : E_FAIL;
    }
    PacketWriter writer;
    if (const HRESULT begun = connection->beginPacket(request, static_cast<std::uint32_t>(size), writer); begun != S_OK)
        return begun;
    if (!fill(writer)) {
        connection->abandonPacket();
        return E_INSUFFICIENT_BUFFER;
    }
    return connection->endPacket(sendId);
}

template <typename Action>
HRESULT lf_underSendLock(HANDLE handle, Action&& action)
{
    const auto connection = scFindConnection(handle);
    if (!connection)
        return E_FAIL;
    std::lock_guard lock(gf_scSendLock());
    return action(*connection);
}

bool lf_fits(const char* text, std::size_t width)
{
    return text == nullptr || ::strnlen(text, width) < width;
}

} // namespace

HRESULT SimConnect_Open(HANDLE* handle, const char* name, platform::MessageWindow* window, std::uint32_t windowMessage,
                        platform::SyncEvent* event, std::uint32_t configIndex)
{
    if (handle == nullptr)
        return E_INVALIDARG;
    *handle = nullptr;
    if (name == nullptr)
        return E_INVALIDARG;
    if (!lf_fits(name, kNameWidth)) // refused before any connection is made
        return E_INSUFFICIENT_BUFFER;
    std::shared_ptr<SimConnectConnection> connection;
    const int opened = scOpenConnection(connection, configIndex, window, windowMessage, event);
    if (opened == kConnectConfigMissing)
        return E_INVALIDARG;
    if (opened != kConnectOk)
        return E_FAIL;
    HANDLE opening = scRegisterConnection(std::move(connection));
    const HRESULT sent = lf_request(opening, kOpen, 296, nullptr, [name](PacketWriter& packet) {
        if (!packet.text(16, kNameWidth, name))
            return false;
        static constexpr std::uint8_t kSimulatorTag[4] = {0x00, 0x44, 0x33, 0x50};
        packet.bytes(276, kSimulatorTag, sizeof(kSimulatorTag));
        packet.u32(280, 5);
        packet.u32(284, 3);
        return true;
    });
    if (sent != S_OK) {
        scCloseConnection(opening);
        return sent;
    }
    *handle = opening;
    return S_OK;
}

HRESULT SimConnect_Close(HANDLE handle)
{
    return scCloseConnection(handle);
}

HRESULT SimConnect_CallDispatch(HANDLE handle, DispatchProc proc, void* context)
{
    return scDispatch(handle, proc, context);
}

HRESULT SimConnect_GetLastSentPacketID(HANDLE handle, std::uint32_t* sendId)
{
    if (sendId == nullptr)
        return E_FAIL;
    return lf_underSendLock(handle, [sendId](SimConnectConnection& connection) {
        *sendId = connection.lastSendId();
        return S_OK;
    });
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE handle, std::uint32_t eventId, const char* eventName,
                                            std::uint32_t* sendId)
{
    return lf_request(handle, kMapClientEventToSimEvent, 276, sendId, [&](PacketWriter& packet) {
        packet.u32(16, eventId);
        return packet.text(20, kNameWidth, eventName);
    });
}

HRESULT SimConnect_TransmitClientEvent(HANDLE handle, std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                                       std::uint32_t groupId, std::uint32_t flags, std::uint32_t* sendId)
{
    return lf_request(handle, kTransmitClientEvent, 36, sendId, [&](PacketWriter& packet) {
        packet.u32(16, objectId);
        packet.u32(20, eventId);
        packet.u32(24, data);
        packet.u32(28, groupId);
        packet.u32(32, flags);
        return true;
    });
}

HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE handle, std::uint32_t groupId, std::uint32_t eventId,
                                                     bool maskable, std::uint32_t* sendId)
{
    return lf_request(handle, kAddClientEventToNotificationGroup, 28, sendId, [&](PacketWriter& packet) {
        packet.u32(16, groupId);
        packet.u32(20, eventId);
        packet.u32(24, maskable ? 1 : 0);
        return true;
    });
}

HRESULT SimConnect_SetNotificationGroupPriority(HANDLE handle, std::uint32_t groupId, std::uint32_t priority,
                                                std::uint32_t* sendId)
{
    return lf_request(handle, kSetNotificationGroupPriority, 24, sendId, [&](PacketWriter& packet) {
        packet.u32(16, groupId);
        packet.u32(20, priority);
        return true;
    });
}

HRESULT SimConnect_AddToDataDefinition(HANDLE handle, std::uint32_t defineId, const char* datumName,
                                       const char* unitsName, SIMCONNECT_DATATYPE datumType, float epsilon,
                                       std::uint32_t datumId, std::uint32_t* sendId)
{
    return lf_request(handle, kAddToDataDefinition, 544, sendId, [&](PacketWriter& packet) {
        packet.u32(16, defineId);
        if (!packet.text(20, kNameWidth, datumName) || !packet.text(276, kNameWidth, unitsName))
            return false;
        packet.u32(532, datumType);
        packet.f32(536, epsilon);
        packet.u32(540, datumId);
        return true;
    });
}

HRESULT SimConnect_ClearDataDefinition(HANDLE handle, std::uint32_t defineId, std::uint32_t* sendId)
{
    return lf_request(handle, kClearDataDefinition, 20, sendId, [&](PacketWriter& packet) {
        packet.u32(16, defineId);
        return true;
    });
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE handle, std::uint32_t requestId, std::uint32_t defineId,
                                          std::uint32_t objectId, SIMCONNECT_PERIOD period, std::uint32_t flags,
                                          std::uint32_t origin, std::uint32_t interval, std::uint32_t limit,
                                          std::uint32_t* sendId)
{
    return lf_request(handle, kRequestDataOnSimObject, 48, sendId, [&](PacketWriter& packet) {
        packet.u32(16, requestId);
        packet.u32(20, defineId);
        packet.u32(24, objectId);
        packet.u32(28, period);
        packet.u32(32, flags);
        packet.u32(36, origin);
        packet.u32(40, interval);
        packet.u32(44, limit);
        return true;
    });
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE handle, std::uint32_t requestId, std::uint32_t defineId,
                                              std::uint32_t radiusMeters, SIMCONNECT_SIMOBJECT_TYPE type,
                                              std::uint32_t* sendId)
{
    return lf_request(handle, kRequestDataOnSimObjectType, 32, sendId, [&](PacketWriter& packet) {
        packet.u32(16, requestId);
        packet.u32(20, defineId);
        packet.u32(24, radiusMeters);
        packet.u32(28, type);
        return true;
    });
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE handle, std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                                      std::uint32_t arrayCount, std::uint32_t unitSize, const void* data,
                                      std::uint32_t* sendId)
{
    const std::uint32_t count = arrayCount == 0 ? 1 : arrayCount; // the simulator reads at least one unit
    const std::uint64_t dataSize = static_cast<std::uint64_t>(count) * unitSize;
    if (data == nullptr && dataSize > 0)
        return E_INVALIDARG;
    return lf_request(handle, kSetDataOnSimObject, kSetDataHeaderSize + dataSize, sendId, [&](PacketWriter& packet) {
        packet.u32(16, defineId);
        packet.u32(20, objectId);
        packet.u32(24, flags);
        packet.u32(28, count);
        packet.u32(32, unitSize);
        packet.bytes(kSetDataHeaderSize, data, static_cast<std::size_t>(dataSize));
        return true;
    });
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE handle, std::uint32_t eventId, const char* systemEventName,
                                          std::uint32_t* sendId)
{
    return lf_request(handle, kSubscribeToSystemEvent, 276, sendId, [&](PacketWriter& packet) {
        packet.u32(16, eventId);
        return packet.text(20, kNameWidth, systemEventName);
    });
}

HRESULT SimConnect_UnsubscribeFromSystemEvent(HANDLE handle, std::uint32_t eventId, std::uint32_t* sendId)
{
    return lf_request(handle, kUnsubscribeFromSystemEvent, 20, sendId, [&](PacketWriter& packet) {
        packet.u32(16, eventId);
        return true;
    });
}

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE handle, const char* containerTitle, const char* tailNumber,
                                          const SIMCONNECT_DATA_INITPOSITION* initPosition, std::uint32_t requestId,
                                          std::uint32_t* sendId)
{
    if (initPosition == nullptr)
        return E_INVALIDARG;
    return lf_request(handle, kAICreateNonATCAircraft, 344, sendId, [&](PacketWriter& packet) {
        if (!packet.text(16, kNameWidth, containerTitle) || !packet.text(272, kTailNumberWidth, tailNumber))
            return false;
        packet.f64(284, initPosition->Latitude);
        packet.f64(292, initPosition->Longitude);
        packet.f64(300, initPosition->Altitude);
        packet.f64(308, initPosition->Pitch);
        packet.f64(316, initPosition->Bank);
        packet.f64(324, initPosition->Heading);
        packet.u32(332, initPosition->OnGround);
        packet.u32(336, initPosition->Airspeed);
        packet.u32(340, requestId);
        return true;
    });
}

HRESULT SimConnect_AIReleaseControl(HANDLE handle, std::uint32_t objectId, std::uint32_t requestId, std::uint32_t* sendId)
{
    return lf_request(handle, kAIReleaseControl, 24, sendId, [&](PacketWriter& packet) {
        packet.u32(16, objectId);
        packet.u32(20, requestId);
        return true;
    });
}

HRESULT SimConnect_AIRemoveObject(HANDLE handle, std::uint32_t objectId, std::uint32_t requestId, std::uint32_t* sendId)
{
    return lf_request(handle, kAIRemoveObject, 24, sendId, [&](PacketWriter& packet) {
        packet.u32(16, objectId);
        packet.u32(20, requestId);
        return true;
    });
}

HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE handle, std::uint32_t objectId, const char* flightPlanPath,
                                           std::uint32_t requestId, std::uint32_t* sendId)
{
    return lf_request(handle, kAISetAircraftFlightPlan, 284, sendId, [&](PacketWriter& packet) {
        packet.u32(16, objectId);
        if (!packet.text(20, kPathWidth, flightPlanPath))
            return false;
        packet.u32(280, requestId);
        return true;
    });
}

HRESULT gf_scSetSendAtOnce(HANDLE handle, bool sendAtOnce)
{
    return lf_underSendLock(handle, [sendAtOnce](SimConnectConnection& connection) {
        return connection.setSendAtOnce(sendAtOnce);
    });
}

HRESULT gf_scFlush(HANDLE handle)
{
    return lf_underSendLock(handle, [](SimConnectConnection& connection) { return connection.flush(); });
}

namespace {

// One of the connection's drop counts into *count.
HRESULT lf_dropCount(HANDLE handle, std::uint64_t* count, std::uint64_t (SimConnectConnection::*read)())
{
    if (count == nullptr)
        return E_INVALIDARG;
    const auto connection = scFindConnection(handle);
    if (!connection)
        return E_FAIL;
    *count = ((*connection).*read)();
    return S_OK;
}

} // namespace

HRESULT gf_scDroppedMessages(HANDLE handle, std::uint64_t* count)
{
    return lf_dropCount(handle, count, &SimConnectConnection::droppedMessages);
}

HRESULT gf_scDroppedSends(HANDLE handle, std::uint64_t* count)
{
    return lf_dropCount(handle, count, &SimConnectConnection::droppedSends);
}

std::string gf_scFailureText(HANDLE handle)
{
    const auto connection = scFindConnection(handle);
    if (!connection || connection->failureStatus() == S_OK)
        return {};
    const char* why = "a read or write failed";
    switch (connection->closeReason()) {
    case kCloseMessageTooLarge: why = "a message larger than MaxReceiveSize came"; break;
    case kCloseMalformed: why = "a malformed message came (size field below 4)"; break;
    case kCloseRemoteClosed: why = "the simulator closed the connection"; break;
    case kCloseDisconnected: why = "the connection was reset or broken"; break;
    case kCloseCancelled: why = "the connection's I/O was cancelled"; break;
    default: break;
    }
    return fmt::format("{}, status 0x{:08X}, error {}", why, static_cast<std::uint32_t>(connection->failureStatus()),
                       connection->lastOsError());
}

} // namespace qmx
