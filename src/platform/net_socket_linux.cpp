#include "platform/net_socket.h"

#include <fmt/format.h>

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

struct CodeText {
    std::int32_t code;
    const char* text;
};

// The texts the program shows for Winsock codes, in code order.
constexpr CodeText kWsaTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open sockets"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Messenger too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Net connection reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send numLines socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network system is unavailable"},
    {10092, "Winsock version out of range"},
    {10093, "WSAStartup not yet called"},
    {10101, "Graceful shutdown in progress"},
    {11001, "Host not found"},
    {11004, "No host data of that type was found"},
};

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

} // namespace

std::string gf_wsaErrorText(std::int32_t code)
{
    for (const CodeText& entry : kWsaTexts)
        if (entry.code == code)
            return fmt::format("{} {}", code, entry.text);
    return fmt::format("{} Unknown errror code", code);
}

namespace net {

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

int gf_openSocket(int family, int type, int protocol)
{
    return ::socket(family, type | SOCK_CLOEXEC, protocol);
}

bool gf_bindIpv4(int fd, std::uint32_t address, std::uint16_t port)
{
    const sockaddr_in socketAddress = lf_ipv4(address, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) == 0;
}

bool gf_setBlocking(int fd, bool blocking)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return wanted == flags || ::fcntl(fd, F_SETFL, wanted) == 0;
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

bool gf_sendAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
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

// ---- GuardedSocket ----

GuardedSocket::Lease::Lease(Lease&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)), fd_(std::exchange(other.fd_, kInvalidSocket))
{
}

GuardedSocket::Lease& GuardedSocket::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        release();
        owner_ = std::exchange(other.owner_, nullptr);
        fd_ = std::exchange(other.fd_, kInvalidSocket);
    }
    return *this;
}

GuardedSocket::Lease::~Lease()
{
    release();
}

void GuardedSocket::Lease::release()
{
    if (owner_ != nullptr)
        owner_->giveBack();
    owner_ = nullptr;
    fd_ = kInvalidSocket;
}

GuardedSocket::~GuardedSocket()
{
    std::lock_guard lock(mutex_);
    closing_ = true;
    if (fd_ != kInvalidSocket)
        ::close(fd_);
    fd_ = kInvalidSocket;
}

bool GuardedSocket::adopt(int fd)
{
    std::lock_guard lock(mutex_);
    if (fd_ != kInvalidSocket && users_ > 0) {
        // The previous descriptor is still lent out: it stays, the new one goes.
        ::close(fd);
        return false;
    }
    if (fd_ != kInvalidSocket)
        closeLocked();
    fd_ = fd;
    users_ = 0;
    closing_ = false;
    return true;
}

GuardedSocket::Lease GuardedSocket::lease()
{
    std::lock_guard lock(mutex_);
    if (fd_ == kInvalidSocket || closing_)
        return {};
    ++users_;
    return Lease(this, fd_);
}

void GuardedSocket::close()
{
    std::lock_guard lock(mutex_);
    if (fd_ == kInvalidSocket || closing_)
        return;
    closing_ = true;
    // Wakes whoever blocks on it now; for a UDP socket the call reports "not connected" and
    // still ends a blocked receive.
    ::shutdown(fd_, SHUT_RDWR);
    if (users_ == 0)
        closeLocked();
}

void GuardedSocket::shutDownReceive()
{
    std::lock_guard lock(mutex_);
    if (fd_ != kInvalidSocket && !closing_)
        ::shutdown(fd_, SHUT_RD);
}

bool GuardedSocket::isOpen() const
{
    std::lock_guard lock(mutex_);
    return fd_ != kInvalidSocket && !closing_;
}

void GuardedSocket::giveBack()
{
    std::lock_guard lock(mutex_);
    if (--users_ == 0 && closing_)
        closeLocked();
}

void GuardedSocket::closeLocked()
{
    ::close(fd_);
    fd_ = kInvalidSocket;
    users_ = 0;
    closing_ = false;
}

} // namespace net
