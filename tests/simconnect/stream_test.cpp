// What the client makes of the byte stream from the simulator side: well-formed messages are
// dispatched whole, malformed or cut-off streams end the connection with their failure status,
// and a simulator that never answers never holds up the caller.

#include "sc_test_server.h"
#include "simconnect/simconnect_connection.h"
#include "simconnect/simconnect_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

using namespace qmx;
using sctest::Bytes;
using sctest::message;
using sctest::u32le;
using sctest::operator+;

namespace {

Bytes lf_filled(std::size_t size, std::uint8_t value)
{
    return Bytes(size, value);
}

std::uint32_t lf_u32(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes.at(at)) | static_cast<std::uint32_t>(bytes.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(bytes.at(at + 2)) << 16 | static_cast<std::uint32_t>(bytes.at(at + 3)) << 24;
}

struct StreamCase {
    std::string name;
    std::vector<Bytes> messages; // well-formed messages sent first, expected to be dispatched
    Bytes tail;                  // then these bytes
    enum class End { StayOpen, Close, Reset } end;
    HRESULT result; // of the dispatch once everything was taken in
    std::string failure = {}; // the start of the failure's text for the log
    std::string extraConfig = {};
};

const std::vector<StreamCase> kStreams = {
    {"sizes 4 and 8 below a header are skipped, the stream stays in step", {},
     u32le(4) + u32le(8) + u32le(1) + message(4, lf_filled(12, 2)), StreamCase::End::StayOpen, S_OK},
    {"size field of 3", {}, u32le(3) + u32le(0), StreamCase::End::StayOpen, E_ABORT,
     "a malformed message came (size field below 4), status 0x80004004"},
    {"size field of 11 after a good message is skipped", {message(3)}, u32le(11) + lf_filled(7, 1) + message(4, lf_filled(12, 2)),
     StreamCase::End::StayOpen, S_OK},
    {"size field above MaxReceiveSize", {}, u32le(41089) + u32le(1) + u32le(2), StreamCase::End::StayOpen, E_ABORT,
     "a message larger than MaxReceiveSize came, status 0x80004004"},
    {"size field 0xFFFFFFFF", {}, u32le(0xFFFFFFFFu) + lf_filled(64, 0xFF), StreamCase::End::StayOpen, E_ABORT,
     "a message larger than MaxReceiveSize came"},
    {"raised MaxReceiveSize still bounds", {}, u32le(60001) + u32le(1), StreamCase::End::StayOpen, E_ABORT,
     "a message larger than MaxReceiveSize came", "MaxReceiveSize=60000\n"},
    {"message cut off by the simulator closing", {message(4, lf_filled(12, 7))}, u32le(100) + u32le(1) + u32le(2) + lf_filled(30, 9),
     StreamCase::End::Close, kStatusRemoteClosed},
    {"header cut off by the simulator closing", {}, Bytes{0x40, 0x00}, StreamCase::End::Close, kStatusRemoteClosed},
    {"zero-filled stream", {}, lf_filled(10000, 0), StreamCase::End::Close, kStatusRemoteClosed},
    {"connection reset", {message(3)}, {}, StreamCase::End::Reset, kStatusConnectionReset},
    {"filler zeros between messages", {message(4, lf_filled(12, 1)), lf_filled(9, 0) + message(3)}, {},
     StreamCase::End::StayOpen, S_OK},
    {"message larger than the first receive buffer", {message(8, lf_filled(5000, 0x5A))}, {}, StreamCase::End::StayOpen, S_OK},
    {"message up to a raised MaxReceiveSize", {message(8, lf_filled(59988, 0x33))}, {}, StreamCase::End::StayOpen, S_OK, {},
     "MaxReceiveSize=60000\n"},
    {"message over 1 MiB is skipped, the stream stays in step", {message(3)},
     message(8, lf_filled(1500000, 0x11)) + message(4, lf_filled(12, 2)), StreamCase::End::StayOpen, S_OK, {},
     "MaxReceiveSize=3000000\n"},
};

void PrintTo(const StreamCase& stream, std::ostream* out)
{
    *out << stream.name;
}

class StreamTest : public testing::TestWithParam<StreamCase> {};

TEST_P(StreamTest, EndsAsTheStreamSays)
{
    const StreamCase& stream = GetParam();
    sctest::ScWorld world;
    auto server = sctest::TestServer::tcp(sctest::Family::IPv4);
    auto client = sctest::openClient(world, *server, stream.extraConfig);
    Bytes all;
    for (const Bytes& bytes : stream.messages)
        all = all + bytes;
    server->send(all + stream.tail);
    if (stream.end == StreamCase::End::Close)
        server->closeClient();
    if (stream.end == StreamCase::End::Reset)
        server->resetClient();

    std::vector<Bytes> expected;
    for (const Bytes& bytes : stream.messages) // a message after leading filler is dispatched without it
        expected.emplace_back(std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; }), bytes.end());
    if (stream.name.find("skipped") != std::string::npos)
        expected.push_back(message(4, lf_filled(12, 2)));

    const std::size_t awaited = stream.result == S_OK ? expected.size() : expected.size() + 1;
    EXPECT_EQ(client->dispatchUntil(awaited), stream.result);
    EXPECT_EQ(client->received.messages, expected);
    EXPECT_EQ(gf_scFailureText(client->handle).substr(0, stream.failure.size()), stream.failure);
    if (stream.result == S_OK) {
        EXPECT_EQ(gf_scFailureText(client->handle), "");
        return;
    }
    // The connection is over: calls return the stored status and the simulator side sees the end.
    EXPECT_EQ(SimConnect_CallDispatch(client->handle, &sctest::Received::proc, &client->received), stream.result);
    EXPECT_EQ(SimConnect_ClearDataDefinition(client->handle, 1), stream.result);
    if (stream.end == StreamCase::End::StayOpen) {
        EXPECT_TRUE(server->read(1).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamTest, testing::ValuesIn(kStreams),
                         [](const testing::TestParamInfo<StreamCase>& info) {
                             std::string name;
                             for (char c : info.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// Cuts the same stream into reads of every size: the messages come out the same.
TEST(ReceiveBufferTest, MessagesDoNotDependOnHowTheBytesArrive)
{
    const std::vector<Bytes> messages = {message(2, lf_filled(296, 'P')), message(7, lf_filled(8, 1)),
                                         message(8, lf_filled(7000, 0x42)), message(3)};
    const Bytes stream = messages[0] + lf_filled(5, 0) + messages[1] + messages[2] + lf_filled(4, 0) + messages[3];
    for (std::size_t chunk : {1u, 3u, 4u, 13u, 2048u, 4000u, 100000u}) {
        SCOPED_TRACE(chunk);
        SimConnectReceiveBuffer buffer(41088);
        std::vector<Bytes> received;
        for (std::size_t pos = 0; pos < stream.size();) {
            const auto space = buffer.freeSpace();
            ASSERT_FALSE(space.empty());
            const std::size_t count = std::min({chunk, space.size(), stream.size() - pos});
            std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(pos), count, space.begin());
            pos += count;
            ASSERT_EQ(buffer.commit(count, [&](std::vector<std::uint8_t>&& m) { received.push_back(std::move(m)); }),
                      kCloseOrderly);
        }
        EXPECT_EQ(received, messages);
        EXPECT_EQ(buffer.capacity(), 8192u); // grown in 2048-byte steps to hold 7012 bytes
    }
}

// The pipe carries the simulator's messages whole, a long one in several reads, up to the
// simulator's end of the pipe.
TEST(PipeStreamTest, MessagesComeThroughThePipeUntilTheSimulatorEndsIt)
{
    sctest::ScWorld world;
    auto server = sctest::TestServer::pipe("\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect");
    auto client = sctest::openClient(world, *server);
    const std::vector<Bytes> messages = {message(4, lf_filled(12, 7)), message(8, lf_filled(30000, 0x5A)), message(3)};
    server->send(messages[0] + messages[1] + messages[2]);
    server->closeClient();
    EXPECT_EQ(client->dispatchUntil(messages.size() + 1), sctest::kPipeEndStatus);
    EXPECT_EQ(client->received.messages, messages);
}

TEST(UnresponsiveServerTest, ASimulatorThatNeverReadsNeverHoldsTheCaller)
{
    sctest::ScWorld world;
    auto server = sctest::TestServer::tcp(sctest::Family::IPv4);
    world.writeConfig(world.current(), "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + server->port() + "\n");
    HANDLE handle = nullptr;
    // Never accepted: the system completes the connect, nobody reads.
    ASSERT_EQ(SimConnect_Open(&handle, "Orvanta_P3D", nullptr, 0, nullptr, 0), S_OK);
    const Bytes data(4000, 0x77);
    for (int i = 0; i < 4000; ++i) // 16 MB, far more than the socket buffers hold
        ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, 1, 2, 0, 1, 4000, data.data()), S_OK);
    sctest::Received received;
    EXPECT_EQ(SimConnect_CallDispatch(handle, &sctest::Received::proc, &received), S_OK);
    EXPECT_TRUE(received.messages.empty());
    EXPECT_EQ(SimConnect_Close(handle), S_OK);
}

// A transport that notes when its stream is closed, and a block that notes whether that had
// happened when it is freed.
struct ClosingTransport : SimConnectTransport {
    std::atomic<bool> streamClosed{false};
    void onClose(SimConnectCloseReason reason, HRESULT status) override
    {
        SimConnectTransport::onClose(reason, status);
        streamClosed = true;
    }
};

struct WatchedBlock : SimConnectSendBlock {
    WatchedBlock(std::size_t size, ClosingTransport& transport, std::atomic<int>& freed)
        : SimConnectSendBlock(Bytes(size, 0x55), transport.connectNumber()), transport(transport), freed(freed)
    {
    }
    ~WatchedBlock() override { freed = transport.streamClosed ? 1 : -1; }
    ClosingTransport& transport;
    std::atomic<int>& freed; // 1: freed after the close, -1: while the stream was open
};

// A write the simulator never takes is still under way when the simulator goes: the system may
// read from its block until the close has cancelled it, so the block goes only after the close.
TEST(UnresponsiveServerTest, AWriteUnderWayWhenTheSimulatorGoesKeepsItsBlockUntilTheClose)
{
    auto server = sctest::TestServer::tcp(sctest::Family::IPv4);
    std::atomic<int> freed{0};
    ClosingTransport transport;
    ASSERT_TRUE(transport.connect(SimConnectFamily::IPv4, "127.0.0.1", server->port(), 41088, false));
    ASSERT_TRUE(server->accept());
    // Far more than the socket buffers hold: the write cannot end while nobody reads.
    transport.queueSend(std::make_unique<WatchedBlock>(16u << 20, transport, freed));
    const auto deadline = std::chrono::steady_clock::now() + sctest::kDeadline;
    while (transport.writeCalls() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_GT(transport.writeCalls(), 0u);
    server->resetClient();
    while (freed == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(freed, 1);
    EXPECT_FALSE(transport.isConnected());
}

// The request packets the simulator has not taken yet are bounded: beyond either bound of the send
// queue a packet is dropped and counted, but not one whose answer the program waits for (a
// removal, a creation, a data request for an AI object), neither by itself nor among held
// packets: each reaches the simulator once it reads again.
TEST(UnresponsiveServerTest, AFullSendQueueDropsAndCountsAllButTheAwaitedPackets)
{
    struct Case {
        const char* bound;
        std::uint32_t dataSize; // of each position write
    };
    constexpr std::size_t kMostBytes = 64u << 20; // sent at most while waiting for a drop
    constexpr std::size_t kRemoveSize = 24, kCreateSize = 344, kDataRequestSize = 48;
    constexpr std::uint32_t kRemove = 0xF000002Cu, kCreate = 0xF0000029u, kDataRequest = 0xF000000Eu;
    for (const Case& c : {Case{"bytes", 40000}, Case{"blocks", 4}}) {
        SCOPED_TRACE(c.bound);
        sctest::ScWorld world;
        auto server = sctest::TestServer::tcp(sctest::Family::IPv4);
        auto client = sctest::openClient(world, *server);
        const HANDLE handle = client->handle;
        const Bytes data(c.dataSize, 0x77);
        const std::size_t packetSize = 36 + c.dataSize;
        std::size_t sentBytes = 0;
        const auto write = [&] {
            sentBytes += packetSize;
            return SimConnect_SetDataOnSimObject(handle, 402, 7, 0, 1, c.dataSize, data.data());
        };
        std::uint64_t dropped = 0;
        const auto droppedSends = [&] {
            EXPECT_EQ(gf_scDroppedSends(handle, &dropped), S_OK);
            return dropped;
        };
        // Nothing is read: the socket buffers fill, then the queue.
        while (droppedSends() == 0 && sentBytes < kMostBytes)
            ASSERT_EQ(write(), S_OK);
        ASSERT_EQ(dropped, 1u);
        sentBytes -= packetSize;
        EXPECT_LE(scFindConnection(handle)->queuedSendBlocks(), SimConnectTransport::kQueuedSendBlockLimit);
        // Awaited packets by themselves, then among held packets, until the queue (which the I/O
        // thread may still be handing to the socket) refuses the held block but for them.
        const std::uint64_t before = dropped;
        std::map<std::uint32_t, std::vector<std::uint32_t>> awaited; // packet id: object or request ids
        std::size_t userRequests = 0;
        SIMCONNECT_DATA_INITPOSITION position{};
        for (std::uint32_t id = 501; droppedSends() == before && sentBytes < kMostBytes; id += 2) {
            ASSERT_EQ(SimConnect_AIRemoveObject(handle, id, 105), S_OK);
            ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "Boeing 737-800", "N1", &position, id), S_OK);
            ASSERT_EQ(gf_scSetSendAtOnce(handle, false), S_OK);
            ASSERT_EQ(write(), S_OK);
            ASSERT_EQ(SimConnect_AIRemoveObject(handle, id + 1, 105), S_OK);
            ASSERT_EQ(SimConnect_RequestDataOnSimObject(handle, 101, 5, id + 1, SIMCONNECT_PERIOD_ONCE), S_OK);
            ASSERT_EQ(SimConnect_RequestDataOnSimObject(handle, 3, 1, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE),
                      S_OK);
            ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "Airbus A320", "N2", &position, id + 1), S_OK);
            ASSERT_EQ(write(), S_OK);
            ASSERT_EQ(gf_scSetSendAtOnce(handle, true), S_OK);
            awaited[kRemove].insert(awaited[kRemove].end(), {id, id + 1});
            awaited[kCreate].insert(awaited[kCreate].end(), {id, id + 1});
            awaited[kDataRequest].push_back(id + 1);
            ++userRequests;
            sentBytes += 2 * kRemoveSize + 2 * kCreateSize + 2 * kDataRequestSize;
        }
        EXPECT_EQ(dropped, before + 3) << "the two position writes and the user data request of the refused block";

        const std::size_t expected = sentBytes - 2 * packetSize - kDataRequestSize;
        const Bytes stream = server->read(expected);
        ASSERT_EQ(stream.size(), expected);
        std::map<std::uint32_t, std::vector<std::uint32_t>> arrived;
        std::size_t userRequestsArrived = 0;
        for (std::size_t at = 0; at + 16 <= stream.size();) {
            const std::uint32_t size = lf_u32(stream, at);
            ASSERT_GE(size, 16u);
            const std::uint32_t id = lf_u32(stream, at + 8);
            if (id == kRemove)
                arrived[id].push_back(lf_u32(stream, at + 16));
            else if (id == kCreate)
                arrived[id].push_back(lf_u32(stream, at + 340));
            else if (id == kDataRequest && lf_u32(stream, at + 24) != SIMCONNECT_OBJECT_ID_USER)
                arrived[id].push_back(lf_u32(stream, at + 24));
            else if (id == kDataRequest)
                ++userRequestsArrived;
            at += size;
        }
        EXPECT_EQ(arrived, awaited);
        EXPECT_EQ(userRequestsArrived, userRequests - 1);
    }
}

TEST(UnresponsiveServerTest, AConnectThatIsNeverAnsweredGivesUp)
{
    sctest::ScWorld world;
    // A listener whose backlog is full drops further connection requests unanswered.
    auto server = sctest::TestServer::tcp(sctest::Family::IPv4, 0);
    server->fillBacklog(3);
    world.writeConfig(world.current(), "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + server->port() + "\n");
    HANDLE handle = reinterpret_cast<HANDLE>(1);
    EXPECT_EQ(SimConnect_Open(&handle, "Orvanta_P3D", nullptr, 0, nullptr, 0), E_FAIL);
    EXPECT_EQ(handle, nullptr);
}

} // namespace
