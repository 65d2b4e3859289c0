// The socket layer: Winsock texts, and sockets closed by their last user.

#include "platform/net_socket.h"

#include <gtest/gtest.h>

#include <future>

namespace {

// A UDP socket bound to a port of its own: it names a port for as long as it is open.
int boundSocket()
{
    const int fd = net::gf_openUdpSocket();
    EXPECT_TRUE(net::gf_bindIpv4(fd, net::kLoopback, 0));
    return fd;
}

bool isOpenDescriptor(int fd)
{
    return net::gf_localPort(fd) != 0;
}

TEST(NetSocket, WinsockTexts)
{
    EXPECT_EQ(gf_wsaErrorText(10040), "10040 Messenger too long");
    EXPECT_EQ(gf_wsaErrorText(10048), "10048 Address already in use");
    EXPECT_EQ(gf_wsaErrorText(11004), "11004 No host data of that type was found");
    EXPECT_EQ(gf_wsaErrorText(12345), "12345 Unknown errror code");
    EXPECT_EQ(gf_wsaErrorText(0), "0 Unknown errror code");
}

TEST(NetSocket, ALeasedDescriptorIsClosedByItsLastUser)
{
    net::GuardedSocket socket;
    const int fd = boundSocket();
    ASSERT_TRUE(socket.adopt(fd));
    net::GuardedSocket::Lease lease = socket.lease();
    ASSERT_TRUE(lease);
    socket.close();
    EXPECT_FALSE(socket.isOpen());
    EXPECT_FALSE(socket.lease()) << "nothing is lent out once the socket is being closed";
    EXPECT_TRUE(isOpenDescriptor(fd)) << "still held by the lease";
    EXPECT_FALSE(socket.adopt(boundSocket())) << "the old one is still in use";
    lease.release();
    EXPECT_FALSE(isOpenDescriptor(fd));

    const int second = boundSocket();
    EXPECT_TRUE(socket.adopt(second));
    EXPECT_TRUE(socket.isOpen());
    socket.close();
    EXPECT_FALSE(isOpenDescriptor(second)) << "closed at once without a lease";
}

// The readers and the RealTraffic link end their threads this way: a receive or an accept that
// blocks in one thread returns once another thread closes the socket, and the descriptor stays
// valid until the blocked call gives its lease back.
TEST(NetSocket, CloseEndsACallBlockedInAnotherThread)
{
    for (const bool listening : {false, true}) {
        net::GuardedSocket socket;
        const int fd = listening ? net::gf_openTcpSocket() : boundSocket();
        ASSERT_TRUE(socket.adopt(fd));
        if (listening)
            ASSERT_TRUE(net::gf_bindIpv4(fd, net::kLoopback, 0) && net::gf_listen(fd));
        std::promise<void> leased;
        auto blocked = std::async(std::launch::async, [&] {
            net::GuardedSocket::Lease lease = socket.lease();
            leased.set_value();
            char byte = 0;
            return listening ? net::gf_acceptClient(lease.fd()) : net::gf_receiveDatagram(lease.fd(), &byte, 1);
        });
        leased.get_future().wait();
        // Closing before the call blocks must end it as well: no waiting for it to block first.
        socket.close();
        ASSERT_EQ(blocked.wait_for(std::chrono::seconds(20)), std::future_status::ready) << listening;
        EXPECT_LT(blocked.get(), listening ? 0 : 1) << listening;
        EXPECT_FALSE(socket.isOpen());
    }
}

} // namespace
