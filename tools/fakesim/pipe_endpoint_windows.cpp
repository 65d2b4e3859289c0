// The simulator's named pipe on Windows. One thread waits for clients with an overlapped
// ConnectNamedPipe; each client is relayed by a thread of its own between its pipe instance and
// a loopback TCP connection whose other end the server loop takes like any client socket, so
// that everything above the sockets is the same for every transport.
//
// A relay ends when either side ends: the pipe client's end makes the relay shut its socket for
// sending (the server loop sees the client close), the server loop's close makes the relay
// write what it still got into the pipe and close the pipe (the client reads it, then finds the
// pipe broken).

#include "sockets.h"
#include "sockets_windows.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <condition_variable>
#include <utility>
#include <list>
#include <mutex>
#include <thread>

namespace fakesim::net {

namespace {

constexpr DWORD kPipeBuffer = 65536;
// How long the relays may go on writing to their pipes once the stand-in stops.
constexpr auto kDrainTime = std::chrono::seconds(1);

HANDLE lf_createInstance(const std::wstring& name, bool first)
{
    const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    // A message pipe, as the simulator's: each write of the client is one message.
    return ::CreateNamedPipeW(name.c_str(), openMode, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                              PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, 0, nullptr);
}

// A connected pair of loopback TCP sockets: the server loop's end (non-blocking) and the
// relay's end (blocking). Throws std::runtime_error.
std::pair<Socket, Socket> lf_socketPair()
{
    const Socket listener = gf_openSocket(SOCK_STREAM, IPPROTO_TCP, false);
    Socket inner = kNoSocket;
    Socket outer = kNoSocket;
    const sockaddr_in any = gf_loopback(0);
    if (::bind(static_cast<SOCKET>(listener), reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0 &&
        ::listen(static_cast<SOCKET>(listener), 1) == 0) {
        inner = gf_openSocket(SOCK_STREAM, IPPROTO_TCP, false);
        const sockaddr_in to = gf_loopback(gf_boundPort(listener));
        if (::connect(static_cast<SOCKET>(inner), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0)
            outer = static_cast<Socket>(::accept(static_cast<SOCKET>(listener), nullptr, nullptr));
    }
    // Another program of this machine may have come first: the pair must be our own.
    sockaddr_in peer{};
    int length = sizeof peer;
    if (outer != kNoSocket &&
        (::getpeername(static_cast<SOCKET>(outer), reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
         ::ntohs(peer.sin_port) != gf_boundPort(inner))) {
        ::closesocket(static_cast<SOCKET>(outer));
        outer = kNoSocket;
    }
    if (outer == kNoSocket) {
        auto error = gf_socketError("cannot connect a relay socket");
        for (Socket socket : {inner, listener})
            if (socket != kNoSocket)
                ::closesocket(static_cast<SOCKET>(socket));
        throw error;
    }
    ::closesocket(static_cast<SOCKET>(listener));
    u_long nonBlocking = 1;
    ::ioctlsocket(static_cast<SOCKET>(outer), FIONBIO, &nonBlocking);
    setNoDelay(outer);
    setNoDelay(inner);
    return {outer, inner};
}

// One overlapped read or write on the pipe, waited for until it ends or `stop` is set (which
// cancels it). The count; 0 when it failed, was cancelled or read nothing.
DWORD lf_pipeTransfer(HANDLE pipe, HANDLE done, HANDLE stop, void* bytes, DWORD size, bool isRead)
{
    OVERLAPPED record{};
    record.hEvent = done;
    ::ResetEvent(done);
    const BOOL started = isRead ? ::ReadFile(pipe, bytes, size, nullptr, &record)
                                : ::WriteFile(pipe, bytes, size, nullptr, &record);
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return 0;
    const HANDLE events[2] = {done, stop};
    if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
        ::CancelIoEx(pipe, &record);
    DWORD count = 0;
    return ::GetOverlappedResult(pipe, &record, &count, TRUE) ? count : 0;
}

bool lf_sendAll(Socket socket, const char* bytes, DWORD size)
{
    for (DWORD sent = 0; sent < size;) {
        const int n = ::send(static_cast<SOCKET>(socket), bytes + sent, static_cast<int>(size - sent), 0);
        if (n <= 0)
            return false;
        sent += static_cast<DWORD>(n);
    }
    return true;
}

} // namespace

struct Relay {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    Socket socket = kNoSocket;              // the relay's end
    HANDLE stop = nullptr;                  // manual-reset: ends the relay's pipe I/O
    bool done = false;                      // under the endpoint's mutex
    std::thread thread;
};

struct PipeEndpoint::State {
    std::wstring name;
    std::function<void()> wake;
    HANDLE waiting = INVALID_HANDLE_VALUE;  // the instance that waits for the next client
    HANDLE stopListening = nullptr;         // manual-reset
    std::thread listener;

    std::mutex mutex;
    std::condition_variable relayEnded;
    std::vector<Socket> arrived;            // server-loop ends not taken yet
    std::list<Relay> relays;                // a list: each relay's thread keeps its address

    void listen();
    void startRelay(HANDLE pipe);
    void relay(Relay& relay);
    void pipeToSocket(Relay& relay);
};

void PipeEndpoint::State::listen()
{
    const HANDLE connected = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    while (waiting != INVALID_HANDLE_VALUE) {
        OVERLAPPED record{};
        record.hEvent = connected;
        ::ResetEvent(connected);
        bool isConnected = ::ConnectNamedPipe(waiting, &record) != FALSE;
        const DWORD error = isConnected ? 0 : ::GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            isConnected = true;
        } else if (error == ERROR_IO_PENDING) {
            const HANDLE events[2] = {connected, stopListening};
            if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
                ::CancelIoEx(waiting, &record);
            DWORD ignored = 0;
            isConnected = ::GetOverlappedResult(waiting, &record, &ignored, TRUE) != FALSE;
        }
        if (::WaitForSingleObject(stopListening, 0) == WAIT_OBJECT_0) {
            ::CloseHandle(waiting);
            waiting = INVALID_HANDLE_VALUE;
            break;
        }
        // A client that came and went before the connect leaves an instance of no use.
        const HANDLE client = isConnected ? waiting : INVALID_HANDLE_VALUE;
        if (!isConnected)
            ::CloseHandle(waiting);
        waiting = lf_createInstance(name, false);
        if (client != INVALID_HANDLE_VALUE)
            startRelay(client);
    }
    ::CloseHandle(connected);
}

void PipeEndpoint::State::startRelay(HANDLE pipe)
{
    std::pair<Socket, Socket> ends;
    try {
        ends = lf_socketPair();
    } catch (const std::exception&) {
        ::CloseHandle(pipe);  // the client finds the pipe broken
        return;
    }
    {
        std::lock_guard lock(mutex);
        // Relays that have ended are joined here, so their number stays small.
        for (auto it = relays.begin(); it != relays.end();) {
            if (!it->done) {
                ++it;
                continue;
            }
            it->thread.join();
            ::CloseHandle(it->stop);
            it = relays.erase(it);
        }
        Relay& relay = relays.emplace_back();
        relay.pipe = pipe;
        relay.socket = ends.second;
        relay.stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        relay.thread = std::thread([this, &relay] { this->relay(relay); });
        arrived.push_back(ends.first);
    }
    wake();
}

// Stand-in to pipe on this thread, pipe to stand-in on a second one.
void PipeEndpoint::State::relay(Relay& relay)
{
    std::thread reader([this, &relay] { pipeToSocket(relay); });
    const HANDLE written = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<char> buffer(kPipeBuffer);
    for (;;) {
        const int n = ::recv(static_cast<SOCKET>(relay.socket), buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n <= 0)
            break;
        DWORD sent = 0;
        while (sent < static_cast<DWORD>(n)) {
            const DWORD count = lf_pipeTransfer(relay.pipe, written, relay.stop, buffer.data() + sent,
                                                static_cast<DWORD>(n) - sent, false);
            if (count == 0)
                break;
            sent += count;
        }
        if (sent < static_cast<DWORD>(n))
            break;
    }
    ::SetEvent(relay.stop);
    reader.join();
    ::CloseHandle(written);
    // Closing without DisconnectNamedPipe: the client still reads what was written.
    ::CloseHandle(relay.pipe);
    closeSocket(relay.socket);
    {
        std::lock_guard lock(mutex);
        relay.done = true;
    }
    relayEnded.notify_all();
}

void PipeEndpoint::State::pipeToSocket(Relay& relay)
{
    const HANDLE read = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<char> buffer(kPipeBuffer);
    for (;;) {
        const DWORD count = lf_pipeTransfer(relay.pipe, read, relay.stop, buffer.data(), kPipeBuffer, true);
        if (count == 0)
            break;
        // The simulator reads one packet per message and would lose the rest of a longer one: a
        // client that merges packets is refused.
        std::uint32_t packetSize = 0;
        if (count >= sizeof packetSize)
            std::memcpy(&packetSize, buffer.data(), sizeof packetSize);
        if (packetSize != count) {
            std::fprintf(stderr, "fakesim: a pipe message of %lu bytes holds more than its packet of %u bytes: refused\n",
                         static_cast<unsigned long>(count), packetSize);
            break;
        }
        if (!lf_sendAll(relay.socket, buffer.data(), count))
            break;
    }
    ::shutdown(static_cast<SOCKET>(relay.socket), SD_SEND);
    ::CloseHandle(read);
}

PipeEndpoint::PipeEndpoint(const std::filesystem::path& name, std::function<void()> wake)
    : state_(std::make_unique<State>())
{
    state_->name = name.wstring();
    state_->wake = std::move(wake);
    // The first instance makes the pipe: a pipe of that name served by another program is an
    // error, not a second server.
    state_->waiting = lf_createInstance(state_->name, true);
    if (state_->waiting == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot serve the pipe " + name.string() + ": " + gf_errorText(::GetLastError()));
    state_->stopListening = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state_->listener = std::thread([state = state_.get()] { state->listen(); });
}

PipeEndpoint::~PipeEndpoint()
{
    State& state = *state_;
    ::SetEvent(state.stopListening);
    state.listener.join();
    ::CloseHandle(state.stopListening);
    std::unique_lock lock(state.mutex);
    for (Socket socket : state.arrived)
        closeSocket(socket);
    state.arrived.clear();
    const auto allDone = [&] {
        return std::all_of(state.relays.begin(), state.relays.end(), [](const Relay& r) { return r.done; });
    };
    if (!state.relayEnded.wait_for(lock, kDrainTime, allDone))
        for (Relay& relay : state.relays)
            ::SetEvent(relay.stop);
    lock.unlock();
    for (Relay& relay : state.relays) {
        relay.thread.join();
        ::CloseHandle(relay.stop);
    }
}

Socket PipeEndpoint::listener() const
{
    return kNoSocket;
}

std::vector<Socket> PipeEndpoint::acceptClients()
{
    std::lock_guard lock(state_->mutex);
    return std::exchange(state_->arrived, {});
}

const char* PipeEndpoint::via()
{
    return "pipe";
}

} // namespace fakesim::net
