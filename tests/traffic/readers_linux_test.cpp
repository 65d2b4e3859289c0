// The UDP readers on Linux: a socket changed under the reader through its descriptor.

#include "readers_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

using namespace traffic_test;

// The descriptor of this process's socket bound to the UDP port; -1 when there is none.
int lf_descriptorBoundTo(std::uint16_t port)
{
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_in at{};
        socklen_t length = sizeof at;
        int type = 0;
        socklen_t typeLength = sizeof type;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) == 0 && at.sin_family == AF_INET &&
            ntohs(at.sin_port) == port && ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 &&
            type == SOCK_DGRAM)
            return fd;
    }
    return -1;
}

// A receive that fails over and over (here: a socket made non-blocking under the reader) is
// logged once, and the reader still takes the datagrams that come.
TEST_F(Readers, AReceiveErrorThatPersistsIsLoggedOnceAndTheReaderGoesOn)
{
    const UdpPeer sender;
    startReaders(true, false);
    const std::uint16_t port = trafficReader.boundPort();
    const int fd = lf_descriptorBoundTo(port);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
    // Ends the receive that was blocked before the change; a receive begun after it fails at
    // once, so the error may come before this datagram is counted.
    const std::uint32_t counted = trafficReader.datagramCount() + 1;
    sender.send(port, "wake");
    const std::string error = "Traffic Reader recvfrom failed with error: 10035 Operation would block";
    ASSERT_TRUE(eventually([&] { return log().find(error) != std::string::npos; }));
    ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount() == counted; }));
    sender.send(port, "after the errors");
    ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount() == counted + 1; }));
    const std::string text = log();
    EXPECT_EQ(text.find(error), text.rfind(error)) << "logged once a minute, not once a receive";
}

} // namespace
