// fakert's sockets on Windows: Winsock 2.2 and select. select waits on sockets only, so the stop
// event is a UDP socket of 127.0.0.1 that, once set, holds a datagram it sent itself.

#include "fakert/sockets.h"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace fakert {

namespace {

SOCKET lf_socket(NativeSocket socket)
{
    return static_cast<SOCKET>(socket);
}

std::runtime_error lf_systemError(std::string_view what)
{
    return std::runtime_error(fmt::format("{} failed with error {}", what, ::WSAGetLastError()));
}

// Winsock 2.2 for the whole process, started by the first socket and left to the end of the
// process (threads of fakert may still hold sockets while static objects are destroyed).
void lf_startWinsock()
{
    static const int error = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (error != 0)
        throw std::runtime_error(fmt::format("WSAStartup failed with error {}", error));
}

// A socket that child processes do not inherit.
OwnedSocket lf_open(int type, int protocol)
{
    lf_startWinsock();
    const SOCKET socket =
        ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    return OwnedSocket(socket == INVALID_SOCKET ? kNoSocket : static_cast<NativeSocket>(socket));
}

sockaddr_in lf_socketAddress(const Ipv4Address& address)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address.host);
    socketAddress.sin_port = htons(address.port);
    return socketAddress;
}

bool lf_setBlocking(SOCKET socket, bool blocking)
{
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

enum class WaitResult { Ready, Stopped, TimedOut };

// Waits with select for `socket` (none: only the stop) to become readable, or for a connect
// in progress (`connecting`) to succeed or fail, or for the stop; the stop wins a tie.
WaitResult lf_wait(SOCKET socket, bool connecting, const StopEvent& stop, std::chrono::milliseconds timeout)
{
    fd_set readable;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    const SOCKET stopSocket = lf_socket(stop.readable());
    FD_SET(stopSocket, &readable);
    if (socket != INVALID_SOCKET && connecting) {
        FD_SET(socket, &writable);
        FD_SET(socket, &failed); // a refused connection
    } else if (socket != INVALID_SOCKET) {
        FD_SET(socket, &readable);
    }
    timeval limit{};
    timeval* limitOrNone = nullptr;
    if (timeout != kWaitForever) {
        const auto ms = std::clamp<std::int64_t>(timeout.count(), 0, std::int64_t{1} << 40);
        limit.tv_sec = static_cast<long>(ms / 1000);
        limit.tv_usec = static_cast<long>(ms % 1000 * 1000);
        limitOrNone = &limit;
    }
    const int ready = ::select(0, &readable, &writable, &failed, limitOrNone);
    if (ready > 0 && FD_ISSET(stopSocket, &readable))
        return WaitResult::Stopped;
    // An error of select counts as a timeout: the callers give up either way.
    return ready > 0 && socket != INVALID_SOCKET ? WaitResult::Ready : WaitResult::TimedOut;
}

} // namespace

void gf_closeSocket(NativeSocket socket)
{
    ::closesocket(lf_socket(socket));
}

StopEvent::StopEvent() : handle_(lf_open(SOCK_DGRAM, IPPROTO_UDP))
{
    const sockaddr_in address = lf_socketAddress({INADDR_LOOPBACK, 0});
    if (!handle_.valid() ||
        ::bind(lf_socket(handle_.get()), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw lf_systemError("the stop event's socket");
}

void StopEvent::set()
{
    sockaddr_in self{};
    int length = sizeof self;
    // The datagram stays unread: the socket stays readable.
    if (::getsockname(lf_socket(handle_.get()), reinterpret_cast<sockaddr*>(&self), &length) == 0)
        ::sendto(lf_socket(handle_.get()), "s", 1, 0, reinterpret_cast<const sockaddr*>(&self), length);
}

Ipv4Address gf_resolveIpv4(const std::string& host, std::uint16_t port)
{
    lf_startWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr)
        throw std::runtime_error(fmt::format("unknown host {}: error {}", host, result));
    const std::uint32_t address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return {address, port};
}

bool gf_limitReceiveBuffer(const OwnedSocket& socket, int bytes)
{
    return ::setsockopt(lf_socket(socket.get()), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

OwnedSocket gf_udpSocket()
{
    OwnedSocket socket = lf_open(SOCK_DGRAM, IPPROTO_UDP);
    if (!socket.valid())
        throw lf_systemError("UDP socket");
    const BOOL on = TRUE;
    if (::setsockopt(lf_socket(socket.get()), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        throw lf_systemError("SO_BROADCAST");
    return socket;
}

bool gf_sendDatagram(const OwnedSocket& socket, const Ipv4Address& to, std::string_view bytes)
{
    const sockaddr_in address = lf_socketAddress(to);
    const int sent = ::sendto(lf_socket(socket.get()), bytes.data(), static_cast<int>(bytes.size()), 0,
                              reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent == static_cast<int>(bytes.size());
}

OwnedSocket gf_connectTcp(const Ipv4Address& to, const StopEvent& stop, std::chrono::milliseconds timeout)
{
    OwnedSocket socket = lf_open(SOCK_STREAM, IPPROTO_TCP);
    if (!socket.valid() || !lf_setBlocking(lf_socket(socket.get()), false))
        return {};
    const SOCKET handle = lf_socket(socket.get());
    const sockaddr_in address = lf_socketAddress(to);
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK || lf_wait(handle, true, stop, timeout) != WaitResult::Ready)
            return {};
        int error = 0;
        int length = sizeof error;
        if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0)
            return {};
    }
    if (!lf_setBlocking(handle, true))
        return {};
    return socket;
}

bool gf_sendAll(const OwnedSocket& socket, std::string_view bytes)
{
    while (!bytes.empty()) {
        const int sent = ::send(lf_socket(socket.get()), bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

long gf_receive(const OwnedSocket& socket, char* buffer, std::size_t size)
{
    const int count = ::recv(lf_socket(socket.get()), buffer, static_cast<int>(size), 0);
    return count == SOCKET_ERROR ? -1 : count;
}

bool gf_waitReadable(const OwnedSocket& socket, const StopEvent& stop, std::chrono::milliseconds timeout)
{
    return lf_wait(lf_socket(socket.get()), false, stop, timeout) == WaitResult::Ready;
}

bool gf_waitStop(const StopEvent& stop, std::chrono::milliseconds timeout)
{
    return lf_wait(INVALID_SOCKET, false, stop, timeout) == WaitResult::Stopped;
}

} // namespace fakert
