// The simulator-side test server on Windows: Winsock sockets, and for a local pipe an instance of
// the system's named pipe, which the client opens by its name. Pipe names and the user's
// registry are shared by every process of the machine (of the Wine prefix), so a world holds a
// machine-wide mutex for its life: test processes that run side by side take turns.

#include "sc_test_server.h"

#include "simconnect/simconnect_protocol.h"

#include <stdexcept>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace sctest {

struct TestServer::State {
    Family family = Family::IPv4;
    SOCKET listener = INVALID_SOCKET;
    SOCKET client = INVALID_SOCKET;
    int port = 0;
    std::vector<SOCKET> unaccepted;

    std::wstring pipeName;              // of a pipe server, else empty
    HANDLE pipe = INVALID_HANDLE_VALUE; // the instance that waits for or serves the client
    OVERLAPPED connecting{};
    HANDLE connectEvent = nullptr;
    bool connected = false;

    bool isPipe() const { return !pipeName.empty(); }
};

struct ScWorld::System {
    System();
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    HANDLE turn = nullptr;
};

namespace {

using Clock = std::chrono::steady_clock;

const wchar_t* const kSimulatorKey = L"SOFTWARE\\Lockheed Martin\\Prepar3D v5";

DWORD lf_remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
}

void lf_startWinsock()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        throw std::runtime_error("test server cannot start Winsock");
}

