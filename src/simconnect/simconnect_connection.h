#pragma once
// A SimConnect connection: the transport plus what a handle stands for (the send buffer with its
// send-id counter, the queue of received messages, the notification targets and the dispatch
// procedure), the process-wide list of open connections, and the choice of transport.
// Internal to the client; the program uses simconnect.h.

#include "platform/message_window.h"
#include "platform/sync_event.h"
#include "simconnect/simconnect.h"
#include "simconnect/simconnect_config.h"
#include "simconnect/simconnect_transport.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace qmx {

// Writes the fields of one request packet, little-endian, at offsets from the packet's start.
class PacketWriter {
public:
    PacketWriter() = default;
    explicit PacketWriter(std::span<std::uint8_t> packet) : packet_(packet) {}

    void u32(std::size_t offset, std::uint32_t value);
    void f32(std::size_t offset, float value);
    void f64(std::size_t offset, double value);
    void bytes(std::size_t offset, const void* data, std::size_t size);
    // A NUL-terminated string in a field of `width` bytes (null: empty); false, writing
    // nothing, when it has `width` bytes or more.
    bool text(std::size_t offset, std::size_t width, const char* text);

private:
    std::span<std::uint8_t> packet_;
};

class SimConnectConnection : public SimConnectTransport {
public:
    // The largest packet. Packets held for one flush gather in a buffer that grows up to
    // kHeldBufferLimit, so that a frame's position writes for a thousand objects still leave
    // in one write.
    static constexpr std::size_t kSendBufferSize = 41088;
    static constexpr std::size_t kHeldBufferLimit = 1u << 20;
    static constexpr std::uint32_t kPacketIdBase = 0xF0000000u;
    // The received messages that wait for the dispatch are bounded, so that a simulator that
    // sends faster than the program handles them costs neither memory nor, at the close, time:
    // beyond either bound a message is dropped and counted.
    static constexpr std::size_t kQueuedMessageLimit = 32768;
    static constexpr std::size_t kQueuedByteLimit = 8u << 20;
    // The request numbers of the packets that a full send queue keeps (see keptOfDropped):
    // AIRemoveObject, as a removal lost would leave its object in the simulator for the session;
    // AICreateNonATCAircraft, and RequestDataOnSimObject for an AI object, as the program's record
    // of the aircraft waits for their answer, which a lost packet never brings.
    static constexpr std::uint32_t kRequestDataOnObjectRequest = 0x0E;
    static constexpr std::uint32_t kCreateNonAtcRequest = 0x29;
    static constexpr std::uint32_t kRemoveObjectRequest = 0x2C;

    SimConnectConnection(platform::MessageWindow* window, std::uint32_t windowMessage, platform::SyncEvent* event);
    ~SimConnectConnection() override;

    // Packet building, under gf_scSendLock(): beginPacket reserves `size` bytes, takes the next
    // send id and writes the header; then either abandonPacket (nothing sent, send id given
    // back) or endPacket (kept; sent at once unless held).
    HRESULT beginPacket(std::uint32_t requestNumber, std::uint32_t size, PacketWriter& writer);
    void abandonPacket();
    HRESULT endPacket(std::uint32_t* sendId);
    HRESULT flush();
    HRESULT setSendAtOnce(bool sendAtOnce);
    void markClosing() { closing_ = true; }
    std::uint32_t lastSendId() const { return lastSendId_; }
    void setLastSendId(std::uint32_t sendId) { lastSendId_ = sendId; } // tests: the wrap of the counter
    std::size_t pendingBytes() const { return writePos_; }

    HRESULT dispatch(DispatchProc proc, void* context);
    HRESULT dispatchStored(); // with the procedure and context of the last dispatch
    void discardMessages();
    // Received messages dropped for a full queue since the connection was made.
    std::uint64_t droppedMessages();
    // Request packets dropped for a full send queue since the connection was made.
    std::uint64_t droppedSends() { return droppedSends_.load(std::memory_order_relaxed); }

protected:
    void onConnected() override;
    void onClose(SimConnectCloseReason reason, HRESULT status) override;
    void onMessage(std::vector<std::uint8_t>&& message) override;
    SendBlockPtr keptOfDropped(const SimConnectSendBlock& dropped) override;

private:
    void notify();
    SendBlockPtr takeMessage();
    std::size_t drain(DispatchProc proc, void* context);
    HRESULT dispatchWith(DispatchProc proc, void* context);

    platform::MessageWindow* window_;
    std::uint32_t windowMessage_;
    platform::SyncEvent* event_;

    std::mutex messageMutex_;
    std::deque<SendBlockPtr> messages_;
    std::size_t queuedBytes_ = 0;
    std::uint64_t droppedMessages_ = 0;
    std::atomic<std::uint64_t> droppedSends_{0};
    DispatchProc dispatchProc_ = nullptr;
    void* dispatchContext_ = nullptr;

    // Under gf_scSendLock().
    std::vector<std::uint8_t> sendBuffer_ = std::vector<std::uint8_t>(kSendBufferSize);
    std::size_t writePos_ = 0;
    std::size_t packetStart_ = 0;
    std::uint32_t lastSendId_ = 0;
    std::uint32_t previousSendId_ = 0;
    bool sendAtOnce_ = true;
    bool closing_ = false;
};

// The process-wide lock around the building and flushing of packets of every connection.
std::mutex& gf_scSendLock();

// Connects as configuration section configIndex says, trying the transports in their order.
// Results: kConnectOk, kConnectConfigMissing, kConnectFailed.
inline constexpr int kConnectOk = 0;
inline constexpr int kConnectFailed = 1;
inline constexpr int kConnectConfigMissing = 3;
int scOpenConnection(std::shared_ptr<SimConnectConnection>& connection, std::uint32_t configIndex,
                     platform::MessageWindow* window, std::uint32_t windowMessage, platform::SyncEvent* event);

// The list of open connections; a handle names one entry and is never reused while open.
HANDLE scRegisterConnection(std::shared_ptr<SimConnectConnection> connection);
std::shared_ptr<SimConnectConnection> scFindConnection(HANDLE handle);
std::vector<std::shared_ptr<SimConnectConnection>> scOpenConnections();

HRESULT scDispatch(HANDLE handle, DispatchProc proc, void* context);
HRESULT scCloseConnection(HANDLE handle);

} // namespace qmx
