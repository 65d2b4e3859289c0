#include "platform/stream_connection.h"

#include "platform/local_socket.h"
#include "platform/net_socket.h"

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

namespace platform {

struct StreamConnection::State {
    int fd = -1;
    int wakeFd = -1;
};

namespace {

void lf_closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A Unix socket's blocking connect waits for room in a full backlog as long as `limit` allows.
int lf_connectUnix(const std::string& path, std::chrono::milliseconds limit)
{
    sockaddr_un socketAddress{};
    if (path.empty() || path.size() >= sizeof(socketAddress.sun_path))
        return -1;
    socketAddress.sun_family = AF_UNIX;
    std::memcpy(socketAddress.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const timeval wait{static_cast<time_t>(limit.count() / 1000), static_cast<suseconds_t>(limit.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof(wait));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof(socketAddress)) != 0)
        lf_closeDescriptor(fd);
    return fd;
}

// Connects a non-blocking socket, waiting at most `limit` for the peer's answer.
bool lf_connectWithLimit(int fd, const sockaddr* address, socklen_t length, std::chrono::milliseconds limit)
{
    if (::connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd wait{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&wait, 1, static_cast<int>(limit.count()));
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t size = sizeof(error);
    return ready == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

int lf_connectTcp(int family, const std::string& address, const std::string& port, std::chrono::milliseconds limit)
{
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr)
        return -1;
    int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol);
    if (fd >= 0 && !lf_connectWithLimit(fd, found->ai_addr, found->ai_addrlen, limit))
        lf_closeDescriptor(fd);
    ::freeaddrinfo(found);
    return fd;
}

StreamIo lf_failure(int error)
{
    StreamIo io{StreamIo::State::Failed};
    io.osError = static_cast<std::uint32_t>(net::gf_wsaCodeOf(error));
    switch (error) {
    case ECONNRESET: io.failure = StreamFailure::Reset; break;
    case EPIPE: io.failure = StreamFailure::PipeBroken; break;
    case ECONNABORTED: io.failure = StreamFailure::Disconnected; break;
    case ECANCELED: io.failure = StreamFailure::Cancelled; break;
    default: io.failure = StreamFailure::Other; break;
    }
    return io;
}

// A connected descriptor made non-blocking, with its wake descriptor.
std::unique_ptr<StreamConnection::State> lf_state(int fd)
{
    if (fd < 0)
        return nullptr;
    auto state = std::make_unique<StreamConnection::State>();
    state->fd = fd;
    state->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->wakeFd < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        lf_closeDescriptor(state->fd);
        lf_closeDescriptor(state->wakeFd);
        return nullptr;
    }
    return state;
}

} // namespace

StreamConnection::StreamConnection(std::unique_ptr<State> state) : state_(std::move(state)) {}

StreamConnection::~StreamConnection()
{
    close();
    lf_closeDescriptor(state_->wakeFd);
}

std::unique_ptr<StreamConnection> StreamConnection::openPipe(const std::string& pipeName,
                                                             std::chrono::milliseconds limit)
{
    std::unique_ptr<State> state = lf_state(lf_connectUnix(pipeSocketPath(pipeName).string(), limit));
    return state ? std::unique_ptr<StreamConnection>(new StreamConnection(std::move(state))) : nullptr;
}

std::unique_ptr<StreamConnection> StreamConnection::openTcp(bool ipv6, const std::string& address,
                                                            const std::string& port, std::chrono::milliseconds limit)
{
    std::unique_ptr<State> state = lf_state(lf_connectTcp(ipv6 ? AF_INET6 : AF_INET, address, port, limit));
    return state ? std::unique_ptr<StreamConnection>(new StreamConnection(std::move(state))) : nullptr;
}

bool StreamConnection::setNoDelay()
{
    int domain = 0;
    socklen_t size = sizeof(domain);
    return ::getsockopt(state_->fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain != AF_UNIX &&
           net::gf_setNoDelay(state_->fd);
}

StreamIo StreamConnection::read(std::span<std::uint8_t> space)
{
    for (;;) {
        const ssize_t count = ::recv(state_->fd, space.data(), space.size(), MSG_DONTWAIT);
        if (count > 0)
            return {StreamIo::State::Done, static_cast<std::size_t>(count)};
        if (count == 0)
            return {StreamIo::State::Closed};
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {StreamIo::State::Pending};
        if (errno != EINTR)
            return lf_failure(state_->fd < 0 ? EBADF : errno);
    }
}

StreamIo StreamConnection::write(std::span<const std::uint8_t> bytes)
{
    for (;;) {
        const ssize_t count = ::send(state_->fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count >= 0)
            return {StreamIo::State::Done, static_cast<std::size_t>(count)};
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {StreamIo::State::Pending};
        if (errno != EINTR)
            return lf_failure(state_->fd < 0 ? EBADF : errno);
    }
}

void StreamConnection::wait(bool writePending)
{
    pollfd wait[2] = {{state_->fd, static_cast<short>(POLLIN | (writePending ? POLLOUT : 0)), 0},
                      {state_->wakeFd, POLLIN, 0}};
    if (::poll(wait, 2, -1) > 0 && (wait[1].revents & POLLIN) != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto got = ::read(state_->wakeFd, &count, sizeof(count));
    }
}

void StreamConnection::wake()
{
    const std::uint64_t one = 1;
    if (state_->wakeFd >= 0) {
        [[maybe_unused]] const auto written = ::write(state_->wakeFd, &one, sizeof(one));
    }
}

void StreamConnection::close()
{
    if (state_->fd >= 0)
        ::shutdown(state_->fd, SHUT_RDWR);
    lf_closeDescriptor(state_->fd);
}

} // namespace platform
