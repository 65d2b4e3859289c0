#pragma once
// The few socket operations fakert needs: an owned descriptor, IPv4 addresses, UDP datagrams and
// a TCP connection that a stop event can interrupt.

#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <string_view>

namespace fakert {

class SocketFd {
public:
    SocketFd() = default;
    explicit SocketFd(int fd) : fd_(fd) {}
    ~SocketFd();
    SocketFd(SocketFd&& other) noexcept;
    SocketFd& operator=(SocketFd&& other) noexcept;
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset();

private:
    int fd_ = -1;
};

// An event that wakes every thread waiting on its descriptor (poll) once it is set; it stays set.
class StopEvent {
public:
    StopEvent();
    void set();
    int fd() const { return fd_.get(); }

private:
    SocketFd fd_;
};

// The IPv4 address of a host name or dotted address; throws std::runtime_error when unknown.
sockaddr_in gf_resolveIpv4(const std::string& host, std::uint16_t port);

// A UDP socket that may also send to a broadcast address; throws std::runtime_error.
SocketFd gf_udpSocket();

bool gf_sendDatagram(const SocketFd& socket, const sockaddr_in& to, std::string_view bytes);

// A blocking TCP connection to `to`; invalid when refused, timed out, or when `stop` was set.
SocketFd gf_connectTcp(const sockaddr_in& to, const StopEvent& stop, std::chrono::milliseconds timeout);

// Sends every byte (a short send is continued); false on an error or a closed peer.
bool gf_sendAll(const SocketFd& socket, std::string_view bytes);

// Waits until `socket` is readable or `stop` is set; true when the socket is readable.
bool gf_waitReadable(const SocketFd& socket, const StopEvent& stop);

// Waits for `stop` up to `timeout`; true when it was set.
bool gf_waitStop(const StopEvent& stop, std::chrono::milliseconds timeout);

} // namespace fakert
