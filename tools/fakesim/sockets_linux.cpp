// The stand-in's sockets on Linux: BSD sockets, poll, an eventfd, and a Unix-domain socket for
// the pipe.

#include "sockets.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fakesim::net {

namespace {

std::runtime_error lf_socketError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

int lf_fd(Socket socket)
{
    return static_cast<int>(socket);
}

Transfer lf_transfer(ssize_t n)
{
    if (n > 0)
        return {Transfer::State::Done, static_cast<std::size_t>(n), {}};
    if (n == 0)
        return {Transfer::State::Closed, 0, {}};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {Transfer::State::WouldBlock, 0, {}};
    return {Transfer::State::Failed, 0, std::strerror(errno)};
}

int lf_listenUnix(const std::filesystem::path& path)
{
    sockaddr_un address{};
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path)
        throw std::runtime_error("Unix socket path too long: " + text);
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    // A socket left behind by an earlier run is replaced; any other file is not touched.
    struct stat info{};
    if (::lstat(text.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            throw std::runtime_error("not a socket, left alone: " + text);
        ::unlink(text.c_str());
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw lf_socketError("socket");
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        auto error = lf_socketError("cannot listen on " + text);
        ::close(fd);
        throw error;
    }
    return fd;
}

} // namespace

void startSockets() {}

void prepareProgram()
{
    std::signal(SIGPIPE, SIG_IGN);
}

Socket listenTcp(std::uint16_t port, std::uint16_t& boundPort)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw lf_socketError("socket");
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        auto error = lf_socketError("cannot listen on 127.0.0.1:" + std::to_string(port));
        ::close(fd);
        throw error;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return fd;
}

Socket acceptClient(Socket listener)
{
    const int fd = ::accept4(lf_fd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    return fd < 0 ? kNoSocket : fd;
}

void setNoDelay(Socket socket)
{
    int one = 1;
    ::setsockopt(lf_fd(socket), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void closeSocket(Socket socket)
{
    ::shutdown(lf_fd(socket), SHUT_RDWR);
    ::close(lf_fd(socket));
}

Transfer receiveSome(Socket socket, std::span<std::uint8_t> space)
{
    return lf_transfer(::recv(lf_fd(socket), space.data(), space.size(), MSG_DONTWAIT));
}

Transfer sendSome(Socket socket, std::span<const std::uint8_t> bytes)
{
    const ssize_t n = ::send(lf_fd(socket), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    // Nothing sent of something is no orderly end on a send.
    if (n == 0 && !bytes.empty())
        return {Transfer::State::WouldBlock, 0, {}};
    return lf_transfer(n);
}

void waitForSockets(std::vector<Watch>& watches, std::chrono::milliseconds timeout)
{
    std::vector<pollfd> fds;
    fds.reserve(watches.size());
    for (const Watch& watch : watches)
        fds.push_back({lf_fd(watch.socket), static_cast<short>(POLLIN | (watch.wantWrite ? POLLOUT : 0)), 0});
    ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    for (std::size_t i = 0; i < fds.size(); ++i)
        watches[i].ready = fds[i].revents != 0;
}

// ---- Waker: an eventfd ----

Waker::Waker()
{
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0)
        throw lf_socketError("eventfd");
    socket_ = fd;
}

Waker::~Waker()
{
    ::close(lf_fd(socket_));
}

void Waker::wake() const noexcept
{
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(lf_fd(socket_), &one, sizeof one);
}

void Waker::drain() const noexcept
{
    std::uint64_t drained = 0;
    [[maybe_unused]] auto n = ::read(lf_fd(socket_), &drained, sizeof drained);
}

// ---- PipeEndpoint: a Unix-domain socket ----

struct PipeEndpoint::State {
    std::filesystem::path path;
    int fd = -1;
};

PipeEndpoint::PipeEndpoint(const std::filesystem::path& name, std::function<void()>)
    : state_(std::make_unique<State>())
{
    state_->fd = lf_listenUnix(name);
    state_->path = name;
}

PipeEndpoint::~PipeEndpoint()
{
    ::close(state_->fd);
    std::error_code ec;
    std::filesystem::remove(state_->path, ec);
}

Socket PipeEndpoint::listener() const
{
    return state_->fd;
}

std::vector<Socket> PipeEndpoint::acceptClients()
{
    std::vector<Socket> clients;
    for (Socket client; (client = acceptClient(state_->fd)) != kNoSocket;)
        clients.push_back(client);
    return clients;
}

const char* PipeEndpoint::via()
{
    return "unix";
}

} // namespace fakesim::net
