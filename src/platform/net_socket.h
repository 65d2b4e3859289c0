#pragma once
// The program's socket layer over BSD sockets, standing in for Winsock.
//
// Errors are reported with the Winsock codes that the program's messages show (EADDRINUSE is
// 10048 "Address already in use"), so that a text reads the same on every platform.
//
// Sockets that one thread blocks on while another thread ends them are held in a GuardedSocket:
// the blocked thread works on a lease of the descriptor, and the ending thread only shuts the
// socket down, which wakes a blocked recvfrom, recv or accept. The descriptor itself is closed
// by whoever lets go of it last, so that no thread ever calls into a descriptor number that was
// closed under it and may already name another file.

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

// The Winsock code of an errno value; values without a Winsock counterpart are returned as they are.
std::int32_t gf_wsaCodeOf(int errnoValue);
// gf_wsaCodeOf(errno), for the call that just failed.
std::int32_t gf_lastSocketError();
// The Winsock code of a getaddrinfo result (EAI_SERVICE is 10109, EAI_NONAME 11001 ...).
std::int32_t gf_wsaCodeOfAddrInfo(int eaiCode);

// Thin wrappers: -1 or false on failure, with errno set for gf_lastSocketError.
int gf_openSocket(int family, int type, int protocol); // close-on-exec
bool gf_bindIpv4(int fd, std::uint32_t address, std::uint16_t port);
bool gf_setBlocking(int fd, bool blocking);
bool gf_setReuseAddress(int fd);
bool gf_setNoDelay(int fd);
// Asks for a receive buffer of `bytes`; the system may grant less (Linux: net.core.rmem_max).
bool gf_setReceiveBufferSize(int fd, int bytes);
std::uint16_t gf_localPort(int fd); // 0 when unknown
// One datagram into buffer; the byte count, or -1. A datagram longer than the buffer is cut to it.
long gf_receiveDatagram(int fd, char* buffer, std::size_t size);
// One recv; the byte count, 0 when the peer closed, -1 on an error. Interrupted calls are resumed.
long gf_receiveBytes(int fd, char* buffer, std::size_t size);
// True when a receive on the socket would not block (data, its end, or an error) within the timeout.
bool gf_waitReadable(int fd, std::chrono::milliseconds timeout);
// Sends every byte (a short send is continued); never raises SIGPIPE. False on an error.
bool gf_sendAll(int fd, std::string_view bytes);
// A blocking accept; the new descriptor (close-on-exec) or -1. Interrupted calls are resumed.
int gf_acceptClient(int listenFd);
void gf_closeDescriptor(int fd);

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
    // go out until the socket is closed.
    void shutDownReceive();
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
