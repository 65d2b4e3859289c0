// The socket layer: Winsock codes and texts, and sockets closed by their last user.

#include "platform/net_socket.h"
#include "traffic_fixture.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {


bool isOpenDescriptor(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(NetSocket, WinsockCodesAndTexts)
{
    EXPECT_EQ(gf_wsaErrorText(10040), "10040 Messenger too long");
    EXPECT_EQ(gf_wsaErrorText(10048), "10048 Address already in use");
    EXPECT_EQ(gf_wsaErrorText(11004), "11004 No host data of that type was found");
    EXPECT_EQ(gf_wsaErrorText(12345), "12345 Unknown errror code");
    EXPECT_EQ(gf_wsaErrorText(0), "0 Unknown errror code");

    const std::vector<std::pair<int, std::int32_t>> codes{
        {EADDRINUSE, 10048}, {ECONNRESET, 10054}, {EPIPE, 10054}, {ECONNREFUSED, 10061},
        {EAGAIN, 10035},     {EINVAL, 10022},     {ENOTSOCK, 10038}, {EMSGSIZE, 10040},
        {ECANCELED, 995},    {ECONNABORTED, 10053}, {EHOSTUNREACH, 10065},
    };
    for (const auto& [errnoValue, code] : codes)
        EXPECT_EQ(net::gf_wsaCodeOf(errnoValue), code) << errnoValue;
    EXPECT_EQ(net::gf_wsaCodeOfAddrInfo(EAI_SERVICE), 10109);
    EXPECT_EQ(net::gf_wsaCodeOfAddrInfo(EAI_NONAME), 11001);
}

TEST(NetSocket, ALeasedDescriptorIsClosedByItsLastUser)
{
    net::GuardedSocket socket;
    const int fd = net::gf_openSocket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_TRUE(socket.adopt(fd));
    net::GuardedSocket::Lease lease = socket.lease();
    ASSERT_TRUE(lease);
    socket.close();
    EXPECT_FALSE(socket.isOpen());
    EXPECT_FALSE(socket.lease()) << "nothing is lent out once the socket is being closed";
    EXPECT_TRUE(isOpenDescriptor(fd)) << "still held by the lease";
    EXPECT_FALSE(socket.adopt(net::gf_openSocket(AF_INET, SOCK_DGRAM, 0))) << "the old one is still in use";
    lease.release();
    EXPECT_FALSE(isOpenDescriptor(fd));

    const int second = net::gf_openSocket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_TRUE(socket.adopt(second));
    EXPECT_TRUE(socket.isOpen());
    socket.close();
    EXPECT_FALSE(isOpenDescriptor(second)) << "closed at once without a lease";
}

} // namespace
