#include "simconnect/simconnect_transport.h"

#include <algorithm>
#include <cstring>

namespace qmx {
namespace {

// Every transport gets a serial number, every connect a connect number (never 0).
std::atomic<std::uint32_t> transportSerial{0};
std::atomic<std::uint32_t> connectCounter{0};

std::uint32_t lf_nextConnectNumber()
{
    std::uint32_t number = 0;
    while (number == 0)
        number = connectCounter.fetch_add(1, std::memory_order_relaxed) + 1;
    return number;
}

std::uint32_t lf_readU32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::string lf_pipeName(const std::string& address, const std::string& pipe)
{
    const std::string server = address.empty() ? std::string(".") : address;
    if (pipe.empty())
        return "\\\\" + server + "\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect";
    return "\\\\" + server + "\\pipe\\" + pipe;
}

} // namespace

// ---- SimConnectReceiveBuffer

SimConnectReceiveBuffer::SimConnectReceiveBuffer(std::uint32_t maxReceiveSize)
    : buffer_(kInitialSize), maxReceiveSize_(maxReceiveSize)
{
}

std::span<std::uint8_t> SimConnectReceiveBuffer::freeSpace()
{
    return std::span<std::uint8_t>(buffer_).subspan(end_);
}

SimConnectCloseReason SimConnectReceiveBuffer::commit(std::size_t count,
                                                      const std::function<void(std::vector<std::uint8_t>&&)>& deliver)
{
    end_ += std::min(count, buffer_.size() - end_);
    std::size_t pendingSize = 0;
    for (;;) {
        if (skip_ > 0) {
            const auto dropped = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, end_ - read_));
            read_ += dropped;
            skip_ -= dropped;
            if (skip_ > 0)
                break;
            continue;
        }
        if (inFiller_) { // zero bytes up to the next non-zero byte, in this read or a later one
            while (read_ < end_ && buffer_[read_] == 0)
                ++read_;
            if (read_ == end_)
                break;
            inFiller_ = false;
        }
        const std::size_t available = end_ - read_;
        if (available < 4)
            break;
        const std::uint32_t size = lf_readU32(&buffer_[read_]);
        if (size == 0) { // a size of 0 starts filler
            inFiller_ = true;
            continue;
        }
        if (size > maxReceiveSize_)
            return kCloseMessageTooLarge;
        // A size of 1 to 3 cannot even hold itself; one of 4 to 11 is cut out like any other
        // message, and the dispatch skips it for want of a header.
        if (size < sizeof(std::uint32_t))
            return kCloseMalformed;
        if (available < size) {
            if (size > kLargestBuffer) { // cannot be held: dropped as it arrives
                skip_ = size - available;
                read_ = end_;
                continue;
            }
            pendingSize = size;
            break;
        }
        deliver(std::vector<std::uint8_t>(buffer_.begin() + static_cast<std::ptrdiff_t>(read_),
                                          buffer_.begin() + static_cast<std::ptrdiff_t>(read_ + size)));
        read_ += size;
    }
    if (read_ == end_)
        read_ = end_ = 0;
    makeRoom(pendingSize);
    return kCloseOrderly;
}

void SimConnectReceiveBuffer::makeRoom(std::size_t pendingSize)
{
    if (read_ > 0 && (end_ == buffer_.size() || pendingSize > buffer_.size() - read_)) {
        std::memmove(buffer_.data(), buffer_.data() + read_, end_ - read_);
        end_ -= read_;
        read_ = 0;
    }
    if (pendingSize > buffer_.size())
        buffer_.resize((pendingSize + kGrowStep - 1) / kGrowStep * kGrowStep);
}

// ---- SimConnectTransport

SimConnectTransport::SimConnectTransport()
    : serial_(transportSerial.fetch_add(1, std::memory_order_relaxed) + 1)
{
}

SimConnectTransport::~SimConnectTransport()
{
    stopRequested_.store(true, std::memory_order_release);
    if (ioThread_.joinable()) {
        wake();
        ioThread_.join();
    }
}

