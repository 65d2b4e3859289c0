// The TCP link on Linux: the process's descriptors, counted and handed out again.

#include "rt_link_fixture.h"

#include <dirent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace traffic_test {

int openDescriptors()
{
    int count = 0;
    if (DIR* folder = ::opendir("/proc/self/fd")) {
        while (::readdir(folder) != nullptr)
            ++count;
        ::closedir(folder);
    }
    return count;
}

} // namespace traffic_test

namespace {

using namespace traffic_test;

// The exit closes the link while the work thread keeps sending: once closed, no send may reach
// a descriptor that the system has handed out again.
TEST_F(RtLink, NoSendReachesADescriptorReusedAfterTheClose)
{
    auto accepting = std::async(std::launch::async, waitForClient);
    TestClient client(port_);
    ASSERT_TRUE(accepting.get());
    std::atomic<bool> closed{false};
    std::atomic<int> sendsAfterClose{0};
    std::thread workThread([&] {
        while (sendsAfterClose.load() < 200) {
            sendDataPacket("Qs123=1\r\n");
            if (closed.load())
                ++sendsAfterClose;
        }
    });
    gf_closeRealTrafficServer();
    // Take the descriptor numbers the link used, and more.
    std::vector<std::array<int, 2>> pairs(16);
    for (auto& pair : pairs)
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair.data()), 0);
    closed = true;
    workThread.join();
    for (const auto& pair : pairs) {
        char byte = 0;
        for (const int fd : pair)
            EXPECT_EQ(::recv(fd, &byte, 1, MSG_DONTWAIT), -1) << "a stray send reached a new descriptor";
    }
    for (const auto& pair : pairs)
        for (const int fd : pair)
            ::close(fd);
}

} // namespace
