#pragma once
// A small HTTP server on 127.0.0.1 for download tests: it answers GET requests by path with a
// status and a body, or stalls (sends part of a body and then nothing) until it is stopped.

#include "platform/net_socket.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class LocalHttpServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
        bool stall = false; // headers and the body, announced one byte longer, then silence
    };

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    void serve(const std::string& path, Reply reply);
    // Runs on the server's thread when a request for `path` has arrived, before it is answered.
    void onRequest(std::function<void(const std::string& path)> hook);
    std::string url(const std::string& path) const; // http://127.0.0.1:<port><path>
    int requests() const { return requests_.load(); }

private:
    void run();
    void answer(int connection);

    net::GuardedSocket listener_; // closed to end the server's accept
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable stopped_; // ends a stalled reply
    bool stopping_ = false;
    std::map<std::string, Reply> replies_;
    std::function<void(const std::string&)> hook_;
    std::atomic<int> requests_{0};
    std::thread thread_;
};

} // namespace testsupport
