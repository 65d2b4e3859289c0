// The stand-in against a SimConnect client written by others: the npm package node-simconnect,
// installed into the build folder by the test's fixture. Both sides are checked: what the client
// saw, and what the stand-in's trace says it received.

#include "fakesim.h"
#include "test_helpers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace fakesim_test {
namespace {

TEST(FakesimNodeSimConnect, ThirdPartyClientOpensReadsCreatesAndRemoves)
{
    ASSERT_TRUE(std::filesystem::exists(NODE_SIMCONNECT_DIR))
        << NODE_SIMCONNECT_DIR << " is missing: the fixture test fakesim_npm_install installs it";
    testsupport::TempFolder folder;
    auto config = quickConfig(folder.path());
    fakesim::FakeSim sim(config);
    ChildProcess node({NODE_PROGRAM, NODE_CLIENT_SCRIPT, NODE_SIMCONNECT_DIR, std::to_string(sim.port())});
    const auto output = node.readLine(std::chrono::seconds(60));
    ASSERT_TRUE(output) << "node-simconnect client printed nothing";
    EXPECT_EQ(node.wait(std::chrono::seconds(10)), 0) << *output;
    const auto seen = nlohmann::json::parse(*output);
    ASSERT_FALSE(seen.contains("error")) << *output;

    EXPECT_EQ(seen["applicationName"], "Lockheed Martin Prepar3D v5");
    EXPECT_EQ(seen["applicationVersion"], (nlohmann::json{5, 3, 17, 28160}));
    EXPECT_GE(seen["oneSecEvents"].get<int>(), 1);
    ASSERT_FALSE(seen["positions"].empty());
    EXPECT_NEAR(seen["positions"][0]["lat"].get<double>(), 33.9425, 1e-9);
    EXPECT_NEAR(seen["positions"][0]["lon"].get<double>(), -118.408, 1e-9);
    EXPECT_NEAR(seen["positions"][0]["alt"].get<double>(), 125.0, 1e-9);
    EXPECT_EQ(seen["positions"][0]["atcId"], "N737FS");
    EXPECT_EQ(seen["userObjectId"], 1);
    const auto objectId = seen["assignedObjectId"].get<std::uint32_t>();
    EXPECT_GE(objectId, config.firstAiObjectId);
    EXPECT_EQ(seen["addedObjectId"], objectId);
    EXPECT_EQ(seen["addedType"], 2);
    EXPECT_EQ(seen["removedObjectId"], objectId);

    const auto trace = folder.path() / "trace.jsonl";
    const auto opened = traceOfType(trace, "opened");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]["protocol"], 4);  // node-simconnect speaks FSX SP2
    EXPECT_EQ(opened[0]["alias"], "XSF");
    const auto created = traceOfType(trace, "created");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]["object"], objectId);
    EXPECT_EQ(created[0]["tail"], "NODE1");
    EXPECT_EQ(created[0]["send_id"], seen["sendIds"]["create"]);
    EXPECT_DOUBLE_EQ(created[0]["heading"].get<double>(), 250.0);
    const auto removed = traceOfType(trace, "removed");
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0]["object"], objectId);
    // node-simconnect counts its send ids from 0: the stand-in takes them as they come.
    const auto requests = traceOfType(trace, "request");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0]["request"], "Open");
    EXPECT_EQ(requests[0]["send_id"], 0);
    EXPECT_EQ(traceOfType(trace, "exception").size(), 0u);
}

} // namespace
} // namespace fakesim_test
