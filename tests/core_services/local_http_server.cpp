#include "local_http_server.h"

#include <stdexcept>

namespace testsupport {

LocalHttpServer::LocalHttpServer()
{
    const int listener = net::gf_openTcpSocket();
    listener_.adopt(listener);
    if (listener == net::kInvalidSocket || !net::gf_bindIpv4(listener, net::kLoopback, 0) ||
        !net::gf_listen(listener) || (port_ = net::gf_localPort(listener)) == 0)
        throw std::runtime_error("cannot start the local HTTP server");
    thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    listener_.close();
    thread_.join();
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
        net::GuardedSocket::Lease lease = listener_.lease();
        const int connection = lease ? net::gf_acceptClient(lease.fd()) : net::kInvalidSocket;
        if (connection == net::kInvalidSocket) {
            if (!listener_.isOpen())
                return;
            continue;
        }
        lease.release();
        answer(connection);
        net::gf_closeDescriptor(connection);
    }
}

void LocalHttpServer::answer(int connection)
{
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const long n = net::gf_receiveBytes(connection, buffer, sizeof buffer);
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
    net::gf_sendAll(connection, bytes);
    if (reply.stall) {
        // Nothing more until the test stops the server.
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stopping_; });
    }
}

} // namespace testsupport
