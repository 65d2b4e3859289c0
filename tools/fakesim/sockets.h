#pragma once
// The stand-in's sockets: all that differs between the systems, behind one small interface, so
// that the server loop is the same everywhere.
//
// Linux (sockets_linux.cpp): BSD sockets, poll, an eventfd for wake-ups, and a Unix-domain
// socket that stands in for the simulator's named pipe.
// Windows (sockets_windows.cpp, pipe_endpoint_windows.cpp): Winsock 2.2, WSAPoll, a loopback
// datagram socket for wake-ups, and the real named pipe, each of whose clients is relayed by a
// thread of its own into a loopback TCP connection that the server loop treats like any other.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace fakesim::net {

// A socket descriptor on Linux, a SOCKET on Windows (whose INVALID_SOCKET is -1 here too).
using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

// Before any other call: WSAStartup on Windows. Safe to call again.
void startSockets();
// For the fakesim program: a write to a reader that has gone fails instead of ending the
// process, and standard output carries the same bytes on both systems ("\n" line ends).
void prepareProgram();

// A non-blocking listening TCP socket on 127.0.0.1 (port 0: any free one); sets boundPort.
// Throws std::runtime_error.
Socket listenTcp(std::uint16_t port, std::uint16_t& boundPort);
// One client waiting on a listener, non-blocking itself; kNoSocket when none waits.
Socket acceptClient(Socket listener);
void setNoDelay(Socket socket);
// Shuts the connection down both ways and closes it.
void closeSocket(Socket socket);

struct Transfer {
    enum class State { Done, WouldBlock, Closed, Failed };
    State state = State::Done;
    std::size_t count = 0;
    std::string error;  // Failed: the system's text
};
// One non-blocking receive or send; Closed is the peer's orderly end of a receive.
Transfer receiveSome(Socket socket, std::span<std::uint8_t> space);
Transfer sendSome(Socket socket, std::span<const std::uint8_t> bytes);

struct Watch {
    Socket socket = kNoSocket;
    bool wantWrite = false;
    bool ready = false;  // set by waitForSockets: readable, writable when wanted, closed or failed
};
// Sleeps until one of the sockets is ready or the timeout passes.
void waitForSockets(std::vector<Watch>& watches, std::chrono::milliseconds timeout);

// Wakes the thread that waits on socket() from any thread, also from a signal handler.
class Waker {
public:
    Waker();  // throws std::runtime_error
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    Socket socket() const { return socket_; }
    void wake() const noexcept;
    // Takes back every wake-up so far.
    void drain() const noexcept;

private:
    Socket socket_ = kNoSocket;
};

// The local endpoint that stands for the simulator's named pipe: on Linux a Unix-domain socket
// at a path (one left there by an earlier run is replaced, any other file is not touched), on
// Windows the named pipe of that name ("\\.\pipe\Lockheed Martin Prepar3D v5\SimConnect").
class PipeEndpoint {
public:
    // Listens at once; `wake` is called from other threads when clients come without a
    // listener socket to watch. Throws std::runtime_error.
    PipeEndpoint(const std::filesystem::path& name, std::function<void()> wake);
    // Stops listening and removes the socket file; relayed pipe clients get what was sent to
    // them first.
    ~PipeEndpoint();
    PipeEndpoint(const PipeEndpoint&) = delete;
    PipeEndpoint& operator=(const PipeEndpoint&) = delete;

    // The socket to watch for clients, kNoSocket when they are announced by `wake`.
    Socket listener() const;
    // The clients that came since the last call, as connected non-blocking sockets.
    std::vector<Socket> acceptClients();
    // How the trace names a connection of this endpoint: "unix" or "pipe".
    static const char* via();

    struct State;  // one per system

private:
    std::unique_ptr<State> state_;
};

} // namespace fakesim::net
