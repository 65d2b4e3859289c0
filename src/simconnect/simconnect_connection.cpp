#include "simconnect/simconnect_connection.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>

namespace qmx {
namespace {

std::mutex connectionsMutex;
std::map<std::uintptr_t, std::shared_ptr<SimConnectConnection>> openConnections;
std::uintptr_t lastHandle = 0;

// Size, protocol, packet id, send id.
constexpr std::size_t kPacketHeaderSize = 16;

void lf_putLittleEndian(std::uint8_t* at, std::uint64_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t lf_readU32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// A packet whose loss the program would never learn of, while its record waits for what it
// brings: a removal, a creation, or a data request for an AI object. The user aircraft's data is
// asked for again each second, so a request for it may go.
bool lf_isAwaited(const std::uint8_t* packet, std::uint32_t size)
{
    const std::uint32_t id = lf_readU32(packet + 8);
    constexpr std::uint32_t kBase = SimConnectConnection::kPacketIdBase;
    if (id == (kBase | SimConnectConnection::kRemoveObjectRequest) ||
        id == (kBase | SimConnectConnection::kCreateNonAtcRequest))
        return true;
    constexpr std::size_t kObjectIdOffset = 24;
    return id == (kBase | SimConnectConnection::kRequestDataOnObjectRequest) && size >= kObjectIdOffset + 4 &&
           lf_readU32(packet + kObjectIdOffset) != SIMCONNECT_OBJECT_ID_USER;
}

bool lf_tryTransport(std::shared_ptr<SimConnectConnection>& result, SimConnectFamily family,
                     const std::string& address, const std::string& port, const SimConnectConfig& config,
                     platform::MessageWindow* window, std::uint32_t windowMessage, platform::SyncEvent* event)
{
    auto connection = std::make_shared<SimConnectConnection>(window, windowMessage, event);
    if (!connection->connect(family, address, port, config.maxReceiveSize, config.disableNagle))
        return false;
    result = std::move(connection);
    return true;
}

} // namespace

// ---- PacketWriter

void PacketWriter::u32(std::size_t offset, std::uint32_t value)
{
    lf_putLittleEndian(packet_.subspan(offset, 4).data(), value, 4);
}

void PacketWriter::f32(std::size_t offset, float value)
{
    u32(offset, std::bit_cast<std::uint32_t>(value));
}

void PacketWriter::f64(std::size_t offset, double value)
{
    lf_putLittleEndian(packet_.subspan(offset, 8).data(), std::bit_cast<std::uint64_t>(value), 8);
}

void PacketWriter::bytes(std::size_t offset, const void* data, std::size_t size)
{
    if (size > 0)
        std::memcpy(packet_.subspan(offset, size).data(), data, size);
}

bool PacketWriter::text(std::size_t offset, std::size_t width, const char* text)
{
    if (text == nullptr)
        return true;
    const std::size_t length = ::strnlen(text, width);
    if (length >= width)
        return false;
    bytes(offset, text, length);
    return true;
}

// ---- SimConnectConnection

SimConnectConnection::SimConnectConnection(platform::MessageWindow* window, std::uint32_t windowMessage,
                                           platform::SyncEvent* event)
    : window_(window), windowMessage_(windowMessage), event_(event)
{
}

SimConnectConnection::~SimConnectConnection()
{
    // The I/O thread calls this object's handlers: it must end before the object does.
    close();
}

HRESULT SimConnectConnection::beginPacket(std::uint32_t requestNumber, std::uint32_t size, PacketWriter& writer)
{
    if (closing_)
        return E_FAIL;
    if (const HRESULT status = failureStatus(); status != S_OK)
        return status;
    if (size > kSendBufferSize)
        return E_FAIL;
    if (size > kHeldBufferLimit - writePos_ && flush() != S_OK) // only held packets fill it
        return E_FAIL;
    if (writePos_ + size > sendBuffer_.size()) {
        try {
            sendBuffer_.resize(std::max(writePos_ + size, 2 * sendBuffer_.size()));
        } catch (const std::bad_alloc&) {
            return E_FAIL;
        }
    }
    packetStart_ = writePos_;
    const std::span<std::uint8_t> packet(sendBuffer_.data() + writePos_, size);
    std::memset(packet.data(), 0, size);
    previousSendId_ = lastSendId_;
    lastSendId_ = lastSendId_ == 0xFFFFFFFFu ? 1 : lastSendId_ + 1; // a packet never carries 0
    writer = PacketWriter(packet);
    writer.u32(0, size);
    writer.u32(4, kSimConnectProtocol);
    writer.u32(8, kPacketIdBase | requestNumber);
    writer.u32(12, lastSendId_);
    writePos_ += size;
    return S_OK;
}

void SimConnectConnection::abandonPacket()
{
    std::memset(sendBuffer_.data() + packetStart_, 0, writePos_ - packetStart_);
    writePos_ = packetStart_;
    lastSendId_ = previousSendId_;
}

HRESULT SimConnectConnection::endPacket(std::uint32_t* sendId)
{
    if (sendId != nullptr)
        *sendId = lastSendId_;
    return sendAtOnce_ ? flush() : S_OK;
}

HRESULT SimConnectConnection::flush()
{
    if (writePos_ == 0)
        return S_OK;
    SendBlockPtr block;
    try {
        block = std::make_unique<SimConnectSendBlock>(
            std::vector<std::uint8_t>(sendBuffer_.begin(), sendBuffer_.begin() + static_cast<std::ptrdiff_t>(writePos_)),
            connectNumber());
    } catch (const std::bad_alloc&) {
        return E_FAIL;
    }
    std::memset(sendBuffer_.data(), 0, writePos_);
    writePos_ = 0;
    queueSend(std::move(block));
    return S_OK;
}

HRESULT SimConnectConnection::setSendAtOnce(bool sendAtOnce)
{
    // The simulator reads its pipe one message, one packet, at a time: a block of several packets
    // would lose all but the first. Only a socket gathers them.
    sendAtOnce_ = sendAtOnce || family() == SimConnectFamily::Pipe;
    return sendAtOnce ? flush() : S_OK;
}

void SimConnectConnection::onConnected()
{
    SimConnectTransport::onConnected();
    if (family() != SimConnectFamily::Pipe && disableNagle())
        stream().setNoDelay();
}

void SimConnectConnection::onClose(SimConnectCloseReason reason, HRESULT status)
{
    SimConnectTransport::onClose(reason, status);
    if (reason != kCloseOrderly)
        notify(); // the owner's next dispatch sees the failure
}

void SimConnectConnection::onMessage(std::vector<std::uint8_t>&& message)
{
    {
        std::lock_guard lock(messageMutex_);
        if (messages_.size() >= kQueuedMessageLimit || queuedBytes_ + message.size() > kQueuedByteLimit) {
            ++droppedMessages_;
        } else {
            queuedBytes_ += message.size();
            messages_.push_back(std::make_unique<SimConnectSendBlock>(std::move(message), connectNumber()));
        }
    }
    notify();
}

// The awaited packets of a block that the full send queue drops go on in a block of their own, in
// the order they were built; every other packet of it is counted as dropped. They are few (one
// creation, one or two data requests and one removal per object), so what goes beyond the bound
// stays small.
SendBlockPtr SimConnectConnection::keptOfDropped(const SimConnectSendBlock& dropped)
{
    const std::vector<std::uint8_t>& bytes = dropped.bytes;
    std::vector<std::uint8_t> kept;
    std::uint64_t lost = 0;
    for (std::size_t at = 0; bytes.size() - at >= kPacketHeaderSize;) {
        const std::uint32_t size = lf_readU32(&bytes[at]);
        if (size < kPacketHeaderSize || size > bytes.size() - at)
            break; // never so in the blocks that flush() builds
        const auto packet = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        if (lf_isAwaited(&bytes[at], size))
            kept.insert(kept.end(), packet, packet + size);
        else
            ++lost;
        at += size;
    }
    droppedSends_.fetch_add(lost, std::memory_order_relaxed);
    if (kept.empty())
        return nullptr;
    return std::make_unique<SimConnectSendBlock>(std::move(kept), dropped.connectNumber);
}

void SimConnectConnection::notify()
{
    if (window_ != nullptr && windowMessage_ != 0)
        window_->postMessage(windowMessage_, 0, 0);
    if (event_ != nullptr)
        event_->set();
}

SendBlockPtr SimConnectConnection::takeMessage()
{
    std::lock_guard lock(messageMutex_);
    if (messages_.empty())
        return nullptr;
    SendBlockPtr message = std::move(messages_.front());
    messages_.pop_front();
    queuedBytes_ -= message->bytes.size();
    return message;
}

// Hands at most the messages queued now to the procedure, so that a simulator that keeps
// sending cannot hold the caller here; returns how many.
std::size_t SimConnectConnection::drain(DispatchProc proc, void* context)
{
    std::size_t count = 0;
    {
        std::lock_guard lock(messageMutex_);
        count = messages_.size();
    }
    std::size_t handed = 0;
    for (; handed < count; ++handed) {
        const SendBlockPtr message = takeMessage();
        if (!message)
            break;
        if (message->bytes.size() < sizeof(SIMCONNECT_RECV))
            continue; // too short for a header: nothing to hand on
        proc(reinterpret_cast<SIMCONNECT_RECV*>(message->bytes.data()), static_cast<std::uint32_t>(message->bytes.size()),
             context);
    }
    return handed;
}

HRESULT SimConnectConnection::dispatch(DispatchProc proc, void* context)
{
    {
        std::lock_guard lock(messageMutex_);
        if (proc != nullptr)
            dispatchProc_ = proc;
        else
            proc = dispatchProc_;
        dispatchContext_ = context;
    }
    return proc == nullptr ? E_FAIL : dispatchWith(proc, context);
}

HRESULT SimConnectConnection::dispatchStored()
{
    DispatchProc proc = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(messageMutex_);
        proc = dispatchProc_;
        context = dispatchContext_;
    }
    return proc == nullptr ? E_FAIL : dispatchWith(proc, context);
}

HRESULT SimConnectConnection::dispatchWith(DispatchProc proc, void* context)
{
    drain(proc, context);
    const HRESULT status = failureStatus();
    if (status != S_OK) {
        drain(proc, context); // what arrived before the failure
        return status;
    }
    return S_OK;
}

void SimConnectConnection::discardMessages()
{
    std::lock_guard lock(messageMutex_);
    messages_.clear();
    queuedBytes_ = 0;
}

std::uint64_t SimConnectConnection::droppedMessages()
{
    std::lock_guard lock(messageMutex_);
    return droppedMessages_;
}

// ---- process-wide state

std::mutex& gf_scSendLock()
{
    static std::mutex sendLock;
    return sendLock;
}

HANDLE scRegisterConnection(std::shared_ptr<SimConnectConnection> connection)
{
    std::lock_guard lock(connectionsMutex);
    do {
        ++lastHandle;
    } while (lastHandle == 0 || openConnections.count(lastHandle) != 0);
    openConnections.emplace(lastHandle, std::move(connection));
    return reinterpret_cast<HANDLE>(lastHandle);
}

std::shared_ptr<SimConnectConnection> scFindConnection(HANDLE handle)
{
    std::lock_guard lock(connectionsMutex);
    const auto it = openConnections.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == openConnections.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<SimConnectConnection>> scOpenConnections()
{
    std::lock_guard lock(connectionsMutex);
    std::vector<std::shared_ptr<SimConnectConnection>> connections;
    for (const auto& entry : openConnections)
        connections.push_back(entry.second);
    return connections;
}

int scOpenConnection(std::shared_ptr<SimConnectConnection>& connection, std::uint32_t configIndex,
                     platform::MessageWindow* window, std::uint32_t windowMessage, platform::SyncEvent* event)
{
    using Protocol = SimConnectConfig::Protocol;
    SimConnectConfig config;
    if (gf_scReadConfig(configIndex, config) == kConfigSectionMissing)
        return kConnectConfigMissing;
    std::string address = config.address;
    std::string port = config.port;
    const auto attempt = [&](SimConnectFamily family) {
        return lf_tryTransport(connection, family, address, port, config, window, windowMessage, event);
    };
    if (config.protocol == Protocol::Pipe) {
        if (attempt(SimConnectFamily::Pipe))
            return kConnectOk;
        if (!address.empty() && address != ".")
            return kConnectFailed;
        address = "::1";
        port = gf_scRegistryPort(true);
    }
    if (config.protocol != Protocol::IPv4) {
        if (!port.empty() && attempt(SimConnectFamily::IPv6))
            return kConnectOk;
        if (address != "::1")
            return kConnectFailed;
        address = "127.0.0.1";
        port = gf_scRegistryPort(false);
    }
    if (!port.empty() && attempt(SimConnectFamily::IPv4))
        return kConnectOk;
    if (address != "127.0.0.1")
        return kConnectFailed;
    address = ".";
    port.clear();
    return attempt(SimConnectFamily::Pipe) ? kConnectOk : kConnectFailed;
}

HRESULT scDispatch(HANDLE handle, DispatchProc proc, void* context)
{
    if (handle == nullptr && proc == kDispatchAllProc && context == kDispatchAllContext) {
        for (const auto& connection : scOpenConnections())
            connection->dispatchStored();
        return S_OK;
    }
    const auto connection = scFindConnection(handle);
    return connection ? connection->dispatch(proc, context) : E_FAIL;
}

HRESULT scCloseConnection(HANDLE handle)
{
    std::shared_ptr<SimConnectConnection> connection = scFindConnection(handle);
    if (!connection)
        return E_FAIL;
    {
        std::lock_guard lock(gf_scSendLock());
        connection->flush();
        connection->markClosing();
    }
    // Give the simulator a moment to take what was sent last (the exit's removals, the clearing of
    // the definitions): up to a second, which a busy machine may need; a connection that is gone
    // ends the wait at once.
    connection->waitSent(std::chrono::seconds(1));
    {
        std::lock_guard lock(connectionsMutex);
        openConnections.erase(reinterpret_cast<std::uintptr_t>(handle));
    }
    connection->discardMessages();
    connection->close();
    return S_OK;
}

} // namespace qmx
