// A recorded capture through the traffic parser and the engine, faster than real time, against
// the simulator double: what the simulator would show of every object, pass by pass.

#include "engine_fixture.h"
#include "replay_double.h"

#include "core/clock.h"
#include "engine/live_removal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace enginetest {
namespace {

using namespace replay;

// What the simulator would show of every object, pass by pass.
struct PoseChecks {
    std::size_t nanPoses = 0;
    std::size_t jumps = 0;
    std::size_t groundBelowElevation = 0;
    std::size_t stuckRemovals = 0;
    std::size_t groundPoses = 0;

    void afterPass(std::int32_t pass)
    {
        std::map<std::uint32_t, Last> seen;
        for (const LiveAc& ac : liveAcTable) {
            checkRemoval(ac, pass);
            if (ac.state != AcState::InSim || ac.objectId == 0)
                continue;
            const AcPose& p = ac.pose;
            if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude) || !std::isfinite(p.altitude) ||
                !std::isfinite(p.heading) || !std::isfinite(p.pitch) || !std::isfinite(p.bank)) {
                ++nanPoses;
                continue;
            }
            if (ac.groundMode != 0) {
                ++groundPoses;
                if (p.altitude < kElevationFt - 0.5)
                    ++groundBelowElevation;
            }
            const double speed = std::max({ac.legSpeed, p.trueAirspeed, 10.0});
            if (const auto it = last_.find(ac.objectId); it != last_.end()) {
                const double stepNm = gf_distanceNm(it->second.where, {p.latitude, p.longitude});
                const double limitNm = 3.0 * std::max(speed, it->second.speed) / 3600.0 / kPassesPerSecond;
                if (stepNm > limitNm)
                    ++jumps;
            }
            seen[ac.objectId] = {{p.latitude, p.longitude}, speed};
        }
        last_ = std::move(seen);
    }

private:
    struct Last {
        LatLon where;
        double speed = 0.0;
    };
    void checkRemoval(const LiveAc& ac, std::int32_t pass)
    {
        if (ac.state != AcState::Removing) {
            removingSince_.erase(ac.desc.key);
            return;
        }
        const auto [it, fresh] = removingSince_.emplace(ac.desc.key, pass);
        if (!fresh && pass - it->second == kStuckRemovalPasses)
            ++stuckRemovals;
    }
    std::map<std::uint32_t, Last> last_;
    std::map<std::uint32_t, std::int32_t> removingSince_;
};

class Replay : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        lf_prepareKlax(folder.path()); // the capture's history is taken from a client of any edition
    }
    void TearDown() override
    {
        gf_clearSimCommands();
        liveryByHexId.clear();
        gf_clearDbaseTables();
        trafficReader.setReferenceElevation(std::nullopt);
        gf_setAcceptTraffic(false);
        EngineTest::TearDown();
    }

    // One pass with the simulator's answers around it.
    void pass()
    {
        const std::int32_t now = passCounter.load();
        sim.beforePass(now);
        gf_updateAI();
        sim.afterPass(now);
        checks.afterPass(now);
    }

    SimulatorDouble sim;
    PoseChecks checks;
};

TEST_F(Replay, Klax17JuneFlownWithoutNanJumpsStuckRemovalsOrObjectsLeftBehind)
{
    const std::vector<CaptureLine> lines = lf_captureLines("KLAX_20200617_2152Z.rttfc");
    ASSERT_FALSE(lines.empty());
    lf_giveEveryAircraftALivery(lines);
    const double start = lines.front().stamp;
    std::size_t next = 0;
    while (next < lines.size()) {
        const double now = start + static_cast<double>(passCounter.load()) / kPassesPerSecond;
        for (; next < lines.size() && lines[next].stamp <= now; ++next)
            trafficReader.handleDatagram(lines[next].text);
        pass();
    }
    // The data end; the aircraft fly out their buffers, then the program exits.
    for (int i = 0; i < 120 * kPassesPerSecond; ++i)
        pass();
    gf_removeAllLiveAc();
    for (int i = 0; i < 5 * kPassesPerSecond; ++i)
        pass();
    sim.removeAllQueued();

    EXPECT_GT(sim.created, 20u);
    EXPECT_GT(checks.groundPoses, 0u);
    EXPECT_EQ(checks.nanPoses, 0u);
    EXPECT_EQ(checks.jumps, 0u);
    EXPECT_EQ(checks.groundBelowElevation, 0u);
    EXPECT_EQ(checks.stuckRemovals, 0u);
    EXPECT_TRUE(sim.alive.empty()) << sim.alive.size() << " of " << sim.created << " objects left";
}

} // namespace
} // namespace enginetest
