// The bytes of every request packet, the string limits, the send-id counter and the held
// (batched) sending, checked at a test server that reads what the client wrote.

#include "sc_test_server.h"
#include "simconnect/simconnect_connection.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace qmx;
using sctest::Bytes;
using sctest::hex;
using sctest::operator+;

namespace {

Bytes text(const std::string& value)
{
    return Bytes(value.begin(), value.end());
}

// A packet as the simulator must see it: all zero but the header and the listed fields.
struct Golden {
    std::string name;
    std::function<HRESULT(HANDLE, std::uint32_t*)> call;
    std::string header; // size, protocol, packet id
    std::vector<std::pair<std::size_t, Bytes>> fields;
};

Bytes lf_expected(const Golden& golden, std::uint32_t sendId)
{
    const Bytes header = hex(golden.header);
    const std::size_t size = header[0] | header[1] << 8 | header[2] << 16;
    Bytes packet(size, 0);
    std::copy(header.begin(), header.end(), packet.begin());
    const Bytes id = sctest::u32le(sendId);
    std::copy(id.begin(), id.end(), packet.begin() + 12);
    for (const auto& [offset, bytes] : golden.fields)
        std::copy(bytes.begin(), bytes.end(), packet.begin() + static_cast<std::ptrdiff_t>(offset));
    return packet;
}

const SIMCONNECT_DATA_INITPOSITION kPosition{50.5, 8.25, 364.0, -2.5, 0.0, 270.0, 1, 140};
const double kOne = 1.0;
const std::uint32_t kTwoUnits[2] = {1, 2};

const std::vector<Golden> kGoldenPackets = {
    {"MapClientEventToSimEvent", [](HANDLE h, std::uint32_t* id) { return SimConnect_MapClientEventToSimEvent(h, 207, "BEACON_LIGHTS_SET", id); },
     "14 01 00 00 23 00 00 00 04 00 00 F0", {{16, hex("CF 00 00 00")}, {20, text("BEACON_LIGHTS_SET")}}},
    {"TransmitClientEvent", [](HANDLE h, std::uint32_t* id) { return SimConnect_TransmitClientEvent(h, 0x01020304, 218, 16383, 301, 0x10, id); },
     "24 00 00 00 23 00 00 00 05 00 00 F0",
     {{16, hex("04 03 02 01 DA 00 00 00 FF 3F 00 00 2D 01 00 00 10 00 00 00")}}},
    {"AddClientEventToNotificationGroup", [](HANDLE h, std::uint32_t* id) { return SimConnect_AddClientEventToNotificationGroup(h, 301, 208, true, id); },
     "1C 00 00 00 23 00 00 00 07 00 00 F0", {{16, hex("2D 01 00 00 D0 00 00 00 01 00 00 00")}}},
    {"SetNotificationGroupPriority", [](HANDLE h, std::uint32_t* id) { return SimConnect_SetNotificationGroupPriority(h, 301, 1, id); },
     "18 00 00 00 23 00 00 00 09 00 00 F0", {{16, hex("2D 01 00 00 01 00 00 00")}}},
    {"AddToDataDefinition", [](HANDLE h, std::uint32_t* id) { return SimConnect_AddToDataDefinition(h, 403, "Plane Latitude", "degree", SIMCONNECT_DATATYPE_FLOAT64, 0.5f, SIMCONNECT_UNUSED, id); },
     "20 02 00 00 23 00 00 00 0C 00 00 F0",
     {{16, hex("93 01 00 00")}, {20, text("Plane Latitude")}, {276, text("degree")},
      {532, hex("04 00 00 00 00 00 00 3F FF FF FF FF")}}},
    {"AddToDataDefinition without units", [](HANDLE h, std::uint32_t* id) { return SimConnect_AddToDataDefinition(h, 407, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV, 0, SIMCONNECT_UNUSED, id); },
     "20 02 00 00 23 00 00 00 0C 00 00 F0",
     {{16, hex("97 01 00 00")}, {20, text("TITLE")}, {532, hex("0B 00 00 00 00 00 00 00 FF FF FF FF")}}},
    {"ClearDataDefinition", [](HANDLE h, std::uint32_t* id) { return SimConnect_ClearDataDefinition(h, 402, id); },
     "14 00 00 00 23 00 00 00 0D 00 00 F0", {{16, hex("92 01 00 00")}}},
    {"RequestDataOnSimObject", [](HANDLE h, std::uint32_t* id) { return SimConnect_RequestDataOnSimObject(h, 108, 409, 7, SIMCONNECT_PERIOD_SECOND, 2, 3, 4, 5, id); },
     "30 00 00 00 23 00 00 00 0E 00 00 F0",
     {{16, hex("6C 00 00 00 99 01 00 00 07 00 00 00 04 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 05 00 00 00")}}},
    {"RequestDataOnSimObjectType", [](HANDLE h, std::uint32_t* id) { return SimConnect_RequestDataOnSimObjectType(h, 101, 404, 200000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT, id); },
     "20 00 00 00 23 00 00 00 0F 00 00 F0", {{16, hex("65 00 00 00 94 01 00 00 40 0D 03 00 02 00 00 00")}}},
    {"SetDataOnSimObject with array count 0", [](HANDLE h, std::uint32_t* id) { return SimConnect_SetDataOnSimObject(h, 402, 0x0A0B0C0D, 0, 0, 8, &kOne, id); },
     "2C 00 00 00 23 00 00 00 10 00 00 F0",
     {{16, hex("92 01 00 00 0D 0C 0B 0A 00 00 00 00 01 00 00 00 08 00 00 00 00 00 00 00 00 00 F0 3F")}}},
    {"SetDataOnSimObject with two units", [](HANDLE h, std::uint32_t* id) { return SimConnect_SetDataOnSimObject(h, 401, 9, 1, 2, 4, kTwoUnits, id); },
     "2C 00 00 00 23 00 00 00 10 00 00 F0",
     {{16, hex("91 01 00 00 09 00 00 00 01 00 00 00 02 00 00 00 04 00 00 00 01 00 00 00 02 00 00 00")}}},
    {"SubscribeToSystemEvent", [](HANDLE h, std::uint32_t* id) { return SimConnect_SubscribeToSystemEvent(h, 204, "Frame", id); },
     "14 01 00 00 23 00 00 00 17 00 00 F0", {{16, hex("CC 00 00 00")}, {20, text("Frame")}}},
    {"UnsubscribeFromSystemEvent", [](HANDLE h, std::uint32_t* id) { return SimConnect_UnsubscribeFromSystemEvent(h, 201, id); },
     "14 00 00 00 23 00 00 00 18 00 00 F0", {{16, hex("C9 00 00 00")}}},
    {"AICreateNonATCAircraft", [](HANDLE h, std::uint32_t* id) { return SimConnect_AICreateNonATCAircraft(h, "Airbus A320 Lufthansa", "DLH4AB", &kPosition, 104, id); },
     "58 01 00 00 23 00 00 00 29 00 00 F0",
     {{16, text("Airbus A320 Lufthansa")}, {272, text("DLH4AB")},
      {284, hex("00 00 00 00 00 40 49 40 00 00 00 00 00 80 20 40 00 00 00 00 00 C0 76 40")},
      {308, hex("00 00 00 00 00 00 04 C0 00 00 00 00 00 00 00 00 00 00 00 00 00 E0 70 40")},
      {332, hex("01 00 00 00 8C 00 00 00 68 00 00 00")}}},
    {"AIReleaseControl", [](HANDLE h, std::uint32_t* id) { return SimConnect_AIReleaseControl(h, 0x11223344, 103, id); },
     "18 00 00 00 23 00 00 00 2B 00 00 F0", {{16, hex("44 33 22 11 67 00 00 00")}}},
    {"AIRemoveObject", [](HANDLE h, std::uint32_t* id) { return SimConnect_AIRemoveObject(h, 0x55, 105, id); },
     "18 00 00 00 23 00 00 00 2C 00 00 F0", {{16, hex("55 00 00 00 69 00 00 00")}}},
    {"AISetAircraftFlightPlan", [](HANDLE h, std::uint32_t* id) { return SimConnect_AISetAircraftFlightPlan(h, 0x66, "/home/u/orig_dest/DLH4AB", 110, id); },
     "1C 01 00 00 23 00 00 00 2D 00 00 F0", {{16, hex("66 00 00 00")}, {20, text("/home/u/orig_dest/DLH4AB")}, {280, hex("6E 00 00 00")}}},
};

class PacketTest : public testing::Test {
protected:
    void SetUp() override
    {
        server = sctest::TestServer::tcp(sctest::Family::IPv4);
        client = sctest::openClient(world, *server);
    }