bool lf_waitReadable(SOCKET socket, DWORD milliseconds)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout{static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

int lf_loopback(Family family, std::uint16_t port, sockaddr_storage& address)
{
    address = sockaddr_storage{};
    if (family == Family::IPv6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        v6->sin6_port = htons(port);
        return sizeof(sockaddr_in6);
    }
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    v4->sin_family = AF_INET;
    v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    v4->sin_port = htons(port);
    return sizeof(sockaddr_in);
}

std::wstring lf_wide(const std::string& text)
{
    std::wstring wide(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// Waits for an overlapped operation on `handle` until the deadline; one that does not end in
// time is cancelled. The byte count, or nothing when it failed or was cancelled.
std::optional<DWORD> lf_finish(HANDLE handle, OVERLAPPED& operation, Clock::time_point deadline)
{
    if (::WaitForSingleObject(operation.hEvent, lf_remainingMs(deadline)) != WAIT_OBJECT_0)
        ::CancelIoEx(handle, &operation);
    DWORD count = 0;
    if (!::GetOverlappedResult(handle, &operation, &count, TRUE))
        return std::nullopt;
    return count;
}

// A new instance of the pipe, waiting for its client with an overlapped connect.
void lf_listenOnPipe(TestServer::State& state)
{
    state.pipe = ::CreateNamedPipeW(state.pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 65536,
                                    65536, 0, nullptr);
    if (state.pipe == INVALID_HANDLE_VALUE)
        throw std::runtime_error("test server cannot make the pipe");
    state.connecting = OVERLAPPED{};
    state.connecting.hEvent = state.connectEvent;
    ::ResetEvent(state.connectEvent);
    state.connected = false;
    if (!::ConnectNamedPipe(state.pipe, &state.connecting)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_CONNECTED)
            state.connected = true; // the client came between the creation and the connect
        else if (error != ERROR_IO_PENDING)
            throw std::runtime_error("test server cannot wait for a pipe client");
    }
}

void lf_closePipe(TestServer::State& state)
{
    if (state.pipe == INVALID_HANDLE_VALUE)
        return;
    if (!state.connected) {
        ::CancelIoEx(state.pipe, &state.connecting);
        DWORD count = 0;
        ::GetOverlappedResult(state.pipe, &state.connecting, &count, TRUE);
    }
    ::CloseHandle(state.pipe);
    state.pipe = INVALID_HANDLE_VALUE;
    state.connected = false;
}

} // namespace

TestServer::TestServer(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<TestServer> TestServer::tcp(Family family, int backlog)
{
    lf_startWinsock();
    auto state = std::make_unique<State>();
    state->family = family;
    state->listener = ::socket(family == Family::IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_storage address{};
    int length = lf_loopback(family, 0, address);
    if (state->listener == INVALID_SOCKET ||
        ::bind(state->listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(state->listener, backlog) != 0 ||
        ::getsockname(state->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test server cannot listen");
    state->port = ntohs(family == Family::IPv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                               : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return std::unique_ptr<TestServer>(new TestServer(std::move(state)));
}

std::unique_ptr<TestServer> TestServer::pipe(const std::string& pipeName)
{
    auto state = std::make_unique<State>();
    state->pipeName = lf_wide(pipeName);
    state->connectEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    lf_listenOnPipe(*state);
    return std::unique_ptr<TestServer>(new TestServer(std::move(state)));
}

TestServer::~TestServer()
{
    closeClient();
    lf_closePipe(*state_);
    if (state_->connectEvent != nullptr)
        ::CloseHandle(state_->connectEvent);
    for (SOCKET socket : state_->unaccepted)
        ::closesocket(socket);
    if (state_->listener != INVALID_SOCKET)
        ::closesocket(state_->listener);
}

const qmx::HRESULT kPipeEndStatus = qmx::kStatusPipeBroken;

std::string TestServer::port() const
{
    return std::to_string(state_->port);
}

bool TestServer::isPipe() const
{
    return state_->isPipe();
}

bool TestServer::accept()
{
    const auto deadline = Clock::now() + kDeadline;
    if (state_->isPipe()) {
        if (!state_->connected)
            state_->connected = lf_finish(state_->pipe, state_->connecting, deadline).has_value();
        if (!state_->connected) { // cancelled: a new instance waits
            lf_closePipe(*state_);
            lf_listenOnPipe(*state_);
        }
        return state_->connected;
    }
    if (!lf_waitReadable(state_->listener, lf_remainingMs(deadline)))
        return false;
    closeClient();
    state_->client = ::accept(state_->listener, nullptr, nullptr);
    return state_->client != INVALID_SOCKET;
}

bool TestServer::hasPendingClient() const
{
    if (state_->isPipe())
        return state_->connected || ::WaitForSingleObject(state_->connectEvent, 0) == WAIT_OBJECT_0;
    return lf_waitReadable(state_->listener, 0);
}

Bytes TestServer::read(std::size_t count)
{
    Bytes bytes(count);
    std::size_t got = 0;
    const auto deadline = Clock::now() + kDeadline;
    if (state_->isPipe()) {
        const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        while (got < count) {
            OVERLAPPED reading{};
            reading.hEvent = done;
            if (!::ReadFile(state_->pipe, bytes.data() + got, static_cast<DWORD>(count - got), nullptr, &reading) &&
                ::GetLastError() != ERROR_IO_PENDING)
                break;
            const std::optional<DWORD> n = lf_finish(state_->pipe, reading, deadline);
            if (!n || *n == 0)
                break;
            got += *n;
        }
        ::CloseHandle(done);
    } else {
        while (got < count && lf_waitReadable(state_->client, lf_remainingMs(deadline))) {
            const int n = ::recv(state_->client, reinterpret_cast<char*>(bytes.data() + got), static_cast<int>(count - got), 0);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
    }
    bytes.resize(got);
    return bytes;
}

void TestServer::send(const Bytes& bytes)
{
    std::size_t sent = 0;
    const auto deadline = Clock::now() + kDeadline;
    const HANDLE done = state_->isPipe() ? ::CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
    while (sent < bytes.size()) {
        std::optional<DWORD> n;
        const auto size = static_cast<DWORD>(bytes.size() - sent);
        if (state_->isPipe()) {
            OVERLAPPED writing{};
            writing.hEvent = done;
            if (::WriteFile(state_->pipe, bytes.data() + sent, size, nullptr, &writing) ||
                ::GetLastError() == ERROR_IO_PENDING)
                n = lf_finish(state_->pipe, writing, deadline);
        } else if (const int count = ::send(state_->client, reinterpret_cast<const char*>(bytes.data() + sent),
                                            static_cast<int>(size), 0);
                   count > 0) {
            n = static_cast<DWORD>(count);
        }
        if (!n || *n == 0)
            break;
        sent += *n;
    }
    if (done != nullptr)
        ::CloseHandle(done);
    if (sent < bytes.size())
        throw std::runtime_error("test server cannot send");
}

void TestServer::closeClient()
{
    if (state_->isPipe() && state_->connected) {
        // The served instance goes; a new one waits for the next client.
        lf_closePipe(*state_);
        lf_listenOnPipe(*state_);
    }
    if (state_->client != INVALID_SOCKET)
        ::closesocket(state_->client);
    state_->client = INVALID_SOCKET;
}

void TestServer::resetClient()
{
    const linger hardClose{1, 0};
    ::setsockopt(state_->client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hardClose), sizeof(hardClose));
    closeClient();
}

void TestServer::fillBacklog(int count)
{
    sockaddr_storage address{};
    const int length = lf_loopback(state_->family, static_cast<std::uint16_t>(state_->port), address);
    for (int i = 0; i < count; ++i) {
        const SOCKET socket = ::socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ::ioctlsocket(socket, FIONBIO, &nonBlocking);
        ::connect(socket, reinterpret_cast<sockaddr*>(&address), length);
        state_->unaccepted.push_back(socket);
    }
}

// ---- the world

namespace {

void lf_clearRegistryPorts()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSimulatorKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueW(key, L"SimConnect_Port_IPv6");
    ::RegDeleteValueW(key, L"SimConnect_Port_IPv4");
    ::RegCloseKey(key);
}

} // namespace

ScWorld::System::System()
{
    turn = ::CreateMutexW(nullptr, FALSE, L"Local\\Orvanta_P3D SimConnect test world");
    const DWORD waited = turn == nullptr ? WAIT_FAILED : ::WaitForSingleObject(turn, 300000);
    // An abandoned mutex (its holder died) is taken over as it is.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        throw std::runtime_error("no turn for the SimConnect test world");
    lf_clearRegistryPorts();
}

ScWorld::System::~System()
{
    lf_clearRegistryPorts();
    ::ReleaseMutex(turn);
    ::CloseHandle(turn);
}

std::shared_ptr<ScWorld::System> ScWorld::enterSystem(const std::filesystem::path&)
{
    return std::make_shared<System>();
}

void ScWorld::writeRegistryPorts(const std::string& ipv6Port, const std::string& ipv4Port) const
{
    lf_clearRegistryPorts();
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSimulatorKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot write the simulator's registry key");
    for (const auto& [name, port] : {std::pair{L"SimConnect_Port_IPv6", ipv6Port}, std::pair{L"SimConnect_Port_IPv4", ipv4Port}}) {
        if (port.empty())
            continue;
        const std::wstring value = lf_wide(port);
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
}

} // namespace sctest
