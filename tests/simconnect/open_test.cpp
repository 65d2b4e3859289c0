// Which transport SimConnect_Open reaches, in which order it tries them, and how it refuses.

#include "sc_test_server.h"

#include <gtest/gtest.h>

using namespace qmx;
using sctest::TestServer;

namespace {

const std::string kDefaultPipe = "\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect";

// Opens with configIndex; on success checks that `server` got the connection and the Open packet.
HRESULT lf_openAt(TestServer* server, std::uint32_t configIndex = 0, const char* name = "Orvanta_P3D")
{
    HANDLE handle = reinterpret_cast<HANDLE>(1);
    const HRESULT result = SimConnect_Open(&handle, name, nullptr, 0, nullptr, configIndex);
    if (result != S_OK) {
        EXPECT_EQ(handle, nullptr);
        return result;
    }
    if (server == nullptr) {
        ADD_FAILURE() << "connected to an unexpected server";
    } else {
        EXPECT_TRUE(server->accept());
        const sctest::Bytes packet = server->read(296);
        EXPECT_EQ(packet.size(), 296u);
        EXPECT_EQ(packet.at(8), 0x01);
    }
    SimConnect_Close(handle);
    return result;
}

TEST(OpenTest, WithoutSimConnectCfgTheDefaultPipeIsTried)
{
    sctest::ScWorld world;
    auto pipe = TestServer::pipe(kDefaultPipe);
    EXPECT_EQ(lf_openAt(pipe.get()), S_OK);
}

TEST(OpenTest, AConfiguredPipeNameIsUsed)
{
    sctest::ScWorld world;
    world.writeConfig(world.documents(), "[SimConnect]\nProtocol=Pipe\nPort=Custom SimConnect\n");
    auto pipe = TestServer::pipe("\\\\.\\pipe\\Custom SimConnect");
    EXPECT_EQ(lf_openAt(pipe.get()), S_OK);
}

TEST(OpenTest, WithoutPipeTheRegistryPortsAreTriedIPv6First)
{
    sctest::ScWorld world;
    auto v6 = TestServer::tcp(sctest::Family::IPv6);
    auto v4 = TestServer::tcp(sctest::Family::IPv4);
    world.writeRegistryPorts(v6->port(), v4->port());
    EXPECT_EQ(lf_openAt(v6.get()), S_OK);
    EXPECT_FALSE(v4->hasPendingClient());
}

TEST(OpenTest, IPv4FollowsWhenIPv6IsMissingOrRefused)
{
    sctest::ScWorld world;
    auto v4 = TestServer::tcp(sctest::Family::IPv4);
    world.writeRegistryPorts("", v4->port());
    EXPECT_EQ(lf_openAt(v4.get()), S_OK);
    world.writeRegistryPorts(sctest::unusedPort(sctest::Family::IPv6), v4->port());
    EXPECT_EQ(lf_openAt(v4.get()), S_OK);
}

TEST(OpenTest, ConfiguredTcpIsUsedAndAFailedLocalTcpFallsBackToTheDefaultPipe)
{
    sctest::ScWorld world;
    auto v6 = TestServer::tcp(sctest::Family::IPv6);
    world.writeConfig(world.home(), "[SimConnect]\nProtocol=IPv6\nAddress=::1\nPort=" + v6->port() + "\n");
    EXPECT_EQ(lf_openAt(v6.get()), S_OK);

    world.writeConfig(world.home(), "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + sctest::unusedPort(sctest::Family::IPv4) + "\n");
    auto pipe = TestServer::pipe(kDefaultPipe);
    EXPECT_EQ(lf_openAt(pipe.get()), S_OK);
}

TEST(OpenTest, AnAddressOfAnotherMachineMakesTheFirstFailureFinal)
{
    sctest::ScWorld world;
    auto v4 = TestServer::tcp(sctest::Family::IPv4);
    world.writeRegistryPorts("", v4->port());
    world.writeConfig(world.current(), "[SimConnect]\nProtocol=Pipe\nAddress=simhost\n");
    EXPECT_EQ(lf_openAt(nullptr), E_FAIL);
    world.writeConfig(world.current(), "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.2\nPort=" + sctest::unusedPort(sctest::Family::IPv4) + "\n");
    auto pipe = TestServer::pipe(kDefaultPipe);
    EXPECT_EQ(lf_openAt(nullptr), E_FAIL);
    EXPECT_FALSE(v4->hasPendingClient());
    EXPECT_FALSE(pipe->hasPendingClient());
}

TEST(OpenTest, NothingReachableFails)
{
    sctest::ScWorld world;
    world.writeRegistryPorts(sctest::unusedPort(sctest::Family::IPv6), sctest::unusedPort(sctest::Family::IPv4));
    EXPECT_EQ(lf_openAt(nullptr), E_FAIL);
}

TEST(OpenTest, ConfigurationIndexSelectsItsSection)
{
    sctest::ScWorld world;
    auto v4 = TestServer::tcp(sctest::Family::IPv4);
    world.writeConfig(world.current(), "[SimConnect]\nProtocol=Pipe\nAddress=simhost\n\n[SimConnect.1]\nProtocol=IPv4\n"
                                       "Address=127.0.0.1\nPort=" + v4->port() + "\n");
    EXPECT_EQ(lf_openAt(v4.get(), 1), S_OK);
    EXPECT_EQ(lf_openAt(nullptr, 2), E_INVALIDARG);
    // 0xFFFFFFFF ignores SimConnect.cfg: the default pipe.
    auto pipe = TestServer::pipe(kDefaultPipe);
    EXPECT_EQ(lf_openAt(pipe.get(), 0xFFFFFFFFu), S_OK);
}

TEST(OpenTest, BadArgumentsAreRefusedBeforeConnecting)
{
    sctest::ScWorld world;
    auto pipe = TestServer::pipe(kDefaultPipe);
    EXPECT_EQ(SimConnect_Open(nullptr, "Orvanta_P3D", nullptr, 0, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(lf_openAt(nullptr, 0, nullptr), E_INVALIDARG);
    const std::string tooLong(256, 'n');
    EXPECT_EQ(lf_openAt(nullptr, 0, tooLong.c_str()), E_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(pipe->hasPendingClient());
    const std::string longest(255, 'n');
    EXPECT_EQ(lf_openAt(pipe.get(), 0, longest.c_str()), S_OK);
}

} // namespace
