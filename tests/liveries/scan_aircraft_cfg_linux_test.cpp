// aircraft.cfg into livery records when a file status query fails. Linux fails the query of a
// name longer than a file name may be; Windows answers "not found" for it (the section is then
// reported as missing its model), so a test cannot make the query fail there.

#include "core/scan_throttle.h"
#include "liveries/aircraft_cfg.h"
#include "scan_test_fixture.h"

namespace {

using AircraftCfgTest = scantest::ScanTest;

TEST_F(AircraftCfgTest, AFailingStatusQueryLeavesTheTaskWithItsSlotGivenBack)
{
    dbaseTables.IcaoAirlines = {"DLH"};
    const std::filesystem::path cfg = aircraft("c", "atc_model=B738\n[fltsim.0]\ntitle=t\nsim=a\nmodel=" +
                                                        std::string(300, 'm') + "\natc_parking_codes=DLH\n");
    const std::int32_t running = g_scanTasksRunning.load();
    EXPECT_THROW(lf_searchLiveriesinFile(1, cfg), std::filesystem::filesystem_error);
    EXPECT_EQ(g_scanTasksRunning.load(), running - 1);
    EXPECT_NE(logText().find("exception in lf_procesFltSimSection: "), std::string::npos);
    EXPECT_NE(logText().find("exception in lf_searchLiveriesinFile c/aircraft.cfg: "), std::string::npos);
}

} // namespace
