// The simulator's stream on Windows against the system's own named pipes and Winsock: overlapped
// reads and writes that finish later, the peer's close, a pipe that is not there.

#include "platform/net_socket.h"
#include "platform/stream_connection.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <windows.h>

namespace {

using platform::StreamConnection;
using platform::StreamIo;

constexpr std::chrono::milliseconds kLimit{5000};

std::string pipeName()
{
    return "\\\\.\\pipe\\orvanta-stream-test-" + std::to_string(::GetCurrentProcessId());
}

// A byte-mode pipe server of one instance, opened before the client connects.
HANDLE makePipeServer(const std::string& name)
{
    const std::wstring wide(name.begin(), name.end());
    return ::CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                              4096, 4096, 0, nullptr);
}

// Reads until the stream has something to say, sleeping in wait() between pending reads.
StreamIo readSome(StreamConnection& stream, std::string& text)
{
    char buffer[256];
    const std::span<std::uint8_t> space(reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    for (;;) {
        const StreamIo io = stream.read(space);
        if (io.state != StreamIo::State::Pending) {
            if (io.state == StreamIo::State::Done)
                text.assign(buffer, io.count);
            return io;
        }
        stream.wait(false);
    }
}

StreamIo writeAll(StreamConnection& stream, const std::string& text)
{
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    for (;;) {
        const StreamIo io = stream.write(bytes);
        if (io.state != StreamIo::State::Pending)
            return io;
        stream.wait(true);
    }
}

TEST(StreamConnectionWindows, PipeCarriesBothWaysAndReportsTheServersClose)
{
    const std::string name = pipeName();
    const HANDLE server = makePipeServer(name);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    std::unique_ptr<StreamConnection> stream = StreamConnection::openPipe(name, kLimit);
    ASSERT_TRUE(stream);
    ::ConnectNamedPipe(server, nullptr); // the client is there already: ERROR_PIPE_CONNECTED

    // A read started before the server writes stays pending and ends when the bytes come.
    char buffer[16];
    const std::span<std::uint8_t> space(reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    EXPECT_EQ(stream->read(space).state, StreamIo::State::Pending);
    DWORD count = 0;
    ASSERT_TRUE(::WriteFile(server, "world", 5, &count, nullptr));
    StreamIo io{StreamIo::State::Pending};
    while ((io = stream->read(space)).state == StreamIo::State::Pending)
        stream->wait(false);
    ASSERT_EQ(io.state, StreamIo::State::Done);
    EXPECT_EQ(std::string(buffer, io.count), "world");

    ASSERT_EQ(writeAll(*stream, "hello").state, StreamIo::State::Done);
    char received[8] = {};
    ASSERT_TRUE(::ReadFile(server, received, sizeof received, &count, nullptr));
    EXPECT_EQ(std::string(received, count), "hello");

    ::CloseHandle(server);
    std::string text;
    io = readSome(*stream, text);
    EXPECT_EQ(io.state, StreamIo::State::Failed);
    EXPECT_EQ(io.failure, platform::StreamFailure::PipeBroken);
    EXPECT_EQ(io.osError, static_cast<std::uint32_t>(ERROR_BROKEN_PIPE));
    EXPECT_FALSE(stream->setNoDelay()) << "a pipe has no Nagle delay";
}

TEST(StreamConnectionWindows, MissingPipeAndClosedPortAreNotReached)
{
    EXPECT_FALSE(StreamConnection::openPipe(pipeName() + "-missing", kLimit));
    const int listener = net::gf_openTcpSocket();
    ASSERT_TRUE(net::gf_bindIpv4(listener, net::kLoopback, 0));
    const std::string port = std::to_string(net::gf_localPort(listener));
    net::gf_closeDescriptor(listener); // bound, never listening, now closed: nobody answers
    EXPECT_FALSE(StreamConnection::openTcp(false, "127.0.0.1", port, kLimit));
}

TEST(StreamConnectionWindows, TcpCarriesBothWaysAndReportsTheServersClose)
{
    const int listener = net::gf_openTcpSocket();
    ASSERT_TRUE(net::gf_bindIpv4(listener, net::kLoopback, 0) && net::gf_listen(listener));
    std::unique_ptr<StreamConnection> stream =
        StreamConnection::openTcp(false, "127.0.0.1", std::to_string(net::gf_localPort(listener)), kLimit);
    ASSERT_TRUE(stream);
    EXPECT_TRUE(stream->setNoDelay());
    const int server = net::gf_acceptClient(listener);
    ASSERT_NE(server, net::kInvalidSocket);

    ASSERT_EQ(writeAll(*stream, "hello").state, StreamIo::State::Done);
    char received[8] = {};
    EXPECT_EQ(net::gf_receiveBytes(server, received, sizeof received), 5);
    ASSERT_TRUE(net::gf_sendAll(server, "world"));
    std::string text;
    ASSERT_EQ(readSome(*stream, text).state, StreamIo::State::Done);
    EXPECT_EQ(text, "world");

    net::gf_closeDescriptor(server);
    EXPECT_EQ(readSome(*stream, text).state, StreamIo::State::Closed);
    net::gf_closeDescriptor(listener);
}

TEST(StreamConnectionWindows, WakeEndsAWaitFromAnotherThread)
{
    const std::string name = pipeName() + "-wake";
    const HANDLE server = makePipeServer(name);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    std::unique_ptr<StreamConnection> stream = StreamConnection::openPipe(name, kLimit);
    ASSERT_TRUE(stream);
    char buffer[16];
    ASSERT_EQ(stream->read(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer)).state,
              StreamIo::State::Pending);
    std::thread waker([&] { stream->wake(); });
    stream->wait(false); // returns only through the wake: the server never writes
    waker.join();
    stream->close(); // cancels the pending read before its buffer goes
    ::CloseHandle(server);
}

} // namespace