bool SimConnectTransport::connect(SimConnectFamily family, const std::string& address, const std::string& portOrPipe,
                                  std::uint32_t maxReceiveSize, bool disableNagle)
{
    if (stream_ || ioThread_.joinable())
        return false;
    const std::chrono::milliseconds limit(kConnectTimeoutMs);
    std::unique_ptr<platform::StreamConnection> stream =
        family == SimConnectFamily::Pipe
            ? platform::StreamConnection::openPipe(lf_pipeName(address, portOrPipe), limit)
            : platform::StreamConnection::openTcp(family == SimConnectFamily::IPv6, address, portOrPipe, limit);
    if (!stream)
        return false;
    family_ = family;
    stream_ = std::move(stream);
    streamOpen_ = true;
    disableNagle_ = disableNagle;
    receive_ = std::make_unique<SimConnectReceiveBuffer>(maxReceiveSize);
    onConnected();
    state_.store(kStateConnected, std::memory_order_release);
    ioThread_ = std::thread([this] { ioLoop(); });
    return true;
}

void SimConnectTransport::onConnected()
{
    connectNumber_.store(lf_nextConnectNumber(), std::memory_order_release);
    failureStatus_.store(S_OK, std::memory_order_release);
    closeReason_.store(kCloseOrderly, std::memory_order_release);
    lastOsError_.store(0, std::memory_order_relaxed);
}

void SimConnectTransport::onClose(SimConnectCloseReason reason, HRESULT status)
{
    {
        std::lock_guard lock(ioMutex_);
        state_.store(kStateClosed, std::memory_order_release);
        connectNumber_.store(0, std::memory_order_release);
        if (streamOpen_) {
            if (reason != kCloseOrderly) {
                closeReason_.store(reason, std::memory_order_release);
                failureStatus_.store(status, std::memory_order_release);
            }
            stream_->close();
            streamOpen_ = false;
        }
    }
    {
        std::lock_guard lock(queueMutex_);
        sendQueue_.clear();
        queuedSendBytes_ = 0;
        unsentBlocks_ = 0;
    }
    sent_.notify_all();
}

void SimConnectTransport::onMessage(std::vector<std::uint8_t>&&) {}

void SimConnectTransport::onRawRead(std::span<const std::uint8_t>) {}

SendBlockPtr SimConnectTransport::keptOfDropped(const SimConnectSendBlock&)
{
    return nullptr;
}

// Under queueMutex_.
bool SimConnectTransport::sendQueueFull(std::size_t blockSize) const
{
    return !sendQueue_.empty() &&
           (sendQueue_.size() >= kQueuedSendBlockLimit || queuedSendBytes_ + blockSize > kQueuedSendByteLimit);
}

void SimConnectTransport::queueSend(SendBlockPtr block)
{
    if (!block || !isConnected())
        return;
    {
        std::lock_guard lock(queueMutex_);
        if (sendQueueFull(block->bytes.size())) {
            block = keptOfDropped(*block);
            if (!block)
                return;
        }
        queuedSendBytes_ += block->bytes.size();
        sendQueue_.push_back(std::move(block));
        ++unsentBlocks_;
    }
    wake();
}

std::size_t SimConnectTransport::queuedSendBlocks()
{
    std::lock_guard lock(queueMutex_);
    return sendQueue_.size();
}

bool SimConnectTransport::waitSent(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(queueMutex_);
    return sent_.wait_for(lock, timeout, [this] { return unsentBlocks_ == 0 || !isConnected(); });
}

void SimConnectTransport::close()
{
    {
        std::lock_guard lock(closeMutex_);
        stopRequested_.store(true, std::memory_order_release);
        if (ioThread_.joinable()) {
            wake();
            ioThread_.join();
        }
    }
    onClose(kCloseOrderly, S_OK);
}

void SimConnectTransport::wake()
{
    if (stream_)
        stream_->wake();
}

void SimConnectTransport::blockDone()
{
    bool allSent = false;
    {
        std::lock_guard lock(queueMutex_);
        if (unsentBlocks_ > 0)
            --unsentBlocks_;
        allSent = unsentBlocks_ == 0;
    }
    if (allSent)
        sent_.notify_all();
}

