#include "peers.h"

#include "platform/net_socket.h"

#include <algorithm>
#include <stdexcept>

namespace fakert_test {

namespace {

std::uint16_t lf_bindLoopback(int fd)
{
    if (fd == net::kInvalidSocket || !net::gf_bindIpv4(fd, net::kLoopback, 0))
        throw std::runtime_error("bind to a free port failed");
    return net::gf_localPort(fd);
}

bool lf_readable(int fd, SteadyClock::time_point deadline)
{
    const auto left = std::chrono::ceil<milliseconds>(deadline - SteadyClock::now());
    return net::gf_waitReadable(fd, std::max(left, milliseconds(0)));
}

} // namespace

UdpSink::UdpSink() : fd_(net::gf_openUdpSocket())
{
    port_ = lf_bindLoopback(fd_);
    net::gf_setReceiveBufferSize(fd_, 4 << 20); // whole captures arrive at high speed
}

UdpSink::~UdpSink()
{
    net::gf_closeDescriptor(fd_);
}

std::optional<Datagram> UdpSink::receive(milliseconds timeout)
{
    if (!lf_readable(fd_, SteadyClock::now() + timeout))
        return std::nullopt;
    char buffer[16384];
    const long count = net::gf_receiveDatagram(fd_, buffer, sizeof buffer);
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

TinyServer::TinyServer() : listenFd_(net::gf_openTcpSocket())
{
    port_ = lf_bindLoopback(listenFd_);
}

TinyServer::~TinyServer()
{
    closeClient();
    net::gf_closeDescriptor(listenFd_);
}

void TinyServer::listen()
{
    if (!net::gf_listen(listenFd_))
        throw std::runtime_error("listen failed");
}

bool TinyServer::accept(milliseconds timeout)
{
    if (!lf_readable(listenFd_, SteadyClock::now() + timeout))
        return false;
    closeClient();
    clientFd_ = net::gf_acceptClient(listenFd_);
    return clientFd_ != net::kInvalidSocket;
}

void TinyServer::send(const std::string& bytes)
{
    if (!net::gf_sendAll(clientFd_, bytes))
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
        const long count = net::gf_receiveBytes(clientFd_, buffer, sizeof buffer);
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
        const long count = net::gf_receiveBytes(clientFd_, buffer, sizeof buffer);
        if (count <= 0)
            return true;
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
    return false;
}

void TinyServer::closeClient()
{
    net::gf_closeDescriptor(clientFd_);
    clientFd_ = net::kInvalidSocket;
    pending_.clear();
}

} // namespace fakert_test
