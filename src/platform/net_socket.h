#pragma once
// The program's socket layer: Winsock 2.2 on Windows (net_socket_windows.cpp), BSD sockets on
// Linux (net_socket_linux.cpp).
//
// Errors are reported with the Winsock codes that the program's messages show (10048 "Address
// already in use"): Winsock's own on Windows, Linux errno values mapped to them on Linux, so
// that a text reads the same on every platform.
//
// A socket is named by an int on both systems: a Winsock SOCKET is a kernel handle, whose value
// fits 32 bits on 64-bit Windows too.
//
// Sockets that one thread blocks on while another thread ends them are held in a GuardedSocket:
// the blocked thread works on a lease of the descriptor, and the ending thread only wakes the
// calls on it (gf_wakeBlockedCalls), which ends a blocked recvfrom, recv or accept and fails
// every later one. The descriptor itself is closed by whoever lets go of it last, so that no
// thread ever calls into a descriptor number that was closed under it and may already name
// another socket.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// The Winsock message of a code: "{code} {text}"; "{code} Unknown errror code" for codes
// without a text.
std::string gf_wsaErrorText(std::int32_t code);

namespace net {

inline constexpr int kInvalidSocket = -1;
inline constexpr std::uint32_t kLoopback = 0x7F000001; // 127.0.0.1, host order
inline constexpr std::uint32_t kAnyAddress = 0;        // INADDR_ANY

// Winsock codes that the program reports for failures of its own making.
inline constexpr std::int32_t kErrorBadSocket = 10009;        // WSAEBADF
inline constexpr std::int32_t kErrorInvalidArgument = 10022;  // WSAEINVAL
inline constexpr std::int32_t kErrorAlreadyInProgress = 10037; // WSAEALREADY
inline constexpr std::int32_t kErrorNotSocket = 10038;        // WSAENOTSOCK

// Starts the system's sockets for the process, once (Winsock 2.2; nothing to start on Linux).
// False, with the code for gf_lastSocketError, when they cannot be started.
bool gf_startSockets();

// Linux: the Winsock code of an errno value; values without a Winsock counterpart are returned
// as they are. Windows: socket calls report Winsock codes themselves; the value is returned.
std::int32_t gf_wsaCodeOf(int errnoValue);
// The Winsock code of the socket call of this thread that just failed.
std::int32_t gf_lastSocketError();
// The Winsock code of a getaddrinfo result (EAI_SERVICE is 10109, EAI_NONAME 11001 ...).
std::int32_t gf_wsaCodeOfAddrInfo(int eaiCode);

// Thin wrappers: -1 or false on failure, with the code kept for gf_lastSocketError. Sockets are
// not inherited by child processes. Each starts the system's sockets first.
int gf_openUdpSocket();
int gf_openTcpSocket();
// The IPv4 port of a service name or number for a listening socket (getaddrinfo, passive):
// 0 and the port, or the Winsock code of the failure.
std::int32_t gf_resolveListenPort(const std::string& service, std::uint16_t& port);
bool gf_bindIpv4(int fd, std::uint32_t address, std::uint16_t port);
bool gf_listen(int fd);
// The calls below then block until done, failed or woken (gf_wakeBlockedCalls). Windows sockets
// of this layer always are (their calls wait on the socket's events and its wake event), and
// the call only checks the socket.
bool gf_setBlocking(int fd);
bool gf_setReuseAddress(int fd);
bool gf_setNoDelay(int fd);
// Asks for a receive buffer of `bytes`; the system may grant less (Linux: net.core.rmem_max).
bool gf_setReceiveBufferSize(int fd, int bytes);
bool gf_setSendBufferSize(int fd, int bytes);
std::uint16_t gf_localPort(int fd); // 0 when unknown
// One datagram into buffer; the byte count, or -1. A datagram longer than the buffer is cut to it.
long gf_receiveDatagram(int fd, char* buffer, std::size_t size);
// One recv; the byte count, 0 when the peer closed, -1 on an error. Interrupted calls are resumed.
long gf_receiveBytes(int fd, char* buffer, std::size_t size);
// True when a receive on the socket would not block (data, its end, or an error) within the timeout.
bool gf_waitReadable(int fd, std::chrono::milliseconds timeout);
inline constexpr std::chrono::milliseconds kNoTimeLimit = std::chrono::milliseconds::max();
// Sends every byte (a short send is continued); never raises SIGPIPE. False on an error, and
// false with the code 10060 (WSAETIMEDOUT) when the peer has not taken every byte within `limit`.
bool gf_sendAll(int fd, std::string_view bytes, std::chrono::milliseconds limit = kNoTimeLimit);
// A blocking accept; the new descriptor (close-on-exec) or -1. Interrupted calls are resumed.
int gf_acceptClient(int listenFd);
void gf_closeDescriptor(int fd);
// Ends a recvfrom, recv or accept blocked on the socket in another thread, and makes later
// receives fail; with `sendsToo` sends fail as well. Never closes the descriptor.
void gf_wakeBlockedCalls(int fd, bool sendsToo);

class GuardedSocket {
public:
    // A descriptor lent to one call or loop; the socket is not closed while a lease holds it.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease();

        int fd() const { return fd_; }
        explicit operator bool() const { return fd_ != kInvalidSocket; }
        void release();

    private:
        friend class GuardedSocket;
        Lease(GuardedSocket* owner, int fd) : owner_(owner), fd_(fd) {}
        GuardedSocket* owner_ = nullptr;
        int fd_ = kInvalidSocket;
    };

    GuardedSocket() = default;
    ~GuardedSocket(); // closes what it still holds; no lease may outlive it
    GuardedSocket(const GuardedSocket&) = delete;
    GuardedSocket& operator=(const GuardedSocket&) = delete;

    // Takes a fresh descriptor, closing an unused previous one. While the previous one is still
    // lent out, the new one is closed at once and false is returned.
    bool adopt(int fd);
    // An empty lease once the socket is closed or being closed.
    Lease lease();
    // Any thread: shuts the socket down, which returns blocked calls on it at once, and closes
    // the descriptor now or, while leases hold it, when the last one is given back.
    void close();
    // Any thread: shuts the receive side down, which returns a blocked recv at once; sends still
    // go out until the socket is closed, unless `sendsToo` shuts them down as well (which returns
    // a blocked send at once).
    void shutDown(bool sendsToo);
    bool isOpen() const; // holds a descriptor that is not being closed

private:
    void giveBack();
    void closeLocked(); // mutex_ held

    // Guards the three fields; a leaf lock, never held while calling out or blocking.
    mutable std::mutex mutex_;
    int fd_ = kInvalidSocket;
    int users_ = 0;
    bool closing_ = false;
};

} // namespace net
