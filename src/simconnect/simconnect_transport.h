#pragma once
// The transport under a SimConnect connection: one connected stream (the simulator's named pipe
// or a TCP socket, platform/stream_connection.h) served by one I/O thread of its own, which writes the queued send blocks and cuts the received byte stream into messages.
// No caller ever waits on the simulator: queueSend only appends a block and wakes the thread.
// The queue of blocks is bounded, so that a simulator that takes fewer requests than the program
// makes costs neither memory nor, at the close, time.
// Internal to the client; the program uses simconnect.h.

#include "platform/stream_connection.h"
#include "simconnect/simconnect_protocol.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace qmx {

// A block of bytes on its way: an outgoing run of request packets, or one received message.
class SimConnectSendBlock {
public:
    SimConnectSendBlock(std::vector<std::uint8_t> bytes, std::uint32_t connectNumber)
        : bytes(std::move(bytes)), connectNumber(connectNumber)
    {
    }
    virtual ~SimConnectSendBlock() = default;

    std::vector<std::uint8_t> bytes;
    std::uint32_t connectNumber; // of the transport it belongs to
};
using SendBlockPtr = std::unique_ptr<SimConnectSendBlock>;

// Why a transport closed (onClose); 0 is an orderly close by the owner.
enum SimConnectCloseReason : std::uint32_t {
    kCloseOrderly = 0,
    kCloseMessageTooLarge = 1, // a size field above the largest accepted message
    kCloseMalformed = 2,       // a size field of 1 to 3, too small to hold itself
    kCloseRemoteClosed = 4,    // the simulator closed its end
    kCloseDisconnected = 5,    // reset, broken pipe, disconnect
    kCloseCancelled = 8,
    kCloseIoError = 9,
};

// Cuts a received byte stream into length-prefixed messages. A size field of 0 starts filler:
// zero bytes are skipped up to the next non-zero byte, also when that comes with a later read,
// so the messages do not depend on how the stream was cut into reads. A size field of 1 to 11 (smaller than a message header) or above the maximum
// receive size makes the stream malformed. The buffer starts at 2048 bytes and grows in steps
// of 2048 up to 1 MiB only when one message needs it; a message larger than that (but allowed
// by the maximum receive size) is skipped whole, so the stream stays in step.
class SimConnectReceiveBuffer {
public:
    static constexpr std::size_t kInitialSize = 2048;
    static constexpr std::size_t kGrowStep = 2048;
    static constexpr std::size_t kLargestBuffer = 1048576;

    explicit SimConnectReceiveBuffer(std::uint32_t maxReceiveSize);

    // Where the next read goes; never empty.
    std::span<std::uint8_t> freeSpace();
    // Takes `count` bytes that were read into freeSpace() and hands every whole message to
    // `deliver`. Returns kCloseOrderly, or kCloseMessageTooLarge / kCloseMalformed.
    SimConnectCloseReason commit(std::size_t count, const std::function<void(std::vector<std::uint8_t>&&)>& deliver);
    std::size_t capacity() const { return buffer_.size(); }

private:
    void makeRoom(std::size_t pendingSize);

    std::vector<std::uint8_t> buffer_;
    std::size_t read_ = 0;
    std::size_t end_ = 0;
    std::uint64_t skip_ = 0; // bytes still to drop of a message too large to hold
    bool inFiller_ = false;
    std::uint32_t maxReceiveSize_;
};

enum class SimConnectFamily { Pipe, IPv6, IPv4 };

// How long one connect may take: a pipe that stays busy, a TCP peer that does not answer.
inline constexpr int kConnectTimeoutMs = 5000;

class SimConnectTransport {
public:
    // A block that finds kQueuedSendBlockLimit blocks waiting, or that would take their bytes past
    // kQueuedSendByteLimit, is dropped (an empty queue takes any block); what keptOfDropped gives
    // of it is queued all the same, beyond the bound.
    static constexpr std::size_t kQueuedSendBlockLimit = 32768;
    static constexpr std::size_t kQueuedSendByteLimit = 8u << 20;

    SimConnectTransport();
    virtual ~SimConnectTransport();
    SimConnectTransport(const SimConnectTransport&) = delete;
    SimConnectTransport& operator=(const SimConnectTransport&) = delete;

