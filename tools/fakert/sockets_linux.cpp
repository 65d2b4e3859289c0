// fakert's sockets on Linux: BSD sockets, poll, and an eventfd as the stop event.

#include "fakert/sockets.h"

#include <fmt/format.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <netdb.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fakert {

namespace {

std::runtime_error lf_systemError(std::string_view what)
{
    return std::runtime_error(fmt::format("{}: {}", what, std::strerror(errno)));
}

int lf_fd(NativeSocket socket)
{
    return static_cast<int>(socket);
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

// poll's timeout: -1 waits for ever.
int lf_milliseconds(std::chrono::milliseconds duration)
{
    if (duration == kWaitForever)
        return -1;
    return static_cast<int>(std::clamp<std::int64_t>(duration.count(), 0, std::numeric_limits<int>::max()));
}

bool lf_setBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

sockaddr_in lf_socketAddress(const Ipv4Address& address)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address.host);
    socketAddress.sin_port = htons(address.port);
    return socketAddress;
}

} // namespace

void gf_closeSocket(NativeSocket socket)
{
    ::close(lf_fd(socket));
}

StopEvent::StopEvent() : handle_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!handle_.valid())
        throw lf_systemError("eventfd");
}

void StopEvent::set()
{
    const std::uint64_t one = 1;
    // The counter only has to become non-zero; a full counter is set already.
    [[maybe_unused]] const auto written = ::write(lf_fd(handle_.get()), &one, sizeof one);
}

Ipv4Address gf_resolveIpv4(const std::string& host, std::uint16_t port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr)
        throw std::runtime_error(fmt::format("unknown host {}: {}", host, ::gai_strerror(result)));
    const std::uint32_t address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return {address, port};
}

bool gf_limitReceiveBuffer(const OwnedSocket& socket, int bytes)
{
    return ::setsockopt(lf_fd(socket.get()), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

OwnedSocket gf_udpSocket()
{
    OwnedSocket socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!socket.valid())
        throw lf_systemError("UDP socket");
    const int on = 1;
    if (::setsockopt(lf_fd(socket.get()), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        throw lf_systemError("SO_BROADCAST");
    return socket;
}

bool gf_sendDatagram(const OwnedSocket& socket, const Ipv4Address& to, std::string_view bytes)
{
    const sockaddr_in address = lf_socketAddress(to);
    const auto sent = ::sendto(lf_fd(socket.get()), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent == static_cast<ssize_t>(bytes.size());
}

OwnedSocket gf_connectTcp(const Ipv4Address& to, const StopEvent& stop, std::chrono::milliseconds timeout)
{
    OwnedSocket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
    if (!socket.valid())
        return {};
    const int fd = lf_fd(socket.get());
    const sockaddr_in address = lf_socketAddress(to);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS)
            return {};
        pollfd fds[2] = {{fd, POLLOUT, 0}, {lf_fd(stop.readable()), POLLIN, 0}};
        if (lf_poll(fds, 2, lf_milliseconds(timeout)) <= 0 || fds[1].revents != 0)
            return {};
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return {};
    }
    if (!lf_setBlocking(fd))
        return {};
    return socket;
}

bool gf_sendAll(const OwnedSocket& socket, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto sent = ::send(lf_fd(socket.get()), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

long gf_receive(const OwnedSocket& socket, char* buffer, std::size_t size)
{
    for (;;) {
        const auto count = ::recv(lf_fd(socket.get()), buffer, size, 0);
        if (count >= 0 || errno != EINTR)
            return static_cast<long>(count);
    }
}

bool gf_waitReadable(const OwnedSocket& socket, const StopEvent& stop, std::chrono::milliseconds timeout)
{
    pollfd fds[2] = {{lf_fd(socket.get()), POLLIN, 0}, {lf_fd(stop.readable()), POLLIN, 0}};
    if (lf_poll(fds, 2, lf_milliseconds(timeout)) <= 0 || fds[1].revents != 0)
        return false;
    return fds[0].revents != 0;
}

bool gf_waitStop(const StopEvent& stop, std::chrono::milliseconds timeout)
{
    pollfd fds[1] = {{lf_fd(stop.readable()), POLLIN, 0}};
    return lf_poll(fds, 1, lf_milliseconds(timeout)) > 0;
}

} // namespace fakert
