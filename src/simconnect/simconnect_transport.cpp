#include "simconnect/simconnect_transport.h"

#include "platform/local_socket.h"
#include "platform/net_socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

void lf_closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

std::string lf_pipeName(const std::string& address, const std::string& pipe)
{
    const std::string server = address.empty() ? std::string(".") : address;
    if (pipe.empty())
        return "\\\\" + server + "\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect";
    return "\\\\" + server + "\\pipe\\" + pipe;
}

// A local pipe as its Unix-domain socket; a busy listener is waited for up to the connect limit.
int lf_connectPipe(const std::string& address, const std::string& pipe)
{
    const std::string path = platform::pipeSocketPath(lf_pipeName(address, pipe)).string();
    sockaddr_un socketAddress{};
    if (path.empty() || path.size() >= sizeof(socketAddress.sun_path))
        return -1;
    socketAddress.sun_family = AF_UNIX;
    std::memcpy(socketAddress.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // A Unix socket's blocking connect waits for room in a full backlog as long as this allows.
    const timeval limit{kConnectTimeoutMs / 1000, (kConnectTimeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof(socketAddress)) != 0)
        lf_closeDescriptor(fd);
    return fd;
}

// Connects a non-blocking socket, waiting at most the connect limit for the peer's answer.
bool lf_connectWithLimit(int fd, const sockaddr* address, socklen_t length)
{
    if (::connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd wait{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&wait, 1, kConnectTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t size = sizeof(error);
    return ready == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

int lf_connectTcp(int family, const std::string& address, const std::string& port)
{
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr)
        return -1;
    int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol);
    if (fd >= 0 && !lf_connectWithLimit(fd, found->ai_addr, found->ai_addrlen))
        lf_closeDescriptor(fd);
    ::freeaddrinfo(found);
    return fd;
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
    lf_closeDescriptor(socket_);
    lf_closeDescriptor(wakeFd_);
}

bool SimConnectTransport::connect(SimConnectFamily family, const std::string& address, const std::string& portOrPipe,
                                  std::uint32_t maxReceiveSize, bool disableNagle)
{
    if (socket_ >= 0 || ioThread_.joinable())
        return false;
    int fd = family == SimConnectFamily::Pipe ? lf_connectPipe(address, portOrPipe)
                                              : lf_connectTcp(family == SimConnectFamily::IPv6 ? AF_INET6 : AF_INET,
                                                              address, portOrPipe);
    if (fd < 0)
        return false;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        lf_closeDescriptor(fd);
        lf_closeDescriptor(wakeFd_);
        return false;
    }
    family_ = family;
    socket_ = fd;
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
    lastOsError_.store(0, std::memory_order_relaxed);
}

void SimConnectTransport::onClose(SimConnectCloseReason reason, HRESULT status)
{
    {
        std::lock_guard lock(ioMutex_);
        state_.store(kStateClosed, std::memory_order_release);
        connectNumber_.store(0, std::memory_order_release);
        if (socket_ >= 0) {
            if (reason != kCloseOrderly)
                failureStatus_.store(status, std::memory_order_release);
            ::shutdown(socket_, SHUT_RDWR);
            lf_closeDescriptor(socket_);
        }
    }
    {
        std::lock_guard lock(queueMutex_);
        sendQueue_.clear();
        unsentBlocks_ = 0;
    }
    sent_.notify_all();
}

void SimConnectTransport::onMessage(std::vector<std::uint8_t>&&) {}

void SimConnectTransport::onRawRead(std::span<const std::uint8_t>) {}

void SimConnectTransport::queueSend(SendBlockPtr block)
{
    if (!block || !isConnected())
        return;
    {
        std::lock_guard lock(queueMutex_);
        sendQueue_.push_back(std::move(block));
        ++unsentBlocks_;
    }
    wake();
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
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof(one));
    }
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

