#pragma once
// A tiny server standing in for the simulator side in the client's tests: it listens on a
// loopback TCP port or on a local pipe, accepts one client, reads the bytes the client sent and
// sends whatever bytes a test wants, well-formed or not. Every wait has a deadline. The pipe is
// the system's named pipe on Windows, and on Linux the Unix socket that stands for it there
// (sc_server_<system>_test.cpp).

#include "platform/sync_event.h"
#include "simconnect/simconnect.h"
#include "support/temp_folder.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sctest {

using Bytes = std::vector<std::uint8_t>;
inline constexpr std::chrono::seconds kDeadline{20};

enum class Family { IPv4, IPv6 };

class TestServer {
public:
    // On the loopback address of the family, port chosen by the system.
    static std::unique_ptr<TestServer> tcp(Family family, int backlog = 8);
    // On the local pipe "\\.\pipe\<name>".
    static std::unique_ptr<TestServer> pipe(const std::string& pipeName);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::string port() const;
    bool isPipe() const;
    // True when a client connected within the deadline.
    bool accept();
    // A client is waiting to be accepted now (no waiting).
    bool hasPendingClient() const;
    // Exactly `count` bytes, or fewer when the client closed or the deadline passed.
    Bytes read(std::size_t count);
    void send(const Bytes& bytes);
    void closeClient();
    // Closes the client connection with a reset instead of an orderly end.
    void resetClient();
    // TCP: starts `count` connections that are never accepted, which fill a small backlog.
    void fillBacklog(int count);

    struct State; // one per system

private:
    explicit TestServer(std::unique_ptr<State> state);

    std::unique_ptr<State> state_;
};

// What a client's calls return once the simulator has closed its end of a pipe: the system's
// word for it (Windows: the pipe is broken; Linux: the Unix socket that stands for the pipe was
// closed by the remote end).
extern const qmx::HRESULT kPipeEndStatus;

Bytes hex(const std::string& text); // "20 02 00 00" -> bytes
Bytes u32le(std::uint32_t value);
Bytes operator+(Bytes a, const Bytes& b);
// A received message: size, version 1, id, then `body`.
Bytes message(std::uint32_t id, const Bytes& body = {});
// A TCP port on the loopback address that nothing listens on.
std::string unusedPort(Family family);

// Sets up a private world for one test: config folders inside a temp folder, the simulator's
// registry ports and local pipes to itself; restores the default config search at the end.
class ScWorld {
public:
    ScWorld();
    ~ScWorld();
    std::filesystem::path home() const { return temp_ / "home"; }
    std::filesystem::path documents() const { return temp_ / "docs"; }
    std::filesystem::path current() const { return temp_ / "cwd"; }
    void writeConfig(const std::filesystem::path& folder, const std::string& text) const;
    // The simulator's port values in the user's registry (empty: value left out).
    void writeRegistryPorts(const std::string& ipv6Port, const std::string& ipv4Port) const;

    struct System; // one per system: what keeps the registry and the pipes to this world

private:
    static std::shared_ptr<System> enterSystem(const std::filesystem::path& temp);

    testsupport::TempFolder temp_;
    std::shared_ptr<System> system_;
};

// Records what the dispatch procedure was given.
struct Received {
    std::vector<Bytes> messages;
    static void proc(qmx::SIMCONNECT_RECV* data, std::uint32_t size, void* context);
};

// A connection opened to `server` (over TCP, or a server of the default pipe) through
// SimConnect.cfg in the world's current folder, with the server side accepted and the Open
// packet read.
struct Client {
    qmx::HANDLE handle = nullptr;
    platform::SyncEvent event;
    Bytes openPacket;
    Received received;

    ~Client();
    // Dispatches (waiting on the event in between) until `count` messages arrived or the
    // connection failed or the deadline passed; the last CallDispatch result.
    qmx::HRESULT dispatchUntil(std::size_t count);
    // Calls `done` until it returns true or the deadline passes, waiting on the event in
    // between (a set event may be left over from a message already dispatched).
    bool until(const std::function<bool()>& done);
};
std::unique_ptr<Client> openClient(ScWorld& world, TestServer& server, const std::string& extraConfig = {});

} // namespace sctest
