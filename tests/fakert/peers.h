#pragma once
// The program's side of fakert's sockets, as small as the tests need it: a UDP receiver and a
// one-client TCP server, both on free ports of 127.0.0.1. They are made of the program's own
// socket layer (platform/net_socket.h), which fakert shares no code with: each checks the other.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fakert_test {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

struct Datagram {
    std::string text;
    SteadyClock::time_point received;
};

class UdpSink {
public:
    UdpSink();
    ~UdpSink();
    UdpSink(const UdpSink&) = delete;
    UdpSink& operator=(const UdpSink&) = delete;

    std::uint16_t port() const { return port_; }
    // The next datagram, or none within the timeout.
    std::optional<Datagram> receive(milliseconds timeout);
    // `count` datagrams, fewer when the timeout passes first.
    std::vector<Datagram> receive(std::size_t count, milliseconds timeout);

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

class TinyServer {
public:
    TinyServer(); // bound, not yet listening: connections are refused until listen()
    ~TinyServer();
    TinyServer(const TinyServer&) = delete;
    TinyServer& operator=(const TinyServer&) = delete;

    std::uint16_t port() const { return port_; }
    void listen();
    bool accept(milliseconds timeout);
    void send(const std::string& bytes);
    // The bytes up to and including the next "\r\n", or none within the timeout.
    std::optional<std::string> readLine(milliseconds timeout);
    // True when the client closed its end within the timeout.
    bool waitClosed(milliseconds timeout);
    void closeClient();

private:
    int listenFd_ = -1;
    int clientFd_ = -1;
    std::uint16_t port_ = 0;
    std::string pending_;
};

inline constexpr milliseconds kPatience{10000}; // generous: only a failing test waits this long

} // namespace fakert_test
