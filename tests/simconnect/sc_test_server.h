#pragma once
// A tiny socket server standing in for the simulator side in the client's tests: it listens
// on a loopback TCP port or a Unix socket path, accepts one client, reads the bytes the client
// sent and sends whatever bytes a test wants, well-formed or not. Every wait has a deadline.

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

class TestServer {
public:
    // family AF_INET or AF_INET6 on the loopback address, port chosen by the system.
    static std::unique_ptr<TestServer> tcp(int family, int backlog = 8);
    static std::unique_ptr<TestServer> local(const std::filesystem::path& path);
    ~TestServer();

    std::string port() const { return std::to_string(port_); }
    int listener() const { return listen_; }
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

private:
    int listen_ = -1;
    int client_ = -1;
    int port_ = 0;
    std::filesystem::path path_;
};

Bytes hex(const std::string& text); // "20 02 00 00" -> bytes
Bytes u32le(std::uint32_t value);
Bytes operator+(Bytes a, const Bytes& b);
// A received message: size, version 1, id, then `body`.
Bytes message(std::uint32_t id, const Bytes& body = {});
// A TCP port on the loopback address that nothing listens on.
std::string unusedPort(int family);

// Sets up a private world for one test: config folders, registry (Wine prefix) and runtime
// folder inside a temp folder, and restores the default config search at the end.
class ScWorld {
public:
    ScWorld();
    ~ScWorld();
    std::filesystem::path home() const { return temp_ / "home"; }
    std::filesystem::path documents() const { return temp_ / "docs"; }
    std::filesystem::path current() const { return temp_ / "cwd"; }
    std::filesystem::path prefix() const { return temp_ / "wine"; }
    void writeConfig(const std::filesystem::path& folder, const std::string& text) const;
    // user.reg with the simulator's port values (empty: value left out).
    void writeRegistryPorts(const std::string& ipv6Port, const std::string& ipv4Port) const;

private:
    testsupport::TempFolder temp_;
    testsupport::ScopedEnv runtime_;
    testsupport::ScopedEnv prefix_;
};

// Records what the dispatch procedure was given.
struct Received {
    std::vector<Bytes> messages;
    static void proc(qmx::SIMCONNECT_RECV* data, std::uint32_t size, void* context);
};

// A connection opened over TCP to `server` through SimConnect.cfg in the world's current
// folder, with the server side accepted and the Open packet read.
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