    // The next `size` bytes the server receives.
    Bytes next(std::size_t size) { return server->read(size); }

    sctest::ScWorld world;
    std::unique_ptr<sctest::TestServer> server;
    std::unique_ptr<sctest::Client> client;
};

TEST_F(PacketTest, EveryRequestPacketHasItsLayout)
{
    const Golden open{"Open", nullptr, "28 01 00 00 23 00 00 00 01 00 00 F0",
                      {{16, text("Orvanta_P3D")}, {276, hex("00 44 33 50 05 00 00 00 03 00 00 00")}}};
    EXPECT_EQ(client->openPacket, lf_expected(open, 1));

    std::uint32_t expectedId = 1;
    for (const Golden& golden : kGoldenPackets) {
        SCOPED_TRACE(golden.name);
        std::uint32_t sendId = 0;
        ASSERT_EQ(golden.call(client->handle, &sendId), S_OK);
        EXPECT_EQ(sendId, ++expectedId);
        const Bytes expected = lf_expected(golden, expectedId);
        EXPECT_EQ(next(expected.size()), expected);
    }
    std::uint32_t last = 0;
    ASSERT_EQ(SimConnect_GetLastSentPacketID(client->handle, &last), S_OK);
    EXPECT_EQ(last, expectedId);
}

// A call whose string has `length` characters.
struct StringLimit {
    std::string name;
    std::size_t longestThatFits;
    std::size_t stringOffset;
    std::function<HRESULT(HANDLE, const char*)> call;
};

const std::vector<StringLimit> kStringLimits = {
    {"datum name", 255, 20, [](HANDLE h, const char* s) { return SimConnect_AddToDataDefinition(h, 1, s, "feet"); }},
    {"units name", 255, 276, [](HANDLE h, const char* s) { return SimConnect_AddToDataDefinition(h, 1, "ALT", s); }},
    {"client event name", 255, 20, [](HANDLE h, const char* s) { return SimConnect_MapClientEventToSimEvent(h, 1, s); }},
    {"system event name", 255, 20, [](HANDLE h, const char* s) { return SimConnect_SubscribeToSystemEvent(h, 1, s); }},
    {"container title", 255, 16, [](HANDLE h, const char* s) { return SimConnect_AICreateNonATCAircraft(h, s, "N1", &kPosition, 1); }},
    {"tail number", 11, 272, [](HANDLE h, const char* s) { return SimConnect_AICreateNonATCAircraft(h, "T", s, &kPosition, 1); }},
    {"flight-plan path", 259, 20, [](HANDLE h, const char* s) { return SimConnect_AISetAircraftFlightPlan(h, 1, s, 1); }},
};

TEST_F(PacketTest, StringsUpToTheirFieldWidthMinusOneAreSentLongerOnesSendNothing)
{
    const auto connection = scFindConnection(client->handle);
    for (const StringLimit& limit : kStringLimits) {
        SCOPED_TRACE(limit.name);
        const std::string fits(limit.longestThatFits, 'x');
        const std::string tooLong(limit.longestThatFits + 1, 'y');
        ASSERT_EQ(limit.call(client->handle, fits.c_str()), S_OK);
        std::uint32_t sentId = 0;
        SimConnect_GetLastSentPacketID(client->handle, &sentId);
        const Bytes header = next(4);
        ASSERT_EQ(header.size(), 4u);
        const Bytes packet = header + next((header[0] | header[1] << 8) - 4u);
        EXPECT_EQ(Bytes(packet.begin() + limit.stringOffset, packet.begin() + limit.stringOffset + fits.size() + 1),
                  text(fits) + Bytes{0});

        // Held, so that a partly built packet would stay visible in the send buffer.
        ASSERT_EQ(gf_scSetSendAtOnce(client->handle, false), S_OK);
        EXPECT_EQ(limit.call(client->handle, tooLong.c_str()), E_INSUFFICIENT_BUFFER);
        EXPECT_EQ(connection->pendingBytes(), 0u);
        std::uint32_t afterId = 0;
        SimConnect_GetLastSentPacketID(client->handle, &afterId);
        EXPECT_EQ(afterId, sentId);
        ASSERT_EQ(gf_scSetSendAtOnce(client->handle, true), S_OK);

        // The next bytes on the wire are the next good packet, with the next send id.
        ASSERT_EQ(SimConnect_ClearDataDefinition(client->handle, 9), S_OK);
        const Bytes probe = next(20);
        ASSERT_EQ(probe.size(), 20u);
        EXPECT_EQ(Bytes(probe.begin() + 8, probe.begin() + 16), hex("0D 00 00 F0") + sctest::u32le(sentId + 1));
    }
}

TEST_F(PacketTest, SendIdWrapsToOneNeverZero)
{
    {
        std::lock_guard lock(gf_scSendLock());
        scFindConnection(client->handle)->setLastSendId(0xFFFFFFFEu);
    }
    std::uint32_t ids[3] = {};
    for (std::uint32_t& id : ids)
        ASSERT_EQ(SimConnect_UnsubscribeFromSystemEvent(client->handle, 201, &id), S_OK);
    EXPECT_EQ(ids[0], 0xFFFFFFFFu);
    EXPECT_EQ(ids[1], 1u);
    EXPECT_EQ(ids[2], 2u);
    for (std::uint32_t id : ids)
        EXPECT_EQ(Bytes(next(20)).at(12), static_cast<std::uint8_t>(id));
    std::uint32_t last = 0;
    ASSERT_EQ(SimConnect_GetLastSentPacketID(client->handle, &last), S_OK);
    EXPECT_EQ(last, 2u);
}

TEST_F(PacketTest, RefusedCallsReturnTheirResultAndSendNothing)
{
    std::uint32_t id = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(client->handle, nullptr), E_FAIL);
    EXPECT_EQ(SimConnect_GetLastSentPacketID(nullptr, &id), E_FAIL);
    EXPECT_EQ(SimConnect_ClearDataDefinition(nullptr, 1), E_FAIL);
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(client->handle, "T", "N1", nullptr, 1), E_INVALIDARG);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(client->handle, 1, 1, 0, 1, 8, nullptr), E_INVALIDARG);
    // 36 + 41053 bytes is one more than the send buffer holds; 41052 fits.
    const std::vector<std::uint8_t> data(41053, 0xAB);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(client->handle, 1, 1, 0, 1, 41053, data.data()), E_FAIL);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(client->handle, 1, 1, 0, 0x10000, 0x10000, data.data()), E_FAIL);
    ASSERT_EQ(SimConnect_SetDataOnSimObject(client->handle, 1, 1, 0, 1, 41052, data.data(), &id), S_OK);
    EXPECT_EQ(id, 2u); // the refused calls used no send id
    const Bytes packet = next(41088);
    ASSERT_EQ(packet.size(), 41088u);
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 4), hex("80 A0 00 00"));
    EXPECT_EQ(packet.back(), 0xAB);
}

