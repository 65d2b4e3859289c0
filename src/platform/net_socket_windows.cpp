#include "platform/net_socket.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

// Every socket of this layer is worked through events (WSAEventSelect), which makes it
// non-blocking: a call that would block waits on the socket's event and on its wake event.
// The wake event, once set by gf_wakeBlockedCalls, stays set, so that it ends the call that
// blocks now and every later one, also one that had not yet started to wait when it was set.

namespace net {
namespace {

// Winsock 2.2 for the whole process, started by the first socket and stopped at exit.
class Winsock {
public:
    Winsock() : startError_(::WSAStartup(MAKEWORD(2, 2), &data_)) {}
    ~Winsock()
    {
        if (startError_ == 0)
            ::WSACleanup();
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;

    // True when Winsock is up; otherwise the failure is the thread's last socket error.
    bool started() const
    {
        if (startError_ != 0)
            ::WSASetLastError(startError_);
        return startError_ == 0;
    }

private:
    WSADATA data_{};
    int startError_;
};

SOCKET lf_socket(int fd)
{
    return static_cast<SOCKET>(static_cast<std::intptr_t>(fd));
}

int lf_descriptor(SOCKET socket)
{
    return socket == INVALID_SOCKET ? kInvalidSocket : static_cast<int>(static_cast<std::intptr_t>(socket));
}

struct SocketEvents {
    WSAEVENT ready = WSA_INVALID_EVENT; // network events, manual reset
    HANDLE receivesWoken = nullptr;     // manual reset, never reset
    HANDLE sendsWoken = nullptr;        // the same for sends
};

void lf_closeEvents(const SocketEvents& events)
{
    if (events.ready != WSA_INVALID_EVENT)
        ::WSACloseEvent(events.ready);
    for (HANDLE woken : {events.receivesWoken, events.sendsWoken})
        if (woken != nullptr)
            ::CloseHandle(woken);
}

// The events of every open socket of this layer. A socket's entry lives as long as the socket,
// which its users keep open while they call (GuardedSocket's leases).
std::mutex eventsMutex;
std::map<SOCKET, SocketEvents> socketEvents;

// Tests: called by gf_closeDescriptor just after the socket is closed, where another thread may
// open a socket that gets the freed handle value.
std::atomic<void (*)(int)> closedHook{nullptr};

// Watches a new socket; closes it and gives INVALID_SOCKET when that fails.
SOCKET lf_watch(SOCKET socket)
{
    if (socket == INVALID_SOCKET)
        return socket;
    const SocketEvents events{::WSACreateEvent(), ::CreateEventW(nullptr, TRUE, FALSE, nullptr),
                              ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    if (events.ready == WSA_INVALID_EVENT || events.receivesWoken == nullptr || events.sendsWoken == nullptr ||
        ::WSAEventSelect(socket, events.ready, FD_READ | FD_ACCEPT | FD_WRITE | FD_CLOSE) != 0) {
        const int error = ::WSAGetLastError();
        lf_closeEvents(events);
        ::closesocket(socket);
        ::WSASetLastError(error);
        return INVALID_SOCKET;
    }
    std::lock_guard lock(eventsMutex);
    socketEvents[socket] = events;
    return socket;
}

SocketEvents lf_events(int fd)
{
    std::lock_guard lock(eventsMutex);
    const auto found = socketEvents.find(lf_socket(fd));
    return found == socketEvents.end() ? SocketEvents{} : found->second;
}

// The wait of WaitForMultipleObjects until the deadline (a deadline of max: none).
DWORD lf_waitTime(std::chrono::steady_clock::time_point deadline)
{
    if (deadline == std::chrono::steady_clock::time_point::max())
        return INFINITE;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, INFINITE - 1));
}

// Runs `call` (one non-blocking socket call, its result negative on failure) until it does
// not report WSAEWOULDBLOCK; in between waits for the socket's events. False when the socket
// was woken (the last error is then WSAEINTR), when the deadline passed (WSAETIMEDOUT) or when
// it cannot be waited on.
// One event serves sends and receives, and each call resets it: a call in the other direction
// at the same time could take away the event this one waits for. No socket is used so today:
// the traffic readers only receive, the listener only accepts, and the RealTraffic client's
// sends and receives all come one after the other from the work thread. Only the exit's closing
// "exit" may meet a work thread that did not end in time, and the exit has woken its receives
// before (gf_wakeRealTrafficLink): a woken receive never waits on the event.
template <typename Call>
bool lf_untilDone(int fd, bool isSend, Call call, int& result,
                  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max())
{
    const SocketEvents events = lf_events(fd);
    const HANDLE woken = isSend ? events.sendsWoken : events.receivesWoken;
    for (;;) {
        if (woken != nullptr && ::WaitForSingleObject(woken, 0) == WAIT_OBJECT_0)
            break;
        // Reset before the call: whatever happens after it sets the event again.
        if (events.ready != WSA_INVALID_EVENT)
            ::WSAResetEvent(events.ready);
        result = call();
        if (result >= 0 || ::WSAGetLastError() != WSAEWOULDBLOCK)
            return true;
        if (events.ready == WSA_INVALID_EVENT)
            return false;
        const HANDLE handles[2] = {woken, events.ready};
        const DWORD waited = ::WaitForMultipleObjects(2, handles, FALSE, lf_waitTime(deadline));
        if (waited == WAIT_TIMEOUT) {
            ::WSASetLastError(WSAETIMEDOUT);
            return false;
        }
        if (waited == WAIT_OBJECT_0)
            break;
    }
    ::WSASetLastError(WSAEINTR);
    return false;
}

int lf_open(int type, int protocol)
{
    if (!gf_startSockets())
        return kInvalidSocket;
    return lf_descriptor(
        lf_watch(::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT)));
}

bool lf_setIntOption(int fd, int level, int name, int value)
{
    return ::setsockopt(lf_socket(fd), level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

} // namespace

bool gf_startSockets()
{
    static const Winsock winsock;
    return winsock.started();
}

std::int32_t gf_wsaCodeOf(int errnoValue)
{
    return errnoValue;
}

std::int32_t gf_lastSocketError()
{
    return ::WSAGetLastError();
}

std::int32_t gf_wsaCodeOfAddrInfo(int eaiCode)
{
    return eaiCode; // the EAI_ values of Winsock are its WSA codes
}

int gf_openUdpSocket()
{
    return lf_open(SOCK_DGRAM, IPPROTO_UDP);
}

int gf_openTcpSocket()
{
    return lf_open(SOCK_STREAM, IPPROTO_TCP);
}

std::int32_t gf_resolveListenPort(const std::string& service, std::uint16_t& port)
{
    if (!gf_startSockets())
        return gf_lastSocketError();
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(nullptr, service.c_str(), &hints, &found);
    if (resolved != 0)
        return resolved;
    port = ntohs(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_port);
    ::freeaddrinfo(found);
    return 0;
}

bool gf_bindIpv4(int fd, std::uint32_t address, std::uint16_t port)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address);
    socketAddress.sin_port = htons(port);
    return ::bind(lf_socket(fd), reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress) == 0;
}

