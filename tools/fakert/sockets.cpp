#include "fakert/sockets.h"

#include <fmt/format.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace fakert {

namespace {

std::runtime_error lf_systemError(std::string_view what)
{
    return std::runtime_error(fmt::format("{}: {}", what, std::strerror(errno)));
}

// poll() that goes on after a signal interrupted it; returns poll's result.
int lf_poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    for (;;) {
        const int result = ::poll(fds, count, timeoutMs);
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

int lf_milliseconds(std::chrono::milliseconds duration)
{
    return static_cast<int>(std::max<std::int64_t>(0, duration.count()));
}

bool lf_setBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

SocketFd::~SocketFd()
{
    reset();
}

SocketFd::SocketFd(SocketFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SocketFd& SocketFd::operator=(SocketFd&& other) noexcept
{
    if (this != &other) {
        reset();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void SocketFd::reset()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

StopEvent::StopEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!fd_.valid())
        throw lf_systemError("eventfd");
}

void StopEvent::set()
{
    const std::uint64_t one = 1;
    // The counter only has to become non-zero; a full counter is set already.
    [[maybe_unused]] const auto written = ::write(fd_.get(), &one, sizeof one);
}

sockaddr_in gf_resolveIpv4(const std::string& host, std::uint16_t port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr)
        throw std::runtime_error(fmt::format("unknown host {}: {}", host, ::gai_strerror(result)));
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);
    return address;
}

SocketFd gf_udpSocket()
{
    SocketFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!socket.valid())
        throw lf_systemError("UDP socket");
    const int on = 1;
    if (::setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        throw lf_systemError("SO_BROADCAST");
    return socket;
}

bool gf_sendDatagram(const SocketFd& socket, const sockaddr_in& to, std::string_view bytes)
{
    const auto sent = ::sendto(socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(bytes.size());
}

SocketFd gf_connectTcp(const sockaddr_in& to, const StopEvent& stop, std::chrono::milliseconds timeout)
{
    SocketFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
    if (!socket.valid())
        return {};
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS)
            return {};
        pollfd fds[2] = {{socket.get(), POLLOUT, 0}, {stop.fd(), POLLIN, 0}};
        if (lf_poll(fds, 2, lf_milliseconds(timeout)) <= 0 || fds[1].revents != 0)
            return {};
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return {};
    }
    if (!lf_setBlocking(socket.get()))
        return {};
    return socket;
}

bool gf_sendAll(const SocketFd& socket, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto sent = ::send(socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool gf_waitReadable(const SocketFd& socket, const StopEvent& stop)
{
    pollfd fds[2] = {{socket.get(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
    if (lf_poll(fds, 2, -1) <= 0 || fds[1].revents != 0)
        return false;
    return fds[0].revents != 0;
}

bool gf_waitStop(const StopEvent& stop, std::chrono::milliseconds timeout)
{
    pollfd fds[1] = {{stop.fd(), POLLIN, 0}};
    return lf_poll(fds, 1, lf_milliseconds(timeout)) > 0;
}

} // namespace fakert
