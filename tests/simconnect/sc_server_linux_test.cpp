// The simulator-side test server on Linux: BSD sockets, and for a local pipe the Unix socket
// that the client reaches for that pipe name (platform/local_socket.h). The world's registry is
// the user.reg of a Wine prefix of its own, and its pipes live in a runtime folder of its own.

#include "sc_test_server.h"

#include "platform/local_socket.h"
#include "simconnect/simconnect_protocol.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace sctest {

struct TestServer::State {
    int listener = -1;
    int client = -1;
    int port = 0;
    Family family = Family::IPv4;
    fs::path path; // of a pipe's socket, removed at the end
    std::vector<int> unaccepted;
};

struct ScWorld::System {
    explicit System(const fs::path& temp)
        : prefix(temp / "wine"), runtime("XDG_RUNTIME_DIR", (temp / "run").string()),
          winePrefix("WINEPREFIX", prefix.string())
    {
        fs::create_directories(temp / "run");
        fs::create_directories(prefix);
    }

    fs::path prefix;
    testsupport::ScopedEnv runtime;
    testsupport::ScopedEnv winePrefix;
};

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

// The loopback address of a family and its length.
socklen_t lf_loopback(Family family, std::uint16_t port, sockaddr_storage& address)
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

} // namespace

TestServer::TestServer(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<TestServer> TestServer::tcp(Family family, int backlog)
{
    auto state = std::make_unique<State>();
    state->family = family;
    state->listener = ::socket(family == Family::IPv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    socklen_t length = lf_loopback(family, 0, address);
    if (::bind(state->listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
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
    const fs::path path = platform::pipeSocketPath(pipeName);
    state->listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.empty() || text.size() >= sizeof(address.sun_path))
        throw std::runtime_error("no socket path for the pipe " + pipeName);
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    fs::create_directories(path.parent_path());
    if (::bind(state->listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(state->listener, 8) != 0)
        throw std::runtime_error("test server cannot listen on " + text);
    state->path = path;
    return std::unique_ptr<TestServer>(new TestServer(std::move(state)));
}

TestServer::~TestServer()
{
    closeClient();
    for (int fd : state_->unaccepted)
        ::close(fd);
    if (state_->listener >= 0)
        ::close(state_->listener);
    if (!state_->path.empty()) {
        std::error_code ec;
        fs::remove(state_->path, ec);
    }
}

const qmx::HRESULT kPipeEndStatus = qmx::kStatusRemoteClosed;

std::string TestServer::port() const
{
    return std::to_string(state_->port);
}

bool TestServer::isPipe() const
{
    return !state_->path.empty();
}

bool TestServer::accept()
{
    if (!lf_waitReadable(state_->listener, std::chrono::steady_clock::now() + kDeadline))
        return false;
    closeClient();
    state_->client = ::accept4(state_->listener, nullptr, nullptr, SOCK_CLOEXEC);
    return state_->client >= 0;
}

bool TestServer::hasPendingClient() const
{
    pollfd wait{state_->listener, POLLIN, 0};
    return ::poll(&wait, 1, 0) == 1;
}

Bytes TestServer::read(std::size_t count)
{
    Bytes bytes(count);
    std::size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (got < count && lf_waitReadable(state_->client, deadline)) {
        const ssize_t n = ::recv(state_->client, bytes.data() + got, count - got, 0);
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
        const ssize_t n = ::send(state_->client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("test server cannot send");
        sent += static_cast<std::size_t>(n);
    }
}

void TestServer::closeClient()
{
    if (state_->client >= 0)
        ::close(state_->client);
    state_->client = -1;
}

void TestServer::resetClient()
{
    const linger hardClose{1, 0};
    ::setsockopt(state_->client, SOL_SOCKET, SO_LINGER, &hardClose, sizeof(hardClose));
    closeClient();
}

void TestServer::fillBacklog(int count)
{
    sockaddr_storage address{};
    const socklen_t length = lf_loopback(state_->family, static_cast<std::uint16_t>(state_->port), address);
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
        state_->unaccepted.push_back(fd);
    }
}

std::shared_ptr<ScWorld::System> ScWorld::enterSystem(const fs::path& temp)
{
    return std::make_shared<System>(temp);
}

void ScWorld::writeRegistryPorts(const std::string& ipv6Port, const std::string& ipv4Port) const
{
    std::string text = "WINE REGISTRY Version 2\n\n[Software\\\\Lockheed Martin\\\\Prepar3D v5] 1700000000\n";
    if (!ipv6Port.empty())
        text += "\"SimConnect_Port_IPv6\"=\"" + ipv6Port + "\"\n";
    if (!ipv4Port.empty())
        text += "\"SimConnect_Port_IPv4\"=\"" + ipv4Port + "\"\n";
    testsupport::writeFile(system_->prefix / "user.reg", text);
}

} // namespace sctest