bool gf_listen(int fd)
{
    return ::listen(lf_socket(fd), SOMAXCONN) == 0;
}

bool gf_setBlocking(int fd)
{
    int type = 0;
    int size = sizeof type;
    return ::getsockopt(lf_socket(fd), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size) == 0;
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
    int length = sizeof socketAddress;
    if (::getsockname(lf_socket(fd), reinterpret_cast<sockaddr*>(&socketAddress), &length) != 0 ||
        socketAddress.sin_family != AF_INET)
        return 0;
    return ntohs(socketAddress.sin_port);
}

// A receive that was woken reads as the end of the data, as a shut-down socket's does.
long gf_receiveDatagram(int fd, char* buffer, std::size_t size)
{
    int count = 0;
    const bool done = lf_untilDone(
        fd, false, [&] { return ::recvfrom(lf_socket(fd), buffer, static_cast<int>(size), 0, nullptr, nullptr); }, count);
    // Winsock fills the buffer with the start of a longer datagram and reports the rest lost.
    if (done && count == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE)
        return static_cast<long>(size);
    return done ? count : 0;
}

long gf_receiveBytes(int fd, char* buffer, std::size_t size)
{
    int count = 0;
    const bool done =
        lf_untilDone(fd, false, [&] { return ::recv(lf_socket(fd), buffer, static_cast<int>(size), 0); }, count);
    return done ? count : 0;
}

bool gf_waitReadable(int fd, std::chrono::milliseconds timeout)
{
    WSAPOLLFD wait{lf_socket(fd), POLLRDNORM, 0};
    return ::WSAPoll(&wait, 1, static_cast<INT>(timeout.count())) == 1;
}

bool gf_sendAll(int fd, std::string_view bytes, std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        limit == kNoTimeLimit ? Clock::time_point::max() : Clock::now() + limit;
    while (!bytes.empty()) {
        int sent = 0;
        if (!lf_untilDone(
                fd, true, [&] { return ::send(lf_socket(fd), bytes.data(), static_cast<int>(bytes.size()), 0); }, sent,
                deadline) ||
            sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

int gf_acceptClient(int listenFd)
{
    int client = kInvalidSocket;
    const bool done = lf_untilDone(
        listenFd, false, [&] { return lf_descriptor(::accept(lf_socket(listenFd), nullptr, nullptr)); }, client);
    if (!done || client == kInvalidSocket)
        return kInvalidSocket;
    // An accepted socket takes over the listener's event selection: it gets events of its own.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(lf_socket(client)), HANDLE_FLAG_INHERIT, 0);
    return lf_descriptor(lf_watch(lf_socket(client)));
}

void gf_closeDescriptor(int fd)
{
    if (fd == kInvalidSocket)
        return;
    // The entry goes before the socket: once closed, its handle value may be given to a socket
    // opened meanwhile, whose own entry must not be taken.
    SocketEvents events;
    bool watched = false;
    {
        std::lock_guard lock(eventsMutex);
        const auto found = socketEvents.find(lf_socket(fd));
        if (found != socketEvents.end()) {
            events = found->second;
            socketEvents.erase(found);
            watched = true;
        }
    }
    ::closesocket(lf_socket(fd));
    if (void (*hook)(int) = closedHook.load())
        hook(fd);
    if (watched)
        lf_closeEvents(events);
}

void setSocketClosedHookForTest(void (*hook)(int fd))
{
    closedHook.store(hook);
}

void gf_wakeBlockedCalls(int fd, bool sendsToo)
{
    ::shutdown(lf_socket(fd), sendsToo ? SD_BOTH : SD_RECEIVE);
    const SocketEvents events = lf_events(fd);
    if (events.receivesWoken != nullptr)
        ::SetEvent(events.receivesWoken);
    if (sendsToo && events.sendsWoken != nullptr)
        ::SetEvent(events.sendsWoken);
}

} // namespace net
