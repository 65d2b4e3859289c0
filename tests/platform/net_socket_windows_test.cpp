// The socket layer's own record of each Winsock socket: a closed socket's handle value is free
// for the next socket at once, also one that another thread opens while the close goes on.

#include "platform/net_socket.h"
#include "support/test_seams.h"

#include <gtest/gtest.h>

#include <vector>
#include <winsock2.h>

namespace {

int reopened = net::kInvalidSocket;

// Another thread's open, come between the close of `closed` and the end of that close: sockets
// are opened until the system gives one the freed handle value.
void lf_reopenInTheGap(int closed)
{
    net::setSocketClosedHookForTest(nullptr);
    std::vector<int> others;
    for (int i = 0; i < 64 && reopened == net::kInvalidSocket; ++i) {
        const int fd = net::gf_openUdpSocket();
        if (fd == closed)
            reopened = fd;
        else
            others.push_back(fd);
    }
    for (const int fd : others)
        net::gf_closeDescriptor(fd);
}

TEST(NetSocketWindows, ASocketOpenedDuringAnotherOnesCloseKeepsItsEvents)
{
    const int fd = net::gf_openUdpSocket();
    ASSERT_NE(fd, net::kInvalidSocket);
    net::setSocketClosedHookForTest(&lf_reopenInTheGap);
    net::gf_closeDescriptor(fd);
    net::setSocketClosedHookForTest(nullptr);
    ASSERT_EQ(reopened, fd) << "the system never gave the handle value again";
    // Woken, a receive on the new socket ends through its own wake event.
    ASSERT_TRUE(net::gf_bindIpv4(reopened, net::kLoopback, 0));
    net::gf_wakeBlockedCalls(reopened, false);
    char byte = 0;
    EXPECT_EQ(net::gf_receiveDatagram(reopened, &byte, 1), 0);
    EXPECT_EQ(net::gf_lastSocketError(), WSAEINTR) << "the new socket lost its events to the old one's close";
    net::gf_closeDescriptor(reopened);
}

} // namespace
