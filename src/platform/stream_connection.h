#pragma once
// A connected byte stream to a server on this machine, a named pipe or a TCP socket, worked by
// one I/O thread that never blocks on the peer: reads and writes either finish at once or are
// pending, and wait() sleeps until one of them may go on or another thread calls wake().
//
// Windows: the pipe is opened with CreateFileW and FILE_FLAG_OVERLAPPED (waiting with
// WaitNamedPipeW while it is busy), the socket is a Winsock overlapped socket; reads and writes
// are overlapped ReadFile/WriteFile or WSARecv/WSASend, one of each at a time, and wait() is
// WaitForMultipleObjects on their events and the wake event (stream_connection_windows.cpp).
// Linux: the pipe is the Unix-domain socket at pipeSocketPath (local_socket.h); both kinds are
// non-blocking descriptors, and wait() is poll with an eventfd for wake()
// (stream_connection_linux.cpp).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

// Why a stream failed, in the terms the SimConnect client reports.
enum class StreamFailure {
    None,
    Reset,        // the peer reset the connection
    PipeBroken,   // the peer's end is gone (a broken pipe, a send into a closed connection)
    Disconnected, // the connection was aborted
    Cancelled,    // the I/O was cancelled
    Other,
};

struct StreamIo {
    enum class State {
        Done,    // `count` bytes were read or written
        Pending, // nothing yet: call again with the same buffer, which stays in use until then
        Closed,  // the peer closed its end in order (reads only)
        Failed,
    };
    State state = State::Done;
    std::size_t count = 0;
    StreamFailure failure = StreamFailure::None;
    std::uint32_t osError = 0; // the Winsock or system error code of a failure
};

class StreamConnection {
public:
    ~StreamConnection();
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    // Connects to the pipe "\\.\pipe\<name>" (a pipe that stays busy is waited for up to
    // `limit`); null when it cannot be reached.
    static std::unique_ptr<StreamConnection> openPipe(const std::string& pipeName, std::chrono::milliseconds limit);
    // Connects over TCP to address and port (a name or a number) in the family IPv6 or IPv4;
    // null when it cannot be reached within `limit`.
    static std::unique_ptr<StreamConnection> openTcp(bool ipv6, const std::string& address, const std::string& port,
                                                     std::chrono::milliseconds limit);

    // Turns off the Nagle delay of a TCP socket; false on a pipe or a failure.
    bool setNoDelay();
    // I/O thread: one read into `space` / one write of `bytes` (a short write is Done with its
    // count). While a call is Pending the next call of its kind must pass the same buffer.
    StreamIo read(std::span<std::uint8_t> space);
    StreamIo write(std::span<const std::uint8_t> bytes);
    // I/O thread: sleeps until a read, or with `writePending` a write, may go on, or wake().
    void wait(bool writePending);
    // Any thread: ends the current or the next wait().
    void wake();
    // Shuts the connection down and closes it, after its pending I/O has been cancelled and
    // has ended; later reads and writes fail. wake() stays usable until the object goes.
    void close();

    struct State; // one per system

private:
    explicit StreamConnection(std::unique_ptr<State> state);

    std::unique_ptr<State> state_;
};

} // namespace platform
