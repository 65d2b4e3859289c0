#include "raw_link.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace fakesim_test {

struct RawLink::State {
    SOCKET socket = INVALID_SOCKET;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE done = nullptr;  // the overlapped pipe I/O's event

    // One overlapped pipe read or write, waited for until the timeout, then cancelled: the count,
    // or -1 when the pipe is broken.
    long pipeTransfer(void* bytes, DWORD size, bool isRead, DWORD timeoutMs);
};

namespace {

void lf_startSockets()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        throw std::runtime_error("WSAStartup failed");
}

} // namespace

long RawLink::State::pipeTransfer(void* bytes, DWORD size, bool isRead, DWORD timeoutMs)
{
    OVERLAPPED record{};
    record.hEvent = done;
    ::ResetEvent(done);
    const BOOL started = isRead ? ::ReadFile(pipe, bytes, size, nullptr, &record)
                                : ::WriteFile(pipe, bytes, size, nullptr, &record);
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return -1;
    if (::WaitForSingleObject(done, timeoutMs) != WAIT_OBJECT_0)
        ::CancelIoEx(pipe, &record);
    DWORD count = 0;
    if (::GetOverlappedResult(pipe, &record, &count, TRUE))
        return static_cast<long>(count);
    return ::GetLastError() == ERROR_OPERATION_ABORTED ? 0 : -1;
}

RawLink::RawLink(std::uint16_t port) : state_(std::make_unique<State>())
{
    lf_startSockets();
    state_->socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (state_->socket == INVALID_SOCKET ||
        ::connect(state_->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
}

RawLink::RawLink(const std::filesystem::path& pipe) : state_(std::make_unique<State>())
{
    state_->pipe = ::CreateFileW(pipe.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    if (state_->pipe == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + pipe.string() + ": error " + std::to_string(::GetLastError()));
    state_->done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

RawLink::~RawLink()
{
    if (state_->socket != INVALID_SOCKET)
        ::closesocket(state_->socket);
    if (state_->pipe != INVALID_HANDLE_VALUE)
        ::CloseHandle(state_->pipe);
    if (state_->done != nullptr)
        ::CloseHandle(state_->done);
}

void RawLink::send(std::span<const std::uint8_t> bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const auto size = static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1u << 20));
        auto* at = const_cast<std::uint8_t*>(bytes.data() + sent);
        const long n = state_->pipe != INVALID_HANDLE_VALUE
                           ? state_->pipeTransfer(at, static_cast<DWORD>(size), false, INFINITE)
                           : ::send(state_->socket, reinterpret_cast<const char*>(at), size, 0);
        if (n <= 0)
            throw std::runtime_error("send failed");
        sent += static_cast<std::size_t>(n);
    }
}

RawLink::Got RawLink::receive(std::vector<std::uint8_t>& into, std::chrono::milliseconds timeout)
{
    std::uint8_t chunk[65536];
    const auto waitMs = static_cast<DWORD>(std::max<std::int64_t>(0, timeout.count()));
    long n = 0;
    if (state_->pipe != INVALID_HANDLE_VALUE) {
        n = state_->pipeTransfer(chunk, sizeof chunk, true, waitMs);
        if (n == 0)
            return Got::Nothing;
    } else {
        WSAPOLLFD watch{state_->socket, POLLRDNORM, 0};
        if (::WSAPoll(&watch, 1, static_cast<INT>(waitMs)) <= 0)
            return Got::Nothing;
        n = ::recv(state_->socket, reinterpret_cast<char*>(chunk), sizeof chunk, 0);
    }
    if (n <= 0)
        return Got::Closed;
    into.insert(into.end(), chunk, chunk + n);
    return Got::Bytes;
}

std::filesystem::path testPipe(const std::filesystem::path&)
{
    // Pipe names are machine-wide: the name carries the process.
    static std::atomic<unsigned> count{0};
    return "\\\\.\\pipe\\fakesim test " + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++count) +
           "\\SimConnect";
}

} // namespace fakesim_test