// Reads whatever has come, writes what is queued, then sleeps until either may go on or a
// block is queued or a stop requested. Blocks queued while it writes are left for the next turn,
// after the reads: a thread that queues without a pause never keeps the simulator's messages
// (its frames, its refusals) waiting.
void SimConnectTransport::ioLoop()
{
    bool wantWrite = false;
    bool moreQueued = false;
    while (!stopRequested_.load(std::memory_order_acquire)) {
        if (!readAvailable() || !writePending(wantWrite, moreQueued))
            return;
        if (!moreQueued)
            stream_->wait(wantWrite);
    }
}

// Takes in every read that finishes at once; data that arrived before a failure comes first,
// the failure with a later read.
bool SimConnectTransport::readAvailable()
{
    for (;;) {
        const std::span<std::uint8_t> space = receive_->freeSpace();
        const platform::StreamIo io = stream_->read(space);
        switch (io.state) {
        case platform::StreamIo::State::Pending: return true;
        case platform::StreamIo::State::Closed: fail(kCloseRemoteClosed, kStatusRemoteClosed, 0); return false;
        case platform::StreamIo::State::Failed: failWith(io); return false;
        case platform::StreamIo::State::Done: break;
        }
        onRawRead(space.first(io.count));
        const SimConnectCloseReason reason =
            receive_->commit(io.count, [this](std::vector<std::uint8_t>&& message) { onMessage(std::move(message)); });
        if (reason != kCloseOrderly) {
            fail(reason, E_ABORT, 0);
            return false;
        }
        if (stopRequested_.load(std::memory_order_acquire))
            return true;
    }
}

// Writes the blocks queued when it starts until the socket takes no more; each block goes out
// with one send call when the socket has room for it. `moreQueued`: blocks queued since wait.
bool SimConnectTransport::writePending(bool& wantWrite, bool& moreQueued)
{
    wantWrite = false;
    moreQueued = false;
    std::size_t turn = 0;
    {
        std::lock_guard lock(queueMutex_);
        turn = sendQueue_.size();
    }
    for (;;) {
        if (!writing_) {
            std::lock_guard lock(queueMutex_);
            if (sendQueue_.empty())
                return true;
            if (turn == 0) {
                moreQueued = true;
                return true;
            }
            --turn;
            writing_ = std::move(sendQueue_.front());
            sendQueue_.pop_front();
            queuedSendBytes_ -= writing_->bytes.size();
            written_ = 0;
        }
        if (writing_->connectNumber != connectNumber() || writing_->bytes.empty()) {
            writing_.reset();
            blockDone();
            continue;
        }
        writeCalls_.fetch_add(1, std::memory_order_relaxed);
        const platform::StreamIo io = stream_->write(std::span<const std::uint8_t>(writing_->bytes).subspan(written_));
        if (io.state == platform::StreamIo::State::Pending) {
            wantWrite = true;
            return true;
        }
        if (io.state != platform::StreamIo::State::Done) {
            failWith(io);
            return false;
        }
        written_ += io.count;
        if (written_ < writing_->bytes.size()) {
            wantWrite = true;
            return true;
        }
        writing_.reset();
        blockDone();
    }
}

void SimConnectTransport::failWith(const platform::StreamIo& io)
{
    const std::uint32_t code = io.osError;
    switch (io.failure) {
    case platform::StreamFailure::Reset: fail(kCloseDisconnected, kStatusConnectionReset, code); break;
    case platform::StreamFailure::PipeBroken: fail(kCloseDisconnected, kStatusPipeBroken, code); break;
    case platform::StreamFailure::Disconnected: fail(kCloseDisconnected, kStatusRemoteDisconnect, code); break;
    case platform::StreamFailure::Cancelled: fail(kCloseCancelled, kStatusCancelled, code); break;
    default: fail(kCloseIoError, static_cast<HRESULT>(0x80070000u | (code & 0xFFFFu)), code); break;
    }
}

void SimConnectTransport::fail(SimConnectCloseReason reason, HRESULT status, std::uint32_t osError)
{
    lastOsError_.store(osError, std::memory_order_relaxed);
    // The close cancels the stream's operations and waits for them; only then is the block that
    // a write may still be reading from freed.
    onClose(reason, status);
    writing_.reset();
}

} // namespace qmx
