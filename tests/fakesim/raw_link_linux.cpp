#include "raw_link.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fakesim_test {

struct RawLink::State {
    int fd = -1;
};

RawLink::RawLink(std::uint16_t port) : state_(std::make_unique<State>())
{
    state_->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (state_->fd < 0 || ::connect(state_->fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
}

RawLink::RawLink(const std::filesystem::path& pipe) : state_(std::make_unique<State>())
{
    state_->fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = pipe.string();
    std::memcpy(address.sun_path, text.c_str(), std::min(text.size() + 1, sizeof address.sun_path - 1));
    if (state_->fd < 0 || ::connect(state_->fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to " + text);
}

RawLink::~RawLink()
{
    if (state_->fd >= 0)
        ::close(state_->fd);
}

void RawLink::send(std::span<const std::uint8_t> bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(state_->fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("send failed");
        sent += static_cast<std::size_t>(n);
    }
}

RawLink::Got RawLink::receive(std::vector<std::uint8_t>& into, std::chrono::milliseconds timeout)
{
    pollfd pfd{state_->fd, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(std::max<std::int64_t>(0, timeout.count()))) <= 0)
        return Got::Nothing;
    std::uint8_t chunk[65536];
    const ssize_t n = ::recv(state_->fd, chunk, sizeof chunk, 0);
    if (n <= 0)
        return Got::Closed;
    into.insert(into.end(), chunk, chunk + n);
    return Got::Bytes;
}

std::filesystem::path testPipe(const std::filesystem::path& folder)
{
    return folder / "pipes" / "SimConnect";
}

} // namespace fakesim_test
