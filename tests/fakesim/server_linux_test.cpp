// The stand-in as a Linux program: the Unix-domain socket in place of the simulator's pipe is a
// file that goes with it, and the Windows program under Wine names files with Windows paths of
// its prefix.

#include "fakesim.h"
#include "raw_client.h"
#include "raw_link.h"
#include "test_helpers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fakesim_test {
namespace {

TEST(FakesimUnixSocket, TheSocketFileGoesWithTheStandIn)
{
    testsupport::TempFolder folder;
    auto config = quickConfig(folder.path());
    config.pipePath = testPipe(folder.path());
    {
        fakesim::FakeSim sim(config);
        EXPECT_TRUE(std::filesystem::is_socket(config.pipePath));
    }
    EXPECT_FALSE(std::filesystem::exists(config.pipePath));
}

TEST(FakesimWinePrefix, AFlightPlanNamedWithAWindowsPathIsReadInThePrefix)
{
    testsupport::TempFolder folder;
    const auto wine = folder.path() / "wine";
    const testsupport::ScopedEnv prefix("WINEPREFIX", wine.string());
    std::filesystem::create_directories(wine / "dosdevices");
    std::filesystem::create_directories(wine / "drive_c" / "Plans");
    std::filesystem::create_directory_symlink("../drive_c", wine / "dosdevices" / "c:");
    std::ofstream(wine / "drive_c" / "Plans" / "DAL5.pln")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
           "<FlightPlan.FlightPlan>\n<FPType>IFR</FPType>\n<DepartureID>KLAX</DepartureID>\n"
           "<DestinationID>KATL</DestinationID>\n</FlightPlan.FlightPlan>\n</SimBase.Document>\n";
    fakesim::FakeSim sim(quickConfig(folder.path()));
    RawClient client(sim.port());
    client.open();
    client.send(createPacket("Boeing 737-800 Delta", "DAL5", {33.95, -118.40, 130.0, 0, 0, 90.0, 1, 0}, 104));
    const auto assigned = client.receiveWhere(12, 12, 104); // the assigned object id
    ASSERT_TRUE(assigned);
    const std::uint32_t id = assigned->u32(16);
    client.send(flightPlanPacket(id, "C:\\Plans\\DAL5", 110));
    const auto planRead = [&](const fakesim::Status& s) {
        const auto* object = s.findObject(id);
        return object != nullptr && object->destination == "KATL";
    };
    ASSERT_TRUE(sim.waitUntil(planRead, kDeadline));
    const auto plans = traceOfType(folder.path() / "trace.jsonl", "flight_plan");
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0]["path"], "C:\\Plans\\DAL5");
}

} // namespace
} // namespace fakesim_test
