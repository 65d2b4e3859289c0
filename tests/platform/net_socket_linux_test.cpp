// The Winsock codes that Linux errno values and getaddrinfo results are reported with.

#include "platform/net_socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <utility>
#include <vector>

namespace {

TEST(NetSocket, ErrnoValuesBecomeWinsockCodes)
{
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

} // namespace
