#include "sc_test_server.h"

#include "simconnect/simconnect_config.h"

#include <arpa/inet.h>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace sctest {
namespace {

int lf_remainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool lf_waitReadable(int fd, std::chrono::steady_clock::time_point deadline)
{
    pollfd wait{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&wait, 1, lf_remainingMs(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
}

} // namespace

std::unique_ptr<TestServer> TestServer::tcp(int family, int backlog)
{
    auto server = std::make_unique<TestServer>();
    server->listen_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        length = sizeof(sockaddr_in6);
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(sockaddr_in);
    }
    if (::bind(server->listen_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(server->listen_, backlog) != 0 ||
        ::getsockname(server->listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test server cannot listen");
    server->port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return server;
}

std::unique_ptr<TestServer> TestServer::local(const fs::path& path)
{
    auto server = std::make_unique<TestServer>();
    server->listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof(address.sun_path))
        throw std::runtime_error("socket path too long: " + text);
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    fs::create_directories(path.parent_path());
    if (::bind(server->listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(server->listen_, 8) != 0)
        throw std::runtime_error("test server cannot listen on " + text);
    server->path_ = path;
    return server;
}

TestServer::~TestServer()
{
    closeClient();
    if (listen_ >= 0)
        ::close(listen_);
    if (!path_.empty()) {
        std::error_code ec;
        fs::remove(path_, ec);
    }
}

bool TestServer::accept()
{
    if (!lf_waitReadable(listen_, std::chrono::steady_clock::now() + kDeadline))
        return false;
    closeClient();
    client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
}

bool TestServer::hasPendingClient() const
{
    pollfd wait{listen_, POLLIN, 0};
    return ::poll(&wait, 1, 0) == 1;
}

Bytes TestServer::read(std::size_t count)
{
    Bytes bytes(count);
    std::size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (got < count && lf_waitReadable(client_, deadline)) {
        const ssize_t n = ::recv(client_, bytes.data() + got, count - got, 0);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

void TestServer::send(const Bytes& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("test server cannot send");
        sent += static_cast<std::size_t>(n);
    }
}

void TestServer::closeClient()
{
    if (client_ >= 0)
        ::close(client_);
    client_ = -1;
}

void TestServer::resetClient()
{
    const linger hardClose{1, 0};
    ::setsockopt(client_, SOL_SOCKET, SO_LINGER, &hardClose, sizeof(hardClose));
    closeClient();
}

std::string unusedPort(int family)
{
    // The port of a listener that is gone again refuses connections.
    return TestServer::tcp(family)->port();
}

Bytes hex(const std::string& text)
{
    Bytes bytes;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

Bytes u32le(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 24)};
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes message(std::uint32_t id, const Bytes& body)
{
    return u32le(static_cast<std::uint32_t>(12 + body.size())) + u32le(1) + u32le(id) + body;
}

ScWorld::ScWorld()
    : runtime_("XDG_RUNTIME_DIR", (temp_.path() / "run").string()),
      prefix_("WINEPREFIX", (temp_.path() / "wine").string())
{
    for (const fs::path& folder : {home(), documents(), current(), prefix(), temp_.path() / "run"})
        fs::create_directories(folder);
    qmx::gf_scSetConfigFolders({home(), documents(), current()});
}

ScWorld::~ScWorld()
{
    qmx::gf_scSetConfigFolders({});
}

void ScWorld::writeConfig(const fs::path& folder, const std::string& text) const
{
    testsupport::writeFile(folder / "SimConnect.cfg", text);
}

void ScWorld::writeRegistryPorts(const std::string& ipv6Port, const std::string& ipv4Port) const
{
    std::string text = "WINE REGISTRY Version 2\n\n[Software\\\\Lockheed Martin\\\\Prepar3D v5] 1700000000\n";
    if (!ipv6Port.empty())
        text += "\"SimConnect_Port_IPv6\"=\"" + ipv6Port + "\"\n";
    if (!ipv4Port.empty())
        text += "\"SimConnect_Port_IPv4\"=\"" + ipv4Port + "\"\n";
    testsupport::writeFile(prefix() / "user.reg", text);
}

void Received::proc(qmx::SIMCONNECT_RECV* data, std::uint32_t size, void* context)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    static_cast<Received*>(context)->messages.emplace_back(bytes, bytes + size);
}

Client::~Client()
{
    if (handle != nullptr)
        qmx::SimConnect_Close(handle);
}

qmx::HRESULT Client::dispatchUntil(std::size_t count)
{
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    qmx::HRESULT result = qmx::SimConnect_CallDispatch(handle, &Received::proc, &received);
    while (result == qmx::S_OK && received.messages.size() < count && std::chrono::steady_clock::now() < deadline) {
        event.waitFor(std::chrono::milliseconds(lf_remainingMs(deadline)));
        result = qmx::SimConnect_CallDispatch(handle, &Received::proc, &received);
    }
    return result;
}

bool Client::until(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        event.waitFor(std::chrono::milliseconds(lf_remainingMs(deadline)));
    }
    return true;
}

std::unique_ptr<Client> openClient(ScWorld& world, TestServer& server, const std::string& extraConfig)
{
    world.writeConfig(world.current(),
                      "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + server.port() + "\n" + extraConfig);
    auto client = std::make_unique<Client>();
    if (qmx::SimConnect_Open(&client->handle, "Orvanta_P3D", nullptr, 0, &client->event, 0) != qmx::S_OK ||
        !server.accept())
        throw std::runtime_error("test client cannot connect");
    client->openPacket = server.read(296);
    return client;
}

} // namespace sctest
