#include "platform/net_socket.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct ErrnoCode {
    int errnoValue;
    std::int32_t code;
};

constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004}, {EBADF, 10009}, {EACCES, 10013}, {EFAULT, 10014}, {EINVAL, 10022},
    {EMFILE, 10024}, {ENFILE, 10024}, {EAGAIN, 10035}, {EINPROGRESS, 10036}, {EALREADY, 10037},
    {ENOTSOCK, 10038}, {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040}, {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042}, {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050}, {ENETUNREACH, 10051}, {ENETRESET, 10052}, {ECONNABORTED, 10053},
    {ECONNRESET, 10054},
    // Windows reports a send into a connection the peer has dropped as a reset.
    {EPIPE, 10054},
    {ENOBUFS, 10055}, {ENOMEM, 10055}, {EISCONN, 10056}, {ENOTCONN, 10057}, {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064}, {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
    {EUSERS, 10068}, {EDQUOT, 10069}, {ESTALE, 10070}, {EREMOTE, 10071},
    // I/O given up because its socket was closed (WSA_OPERATION_ABORTED).
    {ECANCELED, 995},
};

sockaddr_in lf_ipv4(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address);
    socketAddress.sin_port = htons(port);
    return socketAddress;
}

bool lf_setIntOption(int fd, int level, int name, int value)
{
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

// True once a send may go on (room, or an error or shutdown for the send to report); false with
// ETIMEDOUT at the deadline. A socket shut down for sending counts as ready.
bool lf_waitWritable(int fd, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline != std::chrono::steady_clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, std::numeric_limits<int>::max()));
        }
        pollfd wait{fd, POLLOUT, 0};
        const int ready = ::poll(&wait, 1, timeout);
        if (ready > 0)
            return true;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            errno = ETIMEDOUT;
        return false;
    }
}

} // namespace

namespace net {

bool gf_startSockets()
{
    return true;
}

std::int32_t gf_wsaCodeOf(int errnoValue)
{
    for (const ErrnoCode& entry : kErrnoCodes)
        if (entry.errnoValue == errnoValue)
            return entry.code;
    return errnoValue;
}

std::int32_t gf_lastSocketError()
{
    return gf_wsaCodeOf(errno);
}

std::int32_t gf_wsaCodeOfAddrInfo(int eaiCode)
{
    switch (eaiCode) {
    case 0: return 0;
    case EAI_AGAIN: return 11002;      // WSATRY_AGAIN
    case EAI_BADFLAGS: return 10022;   // WSAEINVAL
    case EAI_FAIL: return 11003;       // WSANO_RECOVERY
    case EAI_FAMILY: return 10047;     // WSAEAFNOSUPPORT
    case EAI_MEMORY: return 8;         // WSA_NOT_ENOUGH_MEMORY
    case EAI_NONAME: return 11001;     // WSAHOST_NOT_FOUND
    case EAI_SERVICE: return 10109;    // WSATYPE_NOT_FOUND
    case EAI_SOCKTYPE: return 10044;   // WSAESOCKTNOSUPPORT
    case EAI_SYSTEM: return gf_lastSocketError();
    default: return 11003;
    }
}

int gf_openUdpSocket()
{
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
}

int gf_openTcpSocket()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
}

std::int32_t gf_resolveListenPort(const std::string& service, std::uint16_t& port)
{
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(nullptr, service.c_str(), &hints, &found);
    if (resolved != 0)
        return gf_wsaCodeOfAddrInfo(resolved);
    port = ntohs(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_port);
    ::freeaddrinfo(found);
    return 0;
}

bool gf_bindIpv4(int fd, std::uint32_t address, std::uint16_t port)
{
    const sockaddr_in socketAddress = lf_ipv4(address, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) == 0;
}

bool gf_listen(int fd)
{
    return ::listen(fd, SOMAXCONN) == 0;
}

bool gf_setBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ((flags & O_NONBLOCK) == 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0);
}

bool gf_setReuseAddress(int fd)
{
    return lf_setIntOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
}

bool gf_setNoDelay(int fd)
{
    return lf_setIntOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
}

bool gf_setReceiveBufferSize(int fd, int bytes)
{
    return lf_setIntOption(fd, SOL_SOCKET, SO_RCVBUF, bytes);
}

bool gf_setSendBufferSize(int fd, int bytes)
{
    return lf_setIntOption(fd, SOL_SOCKET, SO_SNDBUF, bytes);
}

std::uint16_t gf_localPort(int fd)
{
    sockaddr_in socketAddress{};
    socklen_t length = sizeof socketAddress;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&socketAddress), &length) != 0 ||
        socketAddress.sin_family != AF_INET)
        return 0;
    return ntohs(socketAddress.sin_port);
}

long gf_receiveDatagram(int fd, char* buffer, std::size_t size)
{
    return static_cast<long>(::recvfrom(fd, buffer, size, 0, nullptr, nullptr));
}

long gf_receiveBytes(int fd, char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t count = ::recv(fd, buffer, size, 0);
        if (count >= 0 || errno != EINTR)
            return static_cast<long>(count);
    }
}

bool gf_waitReadable(int fd, std::chrono::milliseconds timeout)
{
    pollfd wait{fd, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&wait, 1, static_cast<int>(timeout.count()));
        if (ready >= 0 || errno != EINTR)
            return ready == 1;
    }
}

bool gf_sendAll(int fd, std::string_view bytes, std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        limit == kNoTimeLimit ? Clock::time_point::max() : Clock::now() + limit;
    while (!bytes.empty()) {
        // Never blocking in send itself: a full send buffer is waited for in poll, up to the deadline.
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!lf_waitWritable(fd, deadline))
                return false;
            continue;
        }
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

int gf_acceptClient(int listenFd)
{
    for (;;) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

void gf_closeDescriptor(int fd)
{
    if (fd != kInvalidSocket)
        ::close(fd);
}

void gf_wakeBlockedCalls(int fd, bool sendsToo)
{
    // For a UDP socket the call reports "not connected" and still ends a blocked receive.
    ::shutdown(fd, sendsToo ? SHUT_RDWR : SHUT_RD);
}

} // namespace net
