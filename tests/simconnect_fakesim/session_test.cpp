#include "fakesim.h"
#include "served_pipe.h"
#include "simconnect/simconnect.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <vector>

using namespace qmx;
using namespace std::chrono_literals;
using testsupport::ScopedEnv;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace {

struct Received {
    bool opened = false;
    std::string applicationName;
    std::vector<std::array<double, 3>> positions; // latitude, longitude, altitude of each reply
};

void lf_collect(SIMCONNECT_RECV* data, std::uint32_t size, void* context)
{
    auto& received = *static_cast<Received*>(context);
    if (data->dwID == SIMCONNECT_RECV_ID_OPEN) {
        const auto* open = gf_scMessageAs<SIMCONNECT_RECV_OPEN>(data, size);
        ASSERT_NE(open, nullptr);
        received.opened = true;
        received.applicationName = open->szApplicationName;
    } else if (data->dwID == SIMCONNECT_RECV_ID_SIMOBJECT_DATA) {
        ASSERT_GE(size, kSimObjectDataOffset + 3 * sizeof(double));
        std::array<double, 3> position{};
        std::memcpy(position.data(), reinterpret_cast<const char*>(data) + kSimObjectDataOffset, sizeof position);
        received.positions.push_back(position);
    }
}

enum class Transport { Tcp, Pipe };

// A working folder with SimConnect.cfg, empty home and documents folders so that no other
// SimConnect.cfg is found, and the runtime folder where the pipe's socket lies on Linux.
class SimConnectSession : public ::testing::TestWithParam<Transport> {
protected:
    TempFolder folder{true};
    ScopedEnv home{"HOME", (folder / "home").string()};
    ScopedEnv documents{"XDG_DOCUMENTS_DIR", (folder / "documents").string()};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", (folder / "run").string()};
    ScopedEnv wine{"WINEPREFIX", (folder / "wine").string()};

    void SetUp() override
    {
        for (const char* name : {"home", "documents", "run"})
            std::filesystem::create_directories(folder / name);
    }
};

} // namespace

TEST_P(SimConnectSession, OpenThreeOneSecondRepliesAndClose)
{
    fakesim::Config config;
    config.secondLength = 100ms;
    config.tracePath = folder / "trace.jsonl";
    if (GetParam() == Transport::Tcp) {
        config.tcpPort = 0;
    } else {
        config.listenTcp = false;
        config.pipePath = servedPipe("\\\\.\\pipe\\Orvanta Test\\SimConnect");
    }
    auto sim = std::make_unique<fakesim::FakeSim>(config);
    if (GetParam() == Transport::Tcp)
        writeFile(folder / "SimConnect.cfg",
                  "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=" + std::to_string(sim->port()) + "\r\n");
    else
        writeFile(folder / "simconnect.CFG", "[SimConnect]\nProtocol=Pipe\nPort=Orvanta Test\\SimConnect\n");

    platform::SyncEvent event;
    HANDLE handle = nullptr;
    ASSERT_EQ(SimConnect_Open(&handle, "Orvanta_P3D", nullptr, 0, &event, 0), S_OK);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(SimConnect_AddToDataDefinition(handle, 1, "PLANE LATITUDE", "degrees"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(handle, 1, "PLANE LONGITUDE", "degrees"), S_OK);
    ASSERT_EQ(SimConnect_AddToDataDefinition(handle, 1, "PLANE ALTITUDE", "feet"), S_OK);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(handle, 7, 1, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND), S_OK);

    Received received;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (received.positions.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        event.waitFor(200ms);
        ASSERT_EQ(SimConnect_CallDispatch(handle, lf_collect, &received), S_OK);
    }
    EXPECT_TRUE(received.opened);
    EXPECT_EQ(received.applicationName, "Lockheed Martin Prepar3D v5");
    ASSERT_GE(received.positions.size(), 3u);
    for (const auto& position : received.positions) {
        EXPECT_NEAR(position[0], 33.9425, 1e-9);
        EXPECT_NEAR(position[1], -118.408, 1e-9);
        EXPECT_NEAR(position[2], 125.0, 1e-9);
    }
    EXPECT_EQ(SimConnect_Close(handle), S_OK);
    ASSERT_TRUE(sim->waitUntil([](const fakesim::Status& s) { return s.connections == 0; }, 10s));
    sim.reset();

    // The stand-in's trace: one JSON object per line, the session's requests among them.
    std::ifstream trace(folder / "trace.jsonl");
    std::string line;
    std::vector<std::string> requests;
    std::size_t lines = 0;
    while (std::getline(trace, line)) {
        const nlohmann::json entry = nlohmann::json::parse(line); // throws on a broken line
        ASSERT_TRUE(entry.contains("t") && entry.contains("type")) << line;
        if (entry["type"] == "request")
            requests.push_back(entry["request"]);
        ++lines;
    }
    EXPECT_GT(lines, 5u);
    const std::vector<std::string> expected{"Open", "AddToDataDefinition", "AddToDataDefinition",
                                            "AddToDataDefinition", "RequestDataOnSimObject"};
    EXPECT_EQ(requests, expected);
}

INSTANTIATE_TEST_SUITE_P(Transports, SimConnectSession, ::testing::Values(Transport::Tcp, Transport::Pipe),
                         [](const auto& info) { return info.param == Transport::Tcp ? "Tcp" : "Pipe"; });
