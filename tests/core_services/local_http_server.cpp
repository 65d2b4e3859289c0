#include "local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

LocalHttpServer::LocalHttpServer()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot start the local HTTP server");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer()
{
    const char stop = 'x';
    (void)!::write(wake_[1], &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void LocalHttpServer::serve(const std::string& path, Reply reply)
{
    std::lock_guard lock(mutex_);
    replies_[path] = std::move(reply);
}

void LocalHttpServer::onRequest(std::function<void(const std::string&)> hook)
{
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

std::string LocalHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LocalHttpServer::run()
{
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            answer(connection);
            ::close(connection);
        }
    }
}

void LocalHttpServer::answer(int connection)
{
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    ++requests_;
    const std::size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    Reply reply{404, "not found", false};
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = replies_.find(path); it != replies_.end())
            reply = it->second;
        hook = hook_;
    }
    if (hook)
        hook(path);
    const std::size_t announced = reply.body.size() + (reply.stall ? 1 : 0);
    const std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " X\r\nContent-Length: " +
                             std::to_string(announced) + "\r\nConnection: close\r\n\r\n";
    const std::string bytes = head + reply.body;
    (void)!::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (reply.stall) {
        // Nothing more until the test stops the server.
        pollfd wake = {wake_[0], POLLIN, 0};
        ::poll(&wake, 1, -1);
    }
}

} // namespace testsupport
