// Dispatch of received messages, the notification targets, the end of a failed or closed
// connection, and the layouts through which the program reads the messages.

#include "sc_test_server.h"
#include "simconnect/simconnect_connection.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace qmx;
using sctest::Bytes;
using sctest::message;
using sctest::u32le;
using sctest::operator+;

namespace {

class CountingWindow : public platform::MessageWindow {
public:
    void postMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override
    {
        if (message == 0x8010 && wParam == 0 && lParam == 0)
            ++posted;
    }
    std::atomic<int> posted{0};
};

class DispatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        server = sctest::TestServer::tcp(sctest::Family::IPv4);
        client = sctest::openClient(world, *server);
    }

    sctest::ScWorld world;
    std::unique_ptr<sctest::TestServer> server;
    std::unique_ptr<sctest::Client> client;
};

TEST_F(DispatchTest, MessagesGoToTheProcedureInOrderWithItsContext)
{
    const Bytes first = message(SIMCONNECT_RECV_ID_EVENT, u32le(301) + u32le(201) + u32le(1));
    const Bytes second = message(SIMCONNECT_RECV_ID_QUIT);
    server->send(first + second);
    EXPECT_EQ(client->dispatchUntil(2), S_OK);
    EXPECT_EQ(client->received.messages, (std::vector<Bytes>{first, second}));

    // A null procedure dispatches with the one given before, to the context given now.
    sctest::Received other;
    server->send(second);
    EXPECT_TRUE(client->until([&] {
        return SimConnect_CallDispatch(client->handle, nullptr, &other) != S_OK || !other.messages.empty();
    }));
    EXPECT_EQ(other.messages, std::vector<Bytes>{second});
    EXPECT_EQ(client->received.messages.size(), 2u);
}

