#include "platform/stream_connection.h"

#include "platform/net_socket.h"
#include "platform/utf16.h"

#include <algorithm>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace platform {

// One overlapped operation: its record, its manual-reset event, and whether it is under way.
struct Overlapped {
    OVERLAPPED record{};
    HANDLE event = nullptr;
    bool pending = false;
};

struct StreamConnection::State {
    HANDLE handle = INVALID_HANDLE_VALUE; // the pipe, or the socket as a handle
    bool isSocket = false;
    Overlapped reading;
    Overlapped writing;
    HANDLE wakeEvent = nullptr; // auto-reset

    SOCKET socket() const { return reinterpret_cast<SOCKET>(handle); }
    bool open() const { return handle != INVALID_HANDLE_VALUE; }
};

namespace {

std::wstring lf_wide(const std::string& text)
{
    std::uint32_t error = 0;
    std::u16string wide(utf8ToUtf16(text, nullptr, 0, error), u'\0');
    if (!wide.empty())
        wide.resize(utf8ToUtf16(text, wide.data(), wide.size(), error));
    return std::wstring(wide.begin(), wide.end());
}

StreamIo lf_failure(DWORD error)
{
    StreamIo io{StreamIo::State::Failed};
    io.osError = error;
    switch (error) {
    case WSAECONNRESET:
    case ERROR_NETNAME_DELETED: io.failure = StreamFailure::Reset; break;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED: io.failure = StreamFailure::PipeBroken; break;
    case WSAECONNABORTED:
    case ERROR_CONNECTION_ABORTED: io.failure = StreamFailure::Disconnected; break;
    case ERROR_OPERATION_ABORTED: io.failure = StreamFailure::Cancelled; break;
    default: io.failure = StreamFailure::Other; break;
    }
    return io;
}

// The outcome of an operation that was started, at once or once it ends.
StreamIo lf_result(StreamConnection::State& state, Overlapped& operation)
{
    DWORD count = 0;
    DWORD flags = 0;
    const bool done = state.isSocket
                          ? ::WSAGetOverlappedResult(state.socket(), &operation.record, &count, FALSE, &flags) != FALSE
                          : ::GetOverlappedResult(state.handle, &operation.record, &count, FALSE) != FALSE;
    const DWORD error = done ? 0 : (state.isSocket ? static_cast<DWORD>(::WSAGetLastError()) : ::GetLastError());
    if (error == ERROR_IO_INCOMPLETE || error == WSA_IO_INCOMPLETE)
        return {StreamIo::State::Pending};
    operation.pending = false;
    // The rest of a long pipe message comes with the next read.
    if (done || error == ERROR_MORE_DATA)
        return {StreamIo::State::Done, count};
    return lf_failure(error);
}

// Starts an overlapped read or write of `bytes` and gives its outcome.
StreamIo lf_start(StreamConnection::State& state, Overlapped& operation, void* bytes, std::size_t size, bool isRead)
{
    if (!state.open())
        return lf_failure(ERROR_INVALID_HANDLE);
    operation.record = OVERLAPPED{};
    operation.record.hEvent = operation.event;
    const auto length = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    DWORD error = 0;
    if (state.isSocket) {
        WSABUF buffer{length, static_cast<char*>(bytes)};
        DWORD flags = 0;
        const int result = isRead ? ::WSARecv(state.socket(), &buffer, 1, nullptr, &flags, &operation.record, nullptr)
                                  : ::WSASend(state.socket(), &buffer, 1, nullptr, 0, &operation.record, nullptr);
        error = result == 0 ? 0 : static_cast<DWORD>(::WSAGetLastError());
    } else {
        const BOOL result = isRead ? ::ReadFile(state.handle, bytes, length, nullptr, &operation.record)
                                   : ::WriteFile(state.handle, bytes, length, nullptr, &operation.record);
        error = result ? 0 : ::GetLastError();
    }
    if (error != 0 && error != ERROR_IO_PENDING && error != WSA_IO_PENDING && error != ERROR_MORE_DATA)
        return lf_failure(error);
    operation.pending = true;
    return lf_result(state, operation);
}

// Cancels an operation under way and waits for it to end, so that its buffer is free.
void lf_finish(StreamConnection::State& state, Overlapped& operation)
{
    if (operation.pending) {
        ::CancelIoEx(state.handle, &operation.record);
        DWORD count = 0;
        ::GetOverlappedResult(state.handle, &operation.record, &count, TRUE);
        operation.pending = false;
    }
}

std::unique_ptr<StreamConnection::State> lf_state(HANDLE handle, bool isSocket)
{
    auto state = std::make_unique<StreamConnection::State>();
    state->handle = handle;
    state->isSocket = isSocket;
    state->reading.event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state->writing.event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state->wakeEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return state;
}

HANDLE lf_openPipe(const std::wstring& name, std::chrono::milliseconds limit)
{
    for (;;) {
        const HANDLE pipe = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_PIPE_BUSY)
            return pipe;
        // Every instance is taken: wait for one to be free, as often as the pipe is busy.
        if (!::WaitNamedPipeW(name.c_str(), static_cast<DWORD>(limit.count())))
            return INVALID_HANDLE_VALUE;
    }
}

