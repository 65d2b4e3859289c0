#include "peers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace fakert_test {

namespace {

std::uint16_t lf_bindLoopback(int fd)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("bind to a free port failed");
    return ntohs(address.sin_port);
}

bool lf_readable(int fd, SteadyClock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<milliseconds>(deadline - SteadyClock::now());
        pollfd entry{fd, POLLIN, 0};
        const int result = ::poll(&entry, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
        if (result < 0 && errno == EINTR)
            continue;
        return result > 0;
    }
}

} // namespace

UdpSink::UdpSink() : fd_(::socket(AF_INET, SOCK_DGRAM, 0))
{
    port_ = lf_bindLoopback(fd_);
    const int size = 4 << 20; // whole captures arrive at high speed
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

UdpSink::~UdpSink()
{
    ::close(fd_);
}

std::optional<Datagram> UdpSink::receive(milliseconds timeout)
{
    if (!lf_readable(fd_, SteadyClock::now() + timeout))
        return std::nullopt;
    char buffer[16384];
    const auto count = ::recv(fd_, buffer, sizeof buffer, 0);
    if (count < 0)
        return std::nullopt;
    return Datagram{std::string(buffer, static_cast<std::size_t>(count)), SteadyClock::now()};
}

std::vector<Datagram> UdpSink::receive(std::size_t count, milliseconds timeout)
{
    const auto deadline = SteadyClock::now() + timeout;
    std::vector<Datagram> datagrams;
    while (datagrams.size() < count) {
        auto datagram = receive(std::chrono::ceil<milliseconds>(deadline - SteadyClock::now()));
        if (!datagram)
            break;
        datagrams.push_back(std::move(*datagram));
    }
    return datagrams;
}

TinyServer::TinyServer() : listenFd_(::socket(AF_INET, SOCK_STREAM, 0))
{
    port_ = lf_bindLoopback(listenFd_);
}

TinyServer::~TinyServer()
{
    closeClient();
    ::close(listenFd_);
}

void TinyServer::listen()
{
    if (::listen(listenFd_, 4) != 0)
        throw std::runtime_error("listen failed");
}

bool TinyServer::accept(milliseconds timeout)
{
    if (!lf_readable(listenFd_, SteadyClock::now() + timeout))
        return false;
    closeClient();
    clientFd_ = ::accept(listenFd_, nullptr, nullptr);
    return clientFd_ >= 0;
}

void TinyServer::send(const std::string& bytes)
{
    if (::send(clientFd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("send failed");
}

std::optional<std::string> TinyServer::readLine(milliseconds timeout)
{
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        if (const auto end = pending_.find("\r\n"); end != std::string::npos) {
            std::string line = pending_.substr(0, end + 2);
            pending_.erase(0, end + 2);
            return line;
        }
        if (!lf_readable(clientFd_, deadline))
            return std::nullopt;
        char buffer[4096];
        const auto count = ::recv(clientFd_, buffer, sizeof buffer, 0);
        if (count <= 0)
            return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
}

bool TinyServer::waitClosed(milliseconds timeout)
{
    const auto deadline = SteadyClock::now() + timeout;
    while (lf_readable(clientFd_, deadline)) {
        char buffer[4096];
        const auto count = ::recv(clientFd_, buffer, sizeof buffer, 0);
        if (count <= 0)
            return true;
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
    return false;
}

void TinyServer::closeClient()
{
    if (clientFd_ >= 0)
        ::close(clientFd_);
    clientFd_ = -1;
    pending_.clear();
}

} // namespace fakert_test