void SimConnectTransport::ioLoop()
{
    bool wantWrite = false;
    while (!stopRequested_.load(std::memory_order_acquire)) {
        pollfd wait[2] = {{socket_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(wait, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno(errno);
            return;
        }
        if ((wait[1].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto got = ::read(wakeFd_, &count, sizeof(count));
        }
        if (stopRequested_.load(std::memory_order_acquire))
            return;
        if ((wait[0].revents & POLLNVAL) != 0) {
            fail(kCloseIoError, E_FAIL, 0);
            return;
        }
        const short events = wait[0].revents;
        if ((events & (POLLIN | POLLHUP | POLLERR)) != 0 && !readAvailable((events & POLLERR) != 0))
            return;
        if (!writePending(wantWrite))
            return;
    }
}

// A socket error that poll flagged but the read did not report ends the transport too.
bool SimConnectTransport::checkSocketError()
{
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    if (error == 0)
        return true;
    failWithErrno(error);
    return false;
}

// Data that arrived before a failure is taken in first; the failure follows with a later read.
bool SimConnectTransport::readAvailable(bool errorFlagged)
{
    const std::span<std::uint8_t> space = receive_->freeSpace();
    const ssize_t count = ::recv(socket_, space.data(), space.size(), MSG_DONTWAIT);
    if (count == 0) {
        fail(kCloseRemoteClosed, kStatusRemoteClosed, 0);
        return false;
    }
    if (count < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return !errorFlagged || checkSocketError();
        failWithErrno(errno);
        return false;
    }
    const auto bytes = static_cast<std::size_t>(count);
    onRawRead(space.first(bytes));
    const SimConnectCloseReason reason =
        receive_->commit(bytes, [this](std::vector<std::uint8_t>&& message) { onMessage(std::move(message)); });
    if (reason != kCloseOrderly) {
        fail(reason, E_ABORT, 0);
        return false;
    }
    return true;
}

// Writes queued blocks until the socket takes no more; each block goes out with one send call
// when the socket has room for it.
bool SimConnectTransport::writePending(bool& wantWrite)
{
    wantWrite = false;
    for (;;) {
        if (!writing_) {
            std::lock_guard lock(queueMutex_);
            if (sendQueue_.empty())
                return true;
            writing_ = std::move(sendQueue_.front());
            sendQueue_.pop_front();
            written_ = 0;
        }
        if (writing_->connectNumber != connectNumber() || writing_->bytes.empty()) {
            writing_.reset();
            blockDone();
            continue;
        }
        writeCalls_.fetch_add(1, std::memory_order_relaxed);
        const ssize_t count = ::send(socket_, writing_->bytes.data() + written_, writing_->bytes.size() - written_,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                wantWrite = true;
                return true;
            }
            failWithErrno(errno);
            return false;
        }
        written_ += static_cast<std::size_t>(count);
        if (written_ < writing_->bytes.size()) {
            wantWrite = true;
            return true;
        }
        writing_.reset();
        blockDone();
    }
}

void SimConnectTransport::failWithErrno(int error)
{
    const auto code = static_cast<std::uint32_t>(net::gf_wsaCodeOf(error));
    switch (error) {
    case ECONNRESET: fail(kCloseDisconnected, kStatusConnectionReset, code); break;
    case EPIPE: fail(kCloseDisconnected, kStatusPipeBroken, code); break;
    case ECONNABORTED: fail(kCloseDisconnected, kStatusRemoteDisconnect, code); break;
    case ECANCELED: fail(kCloseCancelled, kStatusCancelled, code); break;
    default: fail(kCloseIoError, static_cast<HRESULT>(0x80070000u | (code & 0xFFFFu)), code); break;
    }
}

void SimConnectTransport::fail(SimConnectCloseReason reason, HRESULT status, std::uint32_t osError)
{
    writing_.reset();
    lastOsError_.store(osError, std::memory_order_relaxed);
    onClose(reason, status);
}

} // namespace qmx
