// The stand-in's sockets on Windows: Winsock 2.2, WSAPoll, and a loopback datagram socket that
// sends itself a byte to wake the waiting thread.

#include "sockets.h"
#include "sockets_windows.h"

#include <algorithm>
#include <fcntl.h>
#include <io.h>
#include <stdexcept>
#include <stdio.h>

namespace fakesim::net {

namespace {

SOCKET lf_socket(Socket socket)
{
    return static_cast<SOCKET>(socket);
}

Transfer lf_transfer(int n)
{
    if (n > 0)
        return {Transfer::State::Done, static_cast<std::size_t>(n), {}};
    if (n == 0)
        return {Transfer::State::Closed, 0, {}};
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR)
        return {Transfer::State::WouldBlock, 0, {}};
    return {Transfer::State::Failed, 0, gf_errorText(static_cast<unsigned long>(error))};
}

} // namespace

std::string gf_errorText(unsigned long error)
{
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    if (text != nullptr)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    return message;
}

std::runtime_error gf_socketError(const std::string& what)
{
    return std::runtime_error(what + ": " + gf_errorText(static_cast<unsigned long>(::WSAGetLastError())));
}

Socket gf_openSocket(int type, int protocol, bool nonBlocking)
{
    const SOCKET socket = ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET)
        throw gf_socketError("socket");
    u_long mode = nonBlocking ? 1 : 0;
    ::ioctlsocket(socket, FIONBIO, &mode);
    return static_cast<Socket>(socket);
}

sockaddr_in gf_loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    return address;
}

std::uint16_t gf_boundPort(Socket socket)
{
    sockaddr_in address{};
    int length = sizeof address;
    ::getsockname(lf_socket(socket), reinterpret_cast<sockaddr*>(&address), &length);
    return ::ntohs(address.sin_port);
}

void startSockets()
{
    // Never cleaned up: the stand-in may be made and destroyed many times in one process.
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        throw std::runtime_error("WSAStartup failed");
}

void prepareProgram()
{
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

Socket listenTcp(std::uint16_t port, std::uint16_t& boundPort)
{
    const Socket socket = gf_openSocket(SOCK_STREAM, IPPROTO_TCP, true);
    // Windows lets SO_REUSEADDR take a port in use; this refuses to share it instead.
    BOOL one = TRUE;
    ::setsockopt(lf_socket(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
    const sockaddr_in address = gf_loopback(port);
    if (::bind(lf_socket(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(lf_socket(socket), 16) != 0) {
        auto error = gf_socketError("cannot listen on 127.0.0.1:" + std::to_string(port));
        ::closesocket(lf_socket(socket));
        throw error;
    }
    boundPort = gf_boundPort(socket);
    return socket;
}

Socket acceptClient(Socket listener)
{
    const SOCKET client = ::accept(lf_socket(listener), nullptr, nullptr);
    if (client == INVALID_SOCKET)
        return kNoSocket;
    u_long nonBlocking = 1;
    ::ioctlsocket(client, FIONBIO, &nonBlocking);
    return static_cast<Socket>(client);
}

void setNoDelay(Socket socket)
{
    BOOL one = TRUE;
    ::setsockopt(lf_socket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

void closeSocket(Socket socket)
{
    // Bytes left unread would turn the close into a reset, which may cost the peer what it has
    // not read yet (a QUIT, the last replies).
    u_long nonBlocking = 1;
    ::ioctlsocket(lf_socket(socket), FIONBIO, &nonBlocking);
    char unread[4096];
    while (::recv(lf_socket(socket), unread, sizeof unread, 0) > 0) {
    }
    ::shutdown(lf_socket(socket), SD_BOTH);
    ::closesocket(lf_socket(socket));
}

Transfer receiveSome(Socket socket, std::span<std::uint8_t> space)
{
    const int length = static_cast<int>(std::min<std::size_t>(space.size(), 1u << 30));
    return lf_transfer(::recv(lf_socket(socket), reinterpret_cast<char*>(space.data()), length, 0));
}

Transfer sendSome(Socket socket, std::span<const std::uint8_t> bytes)
{
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), 1u << 30));
    const int n = ::send(lf_socket(socket), reinterpret_cast<const char*>(bytes.data()), length, 0);
    if (n == 0 && length > 0)
        return {Transfer::State::WouldBlock, 0, {}};
    return lf_transfer(n);
}

void waitForSockets(std::vector<Watch>& watches, std::chrono::milliseconds timeout)
{
    std::vector<WSAPOLLFD> fds;
    fds.reserve(watches.size());
    for (const Watch& watch : watches)
        fds.push_back({lf_socket(watch.socket), static_cast<SHORT>(POLLRDNORM | (watch.wantWrite ? POLLWRNORM : 0)), 0});
    ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), static_cast<INT>(timeout.count()));
    for (std::size_t i = 0; i < fds.size(); ++i)
        watches[i].ready = fds[i].revents != 0;
}

// ---- Waker: a datagram socket connected to itself ----

Waker::Waker()
{
    socket_ = gf_openSocket(SOCK_DGRAM, IPPROTO_UDP, true);
    const sockaddr_in any = gf_loopback(0);
    if (::bind(lf_socket(socket_), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        auto error = gf_socketError("cannot bind the wake-up socket");
        ::closesocket(lf_socket(socket_));
        throw error;
    }
    const sockaddr_in self = gf_loopback(gf_boundPort(socket_));
    ::connect(lf_socket(socket_), reinterpret_cast<const sockaddr*>(&self), sizeof self);
}

Waker::~Waker()
{
    ::closesocket(lf_socket(socket_));
}

void Waker::wake() const noexcept
{
    const char one = 1;
    ::send(lf_socket(socket_), &one, 1, 0);
}

void Waker::drain() const noexcept
{
    char bytes[64];
    while (::recv(lf_socket(socket_), bytes, sizeof bytes, 0) > 0) {
    }
}

} // namespace fakesim::net