    // Connects a new transport and starts its I/O thread: false when it cannot be reached.
    bool connect(SimConnectFamily family, const std::string& address, const std::string& portOrPipe,
                 std::uint32_t maxReceiveSize, bool disableNagle);
    // Queues a block for writing; dropped unless the transport is connected, or for a full queue.
    void queueSend(SendBlockPtr block);
    // Waits until every queued block is written or the transport is down, at most `timeout`.
    bool waitSent(std::chrono::milliseconds timeout);
    // Stops the I/O thread and closes with reason 0 (orderly).
    void close();

    bool isConnected() const { return state_.load(std::memory_order_acquire) == kStateConnected; }
    // 0 while healthy, else the status the failure stored (negative).
    HRESULT failureStatus() const { return failureStatus_.load(std::memory_order_acquire); }
    std::uint32_t lastOsError() const { return lastOsError_.load(std::memory_order_relaxed); }
    // Why the transport failed; kCloseOrderly while healthy.
    SimConnectCloseReason closeReason() const { return closeReason_.load(std::memory_order_acquire); }
    std::uint32_t connectNumber() const { return connectNumber_.load(std::memory_order_acquire); }
    std::uint32_t serial() const { return serial_; }
    SimConnectFamily family() const { return family_; }
    // How many socket writes the transport made: one per send block while the socket has room.
    std::uint64_t writeCalls() const { return writeCalls_.load(std::memory_order_relaxed); }
    // The blocks waiting to be written (not the one being written).
    std::size_t queuedSendBlocks();

protected:
    // Reset for a new connect; called before the I/O thread starts.
    virtual void onConnected();
    // The transport went down: reason 0 by close(), others by the I/O thread on a failure.
    virtual void onClose(SimConnectCloseReason reason, HRESULT status);
    // One whole received message (I/O thread).
    virtual void onMessage(std::vector<std::uint8_t>&& message);
    // The bytes of every read before they are cut into messages (I/O thread).
    virtual void onRawRead(std::span<const std::uint8_t> bytes);
    // A block that a full send queue drops: what of it must go all the same (nullptr: nothing).
    // Runs under the queue's lock. The transport itself keeps nothing.
    virtual SendBlockPtr keptOfDropped(const SimConnectSendBlock& dropped);

    platform::StreamConnection& stream() { return *stream_; }
    bool disableNagle() const { return disableNagle_; }

private:
    static constexpr int kStateClosed = 0;
    static constexpr int kStateConnected = 2;

    void ioLoop();
    bool readAvailable();
    bool writePending(bool& wantWrite, bool& moreQueued);
    void failWith(const platform::StreamIo& io);
    void fail(SimConnectCloseReason reason, HRESULT status, std::uint32_t osError);
    void wake();
    void blockDone();
    bool sendQueueFull(std::size_t blockSize) const;

    SimConnectFamily family_ = SimConnectFamily::Pipe;
    std::uint32_t serial_;
    std::atomic<int> state_{kStateClosed};
    std::atomic<std::uint32_t> connectNumber_{0};
    std::atomic<HRESULT> failureStatus_{S_OK};
    std::atomic<SimConnectCloseReason> closeReason_{kCloseOrderly};
    std::atomic<std::uint32_t> lastOsError_{0};
    std::atomic<std::uint64_t> writeCalls_{0};
    bool disableNagle_ = false;

    std::mutex ioMutex_;    // the stream's close
    std::mutex closeMutex_; // one close at a time
    // Set by the one connect; closed by onClose but kept, for wake(), until the transport goes.
    std::unique_ptr<platform::StreamConnection> stream_;
    bool streamOpen_ = false; // guarded by ioMutex_
    std::thread ioThread_;
    std::atomic<bool> stopRequested_{false};

    std::mutex queueMutex_;
    std::condition_variable sent_;
    std::deque<SendBlockPtr> sendQueue_;
    std::size_t queuedSendBytes_ = 0; // of sendQueue_
    std::size_t unsentBlocks_ = 0;    // queued plus the one being written

    // I/O thread only.
    SendBlockPtr writing_;
    std::size_t written_ = 0;
    std::unique_ptr<SimConnectReceiveBuffer> receive_;
};

} // namespace qmx