TEST_F(DispatchTest, WithoutAnyProcedureDispatchFails)
{
    auto second = sctest::TestServer::tcp(sctest::Family::IPv4);
    auto fresh = sctest::openClient(world, *second);
    EXPECT_EQ(SimConnect_CallDispatch(fresh->handle, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(SimConnect_CallDispatch(nullptr, &sctest::Received::proc, nullptr), E_FAIL);
}

TEST_F(DispatchTest, AnExceptionFromTheProcedurePassesAndTheOtherMessagesStay)
{
    server->send(message(3) + message(4, Bytes(12, 1)));
    ASSERT_EQ(client->dispatchUntil(2), S_OK);
    client->received.messages.clear();
    server->send(message(7, Bytes(12, 2)) + message(3));
    int calls = 0;
    const auto throwing = [](SIMCONNECT_RECV*, std::uint32_t, void* context) {
        ++*static_cast<int*>(context);
        throw std::runtime_error("handler failed");
    };
    bool threw = false;
    EXPECT_TRUE(client->until([&] {
        try {
            SimConnect_CallDispatch(client->handle, throwing, &calls);
        } catch (const std::runtime_error&) {
            threw = true;
        }
        return threw;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(client->dispatchUntil(1), S_OK);
    ASSERT_FALSE(client->received.messages.empty());
    EXPECT_EQ(client->received.messages.back(), message(3));
}

// A simulator that sends faster than the program dispatches fills no memory: beyond either bound
// the queue drops what comes and counts it, and takes messages again once the dispatch has taken
// the earlier ones.
TEST_F(DispatchTest, AFullQueueDropsAndCountsWhatComesBeyondItsBound)
{
    struct Case {
        const char* bound;
        std::size_t messageSize;
        std::size_t kept;
    };
    constexpr std::size_t kLargest = 41088; // the default MaxReceiveSize
    const std::vector<Case> cases{
        {"messages", 16, SimConnectConnection::kQueuedMessageLimit},
        {"bytes", kLargest, SimConnectConnection::kQueuedByteLimit / kLargest},
    };
    constexpr std::size_t kBeyond = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bound);
        auto flooding = sctest::TestServer::tcp(sctest::Family::IPv4);
        auto flooded = sctest::openClient(world, *flooding);
        const Bytes one = message(99, Bytes(c.messageSize - 12, 7));
        Bytes burst;
        for (std::size_t i = 0; i < c.kept + kBeyond; ++i)
            burst.insert(burst.end(), one.begin(), one.end());
        flooding->send(burst);
        std::uint64_t dropped = 0;
        EXPECT_TRUE(flooded->until([&] {
            return gf_scDroppedMessages(flooded->handle, &dropped) == S_OK && dropped == kBeyond;
        })) << dropped;
        EXPECT_EQ(flooded->dispatchUntil(c.kept), S_OK);
        EXPECT_EQ(flooded->received.messages.size(), c.kept);
        flooding->send(one);
        EXPECT_EQ(flooded->dispatchUntil(c.kept + 1), S_OK);
        EXPECT_EQ(flooded->received.messages.size(), c.kept + 1);
        EXPECT_EQ(gf_scDroppedMessages(flooded->handle, &dropped), S_OK);
        EXPECT_EQ(dropped, kBeyond);
    }
}

TEST(NotificationTest, WindowAndEventHearOfMessagesAndOfTheFailure)
{
    sctest::ScWorld world;
    auto server = sctest::TestServer::tcp(sctest::Family::IPv4);
    world.writeConfig(world.current(), "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + server->port() + "\n");
    CountingWindow window;
    platform::SyncEvent event;
    HANDLE handle = nullptr;
    ASSERT_EQ(SimConnect_Open(&handle, "Orvanta_P3D", &window, 0x8010, &event, 0), S_OK);
    ASSERT_TRUE(server->accept());
    ASSERT_EQ(server->read(296).size(), 296u); // unread bytes would turn the close into a reset
    server->send(message(3));
    ASSERT_TRUE(event.waitFor(sctest::kDeadline));
    EXPECT_EQ(window.posted.load(), 1);
    server->closeClient();
    ASSERT_TRUE(event.waitFor(sctest::kDeadline)); // the failure notifies, too
    EXPECT_EQ(window.posted.load(), 2);
    sctest::Received received;
    EXPECT_EQ(SimConnect_CallDispatch(handle, &sctest::Received::proc, &received), kStatusRemoteClosed);
    EXPECT_EQ(received.messages.size(), 1u);
    EXPECT_EQ(SimConnect_Close(handle), S_OK);
}

TEST_F(DispatchTest, AClosedHandleIsRefusedAndItsMessagesAreGone)
{
    server->send(message(3));
    ASSERT_TRUE(client->event.waitFor(sctest::kDeadline));
    ASSERT_EQ(SimConnect_Close(client->handle), S_OK);
    EXPECT_TRUE(server->read(1).empty()); // the simulator sees the end
    EXPECT_EQ(SimConnect_CallDispatch(client->handle, &sctest::Received::proc, &client->received), E_FAIL);
    EXPECT_EQ(SimConnect_AIRemoveObject(client->handle, 5, 105), E_FAIL);
    EXPECT_EQ(SimConnect_Close(client->handle), E_FAIL);
    EXPECT_EQ(SimConnect_Close(nullptr), E_FAIL);
    EXPECT_TRUE(client->received.messages.empty());
    client->handle = nullptr;
}

TEST_F(DispatchTest, DispatchAllUsesEachConnectionsOwnProcedure)
{
    ASSERT_EQ(SimConnect_CallDispatch(client->handle, &sctest::Received::proc, &client->received), S_OK);
    server->send(message(3));
    EXPECT_TRUE(client->until([&] {
        EXPECT_EQ(SimConnect_CallDispatch(nullptr, kDispatchAllProc, kDispatchAllContext), S_OK);
        return !client->received.messages.empty();
    }));
    EXPECT_EQ(client->received.messages, std::vector<Bytes>{message(3)});
}

// ---- layouts: fields placed at their wire offsets read back through the message types

struct Field {
    std::size_t offset;
    Bytes bytes;
};
struct Layout {
    std::string name;
    std::size_t size;
    std::vector<Field> fields;
    std::function<void(const SIMCONNECT_RECV*, std::uint32_t)> check;
};

Bytes lf_f32(float value)
{
    Bytes bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

const std::vector<Layout> kLayouts = {
    {"EXCEPTION", 24, {{12, u32le(22)}, {16, u32le(77)}, {20, u32le(3)}},
     [](const SIMCONNECT_RECV* m, std::uint32_t size) {
         const auto* e = gf_scMessageAs<SIMCONNECT_RECV_EXCEPTION>(m, size);
         ASSERT_NE(e, nullptr);
         EXPECT_EQ(e->dwException, SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED);
         EXPECT_EQ(e->dwSendID, 77u);
         EXPECT_EQ(e->dwIndex, 3u);
     }},
    {"OPEN", 308, {{12, Bytes{'P', '3', 'D', 0}}, {268, u32le(5) + u32le(4) + u32le(38) + u32le(12)}},
     [](const SIMCONNECT_RECV* m, std::uint32_t size) {
         const auto* o = gf_scMessageAs<SIMCONNECT_RECV_OPEN>(m, size);
         ASSERT_NE(o, nullptr);
         EXPECT_STREQ(o->szApplicationName, "P3D");
         EXPECT_EQ(o->dwApplicationVersionMajor, 5u);
         EXPECT_EQ(o->dwApplicationVersionMinor, 4u);
         EXPECT_EQ(o->dwApplicationBuildMajor, 38u);
         EXPECT_EQ(o->dwApplicationBuildMinor, 12u);
     }},
    {"EVENT_OBJECT_ADDREMOVE", 28, {{12, u32le(0)}, {16, u32le(202)}, {20, u32le(1234)}, {24, u32le(2)}},
     [](const SIMCONNECT_RECV* m, std::uint32_t size) {
         const auto* e = gf_scMessageAs<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(m, size);
         ASSERT_NE(e, nullptr);
         EXPECT_EQ(e->uEventID, 202u);
         EXPECT_EQ(e->dwData, 1234u);
         EXPECT_EQ(e->eObjType, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
     }},
    {"EVENT_FRAME", 32, {{12, u32le(7)}, {16, u32le(204)}, {24, lf_f32(29.5f)}},
     [](const SIMCONNECT_RECV* m, std::uint32_t size) {
         const auto* f = gf_scMessageAs<SIMCONNECT_RECV_EVENT_FRAME>(m, size);
         ASSERT_NE(f, nullptr);
         EXPECT_EQ(f->uGroupID, 7u);
         EXPECT_EQ(f->uEventID, 204u);
         EXPECT_EQ(f->fFrameRate, 29.5f);
     }},
    {"SIMOBJECT_DATA", 48,
     {{12, u32le(108) + u32le(1) + u32le(409) + u32le(0) + u32le(1) + u32le(2) + u32le(1)}, {40, u32le(1) + u32le(0)}},
     [](const SIMCONNECT_RECV* m, std::uint32_t size) {
         const auto* d = gf_scMessageAs<SIMCONNECT_RECV_SIMOBJECT_DATA>(m, size);
         ASSERT_NE(d, nullptr);
         EXPECT_EQ(d->dwRequestID, 108u);
         EXPECT_EQ(d->dwObjectID, 1u);
         EXPECT_EQ(d->dwDefineID, 409u);
         EXPECT_EQ(d->dwentrynumber, 1u);
         EXPECT_EQ(d->dwoutof, 2u);
         EXPECT_EQ(d->dwDefineCount, 1u);
         EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&d->dwData) - reinterpret_cast<const std::uint8_t*>(d),
                   kSimObjectDataOffset);
         EXPECT_EQ(d->dwData, 1u);
     }},
    {"short OPEN is refused", 200, {},
     [](const SIMCONNECT_RECV* m, std::uint32_t size) {
         EXPECT_EQ(gf_scMessageAs<SIMCONNECT_RECV_OPEN>(m, size), nullptr);
         EXPECT_NE(gf_scMessageAs<SIMCONNECT_RECV>(m, size), nullptr);
     }},
};

TEST(MessageLayoutTest, FieldsSitAtTheirWireOffsets)
{
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.name);
        // Eight-byte aligned, as the dispatched message buffers are.
        std::vector<std::uint64_t> storage((layout.size + 7) / 8, 0);
        auto* bytes = reinterpret_cast<std::uint8_t*>(storage.data());
        const Bytes header = u32le(static_cast<std::uint32_t>(layout.size)) + u32le(1);
        std::copy(header.begin(), header.end(), bytes);
        for (const Field& field : layout.fields)
            std::copy(field.bytes.begin(), field.bytes.end(), bytes + field.offset);
        layout.check(reinterpret_cast<const SIMCONNECT_RECV*>(bytes), static_cast<std::uint32_t>(layout.size));
    }
}

} // namespace
