#pragma once
// The few socket operations fakert needs: an owned socket, IPv4 addresses, UDP datagrams and a
// TCP connection that a stop event can interrupt. BSD sockets in sockets_linux.cpp, Winsock 2.2
// in sockets_windows.cpp; what both share is in sockets.cpp.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace fakert {

// A socket of the system: a descriptor on Linux, a SOCKET handle on Windows (whose values fit
// an intptr_t, INVALID_SOCKET being -1).
using NativeSocket = std::intptr_t;
inline constexpr NativeSocket kNoSocket = -1;

class OwnedSocket {
public:
    OwnedSocket() = default;
    explicit OwnedSocket(NativeSocket socket) : socket_(socket) {}
    ~OwnedSocket();
    OwnedSocket(OwnedSocket&& other) noexcept;
    OwnedSocket& operator=(OwnedSocket&& other) noexcept;
    OwnedSocket(const OwnedSocket&) = delete;
    OwnedSocket& operator=(const OwnedSocket&) = delete;

    NativeSocket get() const { return socket_; }
    bool valid() const { return socket_ != kNoSocket; }
    void reset();

private:
    NativeSocket socket_ = kNoSocket;
};

// Closes a socket of the system (close or closesocket).
void gf_closeSocket(NativeSocket socket);

// An event that wakes every thread waiting on it once it is set; it stays set. It is something
// the waits below watch beside their socket: an eventfd on Linux, a UDP socket of 127.0.0.1 that
// is sent a datagram of its own on Windows (select takes sockets only).
class StopEvent {
public:
    StopEvent();
    void set();
    NativeSocket readable() const { return handle_.get(); } // readable once set

private:
    OwnedSocket handle_;
};

struct Ipv4Address {
    std::uint32_t host = 0; // host order
    std::uint16_t port = 0;
};

// The IPv4 address of a host name or dotted address; throws std::runtime_error when unknown.
Ipv4Address gf_resolveIpv4(const std::string& host, std::uint16_t port);

// Caps the socket's receive buffer at about `bytes` (the system may round it): a peer that
// stops reading then fills it soon.
bool gf_limitReceiveBuffer(const OwnedSocket& socket, int bytes);
// A UDP socket that may also send to a broadcast address; throws std::runtime_error.
OwnedSocket gf_udpSocket();

bool gf_sendDatagram(const OwnedSocket& socket, const Ipv4Address& to, std::string_view bytes);

// A blocking TCP connection to `to`; invalid when refused, timed out, or when `stop` was set.
OwnedSocket gf_connectTcp(const Ipv4Address& to, const StopEvent& stop, std::chrono::milliseconds timeout);

// Sends every byte (a short send is continued); false on an error or a closed peer.
bool gf_sendAll(const OwnedSocket& socket, std::string_view bytes);

// One receive of a blocking socket: the byte count, 0 when the peer closed, -1 on an error.
// A call interrupted by a signal is resumed.
long gf_receive(const OwnedSocket& socket, char* buffer, std::size_t size);

inline constexpr std::chrono::milliseconds kWaitForever = std::chrono::milliseconds::max();

// Waits until `socket` is readable or `stop` is set or the timeout passed; true when the socket
// is readable.
bool gf_waitReadable(const OwnedSocket& socket, const StopEvent& stop,
                     std::chrono::milliseconds timeout = kWaitForever);

// Waits for `stop` up to `timeout`; true when it was set.
bool gf_waitStop(const StopEvent& stop, std::chrono::milliseconds timeout);

} // namespace fakert