// Connects without blocking and waits up to `limit` for the answer: a listener whose backlog is
// full leaves the request unanswered, and the system would try for many seconds. The socket is
// blocking again afterwards (its reads and writes are overlapped).
bool lf_connectWithLimit(SOCKET socket, const sockaddr* address, int length, std::chrono::milliseconds limit)
{
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0)
        return false;
    if (::connect(socket, address, length) == SOCKET_ERROR) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return false;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        const auto milliseconds = std::max<long long>(limit.count(), 0);
        timeval timeout{static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
        if (::select(0, nullptr, &writable, &failed, &timeout) != 1 || !FD_ISSET(socket, &writable))
            return false;
        int error = 0;
        int size = sizeof(error);
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0)
            return false;
    }
    u_long blocking = 0;
    return ::ioctlsocket(socket, FIONBIO, &blocking) == 0;
}

SOCKET lf_connectTcp(int family, const std::string& address, const std::string& port, std::chrono::milliseconds limit)
{
    ADDRINFOW hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (::GetAddrInfoW(lf_wide(address).c_str(), lf_wide(port).c_str(), &hints, &found) != 0 || found == nullptr)
        return INVALID_SOCKET;
    SOCKET socket = ::WSASocketW(found->ai_family, found->ai_socktype, found->ai_protocol, nullptr, 0,
                                 WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket != INVALID_SOCKET &&
        !lf_connectWithLimit(socket, found->ai_addr, static_cast<int>(found->ai_addrlen), limit)) {
        ::closesocket(socket);
        socket = INVALID_SOCKET;
    }
    ::FreeAddrInfoW(found);
    return socket;
}

} // namespace

StreamConnection::StreamConnection(std::unique_ptr<State> state) : state_(std::move(state)) {}

StreamConnection::~StreamConnection()
{
    close();
    for (HANDLE event : {state_->reading.event, state_->writing.event, state_->wakeEvent})
        if (event != nullptr)
            ::CloseHandle(event);
}

std::unique_ptr<StreamConnection> StreamConnection::openPipe(const std::string& pipeName,
                                                             std::chrono::milliseconds limit)
{
    const HANDLE pipe = lf_openPipe(lf_wide(pipeName), limit);
    if (pipe == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::unique_ptr<StreamConnection>(new StreamConnection(lf_state(pipe, false)));
}

std::unique_ptr<StreamConnection> StreamConnection::openTcp(bool ipv6, const std::string& address,
                                                            const std::string& port, std::chrono::milliseconds limit)
{
    if (!net::gf_startSockets())
        return nullptr;
    const SOCKET socket = lf_connectTcp(ipv6 ? AF_INET6 : AF_INET, address, port, limit);
    if (socket == INVALID_SOCKET)
        return nullptr;
    return std::unique_ptr<StreamConnection>(new StreamConnection(lf_state(reinterpret_cast<HANDLE>(socket), true)));
}

bool StreamConnection::setNoDelay()
{
    return state_->isSocket && state_->open() &&
           net::gf_setNoDelay(static_cast<int>(reinterpret_cast<std::intptr_t>(state_->handle)));
}

StreamIo StreamConnection::read(std::span<std::uint8_t> space)
{
    StreamIo io = state_->reading.pending ? lf_result(*state_, state_->reading)
                                          : lf_start(*state_, state_->reading, space.data(), space.size(), true);
    // A socket's orderly close is a read of nothing; a pipe reports its end as broken.
    if (io.state == StreamIo::State::Done && io.count == 0 && state_->isSocket && !space.empty())
        io.state = StreamIo::State::Closed;
    return io;
}

StreamIo StreamConnection::write(std::span<const std::uint8_t> bytes)
{
    if (state_->writing.pending)
        return lf_result(*state_, state_->writing);
    return lf_start(*state_, state_->writing, const_cast<std::uint8_t*>(bytes.data()), bytes.size(), false);
}

void StreamConnection::wait(bool writePending)
{
    HANDLE events[3];
    DWORD count = 0;
    if (state_->reading.pending)
        events[count++] = state_->reading.event;
    if (writePending && state_->writing.pending)
        events[count++] = state_->writing.event;
    events[count++] = state_->wakeEvent;
    ::WaitForMultipleObjects(count, events, FALSE, INFINITE);
}

void StreamConnection::wake()
{
    if (state_->wakeEvent != nullptr)
        ::SetEvent(state_->wakeEvent);
}

void StreamConnection::close()
{
    if (!state_->open())
        return;
    if (state_->isSocket)
        ::shutdown(state_->socket(), SD_BOTH);
    lf_finish(*state_, state_->reading);
    lf_finish(*state_, state_->writing);
    if (state_->isSocket)
        ::closesocket(state_->socket());
    else
        ::CloseHandle(state_->handle);
    state_->handle = INVALID_HANDLE_VALUE;
}

} // namespace platform