// Builds one frame's worth of position writes.
void lf_positions(HANDLE handle, int count)
{
    for (int i = 0; i < count; ++i) {
        const double pose[8] = {50.0 + i, 8.0, 0.01, 0.02, 1.5, 1000.0 + i, 5.0, 250.0};
        ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, 402, 100 + i, 0, 0, sizeof(pose), pose), S_OK);
    }
}

// Over TCP; the simulator's pipe takes one packet per message, so there each is still its own write.
TEST_F(PacketTest, HeldPacketsLeaveInOneWriteWithTheSameBytes)
{
    constexpr int kPoses = 1000; // a frame of a thousand objects: 100,000 bytes in one write
    auto other = sctest::TestServer::tcp(sctest::Family::IPv4);
    auto separate = sctest::openClient(world, *other);
    lf_positions(separate->handle, kPoses);
    const Bytes oneByOne = other->read(kPoses * 100);
    ASSERT_EQ(oneByOne.size(), kPoses * 100u);

    // A name of this process's own: the pipes of Windows are shared by every process.
    const std::string pipeName = "Orvanta held packets " + std::to_string(::getpid());
    auto pipe = sctest::TestServer::pipe("\\\\.\\pipe\\" + pipeName);
    auto pipeClient = sctest::openClient(world, *pipe, "Port=" + pipeName + "\n");
    struct Case {
        HANDLE handle;
        sctest::TestServer& server;
        bool writePerPacket; // else one write for all
    };
    for (const Case& c : {Case{client->handle, *server, false}, Case{pipeClient->handle, *pipe, true}}) {
        SCOPED_TRACE(c.server.isPipe() ? "pipe" : "tcp");
        const auto connection = scFindConnection(c.handle);
        ASSERT_TRUE(connection->waitSent(std::chrono::seconds(20)));
        const std::uint64_t writesBefore = connection->writeCalls();
        ASSERT_EQ(gf_scSetSendAtOnce(c.handle, false), S_OK);
        lf_positions(c.handle, kPoses);
        ASSERT_EQ(gf_scFlush(c.handle), S_OK);
        EXPECT_EQ(c.server.read(kPoses * 100), oneByOne);
        ASSERT_TRUE(connection->waitSent(std::chrono::seconds(20)));
        // A write that the system takes only in part goes on in a further write.
        const std::uint64_t writes = connection->writeCalls() - writesBefore;
        if (c.writePerPacket)
            EXPECT_GE(writes, std::uint64_t{kPoses});
        else
            EXPECT_EQ(writes, 1u);
        ASSERT_EQ(gf_scSetSendAtOnce(c.handle, true), S_OK);
    }
}

TEST_F(PacketTest, HeldPacketsThatOverfillTheBufferLeaveBeforeTheNextOne)
{
    ASSERT_EQ(gf_scSetSendAtOnce(client->handle, false), S_OK);
    constexpr int kFit = static_cast<int>(qmx::SimConnectConnection::kHeldBufferLimit / 100); // 100-byte packets
    lf_positions(client->handle, kFit + 1);
    const auto connection = scFindConnection(client->handle);
    EXPECT_EQ(connection->pendingBytes(), 100u);
    const Bytes first = next(kFit * 100);
    ASSERT_EQ(first.size(), kFit * 100u);
    // The last packet of the first block is position kFit, send id 2 + kFit - 1.
    EXPECT_EQ(Bytes(first.end() - 100 + 12, first.end() - 100 + 16), sctest::u32le(1 + kFit));
    ASSERT_EQ(SimConnect_Close(client->handle), S_OK); // sends the held rest
    client->handle = nullptr;
    EXPECT_EQ(next(100).size(), 100u);
}

} // namespace
