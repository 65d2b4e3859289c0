// One update pass of the engine under load: about 1,000 live aircraft in mixed phases (air, taxi,
// parked) and 300 static aircraft at a park airport of 500 stands. The live aircraft come from the
// recorded KLAX captures, replicated under new hex ids and callsigns, replayed through the parser
// and the engine against the simulator double until the load stands; then each benchmark
// iteration is one pass, the feed going on. Reports microseconds per pass (one core) and heap
// allocations per pass.
//
//   build/tests/engine/bench_update_pass

#include "replay_double.h"

#include "airports/stand.h"
#include "engine/ac_identity.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <fmt/format.h>
#include <new>

namespace {

std::atomic<std::uint64_t> allocations{0};

} // namespace

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using namespace replay;

constexpr int kCopies = 6;
constexpr std::size_t kStands = 500;
constexpr std::size_t kStatics = 300;
constexpr std::size_t kWantedLive = 1000;

// The captures, each line once per copy under a hex id and callsign of that copy.
std::vector<CaptureLine> lf_replicatedFeed()
{
    std::vector<CaptureLine> feed;
    for (const char* name : {"KLAX_20200617_2152Z.rttfc", "KLAX_20200624_2220Z.rttfc"}) {
        const std::vector<CaptureLine> lines = lf_captureLines(name);
        const double start = lines.front().stamp;
        for (int copy = 0; copy < kCopies; ++copy) {
            for (const CaptureLine& line : lines) {
                std::vector<std::string> fields;
                std::stringstream split(line.text);
                for (std::string field; std::getline(split, field, ',');)
                    fields.push_back(field);
                const auto hex = static_cast<std::uint32_t>(std::stoul(fields[1]));
                fields[1] = std::to_string(hex + 20'000'000u * static_cast<std::uint32_t>(copy));
                if (!fields[9].empty())
                    fields[9] += std::to_string(copy);
                std::string text = fields.front();
                for (std::size_t i = 1; i < fields.size(); ++i)
                    text += "," + fields[i];
                feed.push_back({line.stamp - start, std::move(text)});
            }
        }
    }
    std::stable_sort(feed.begin(), feed.end(), [](const CaptureLine& a, const CaptureLine& b) { return a.stamp < b.stamp; });
    return feed;
}

// 500 stands on a grid south of the runways, the first 300 taken by static aircraft.
void lf_parkStatics()
{
    for (std::size_t i = 0; i < kStands; ++i) {
        const StandPlacement place{33.935 - 0.0006 * static_cast<double>(i / 25),
                                   -118.42 + 0.0008 * static_cast<double>(i % 25), 0.0};
        Stand& stand = standTable.emplace_back(fmt::format("S{}", i + 1), std::vector<ParkPosOption>{}, place, 30.0, 1, 0, 1);
        stand.id = static_cast<std::uint32_t>(i + 1);
    }
    for (std::size_t i = 0; i < kStatics; ++i) {
        const Stand& stand = standTable[i];
        AcIdentity id;
        id.airline = "DAL";
        id.type = "B738";
        id.callsign = fmt::format("STA{}", i + 1);
        AcDescription desc = gf_makeAircraftDescription(id);
        desc.key = static_cast<std::uint32_t>(i + 1);
        StaticAc& ac = staticAcTable.emplace_back(std::move(desc), stand.id, StandPose{stand.lat, stand.lon, 0.0}, false);
        ac.state = AcState::InSim;
        ac.objectId = static_cast<std::uint32_t>(50000 + i);
    }
}

class Load {
public:
    Load() : feed_(lf_replicatedFeed())
    {
        lf_prepareKlax(std::filesystem::temp_directory_path());
        lf_giveEveryAircraftALivery(feed_);
        lf_parkStatics();
        while (liveInSim() < kWantedLive && next_ < feed_.size())
            pass();
    }
    void pass()
    {
        const double now = static_cast<double>(passCounter.load()) / kPassesPerSecond;
        for (; next_ < feed_.size() && feed_[next_].stamp <= now; ++next_)
            trafficReader.handleDatagram(feed_[next_].text);
        const std::int32_t p = passCounter.load();
        sim_.beforePass(p);
        gf_updateAI();
        sim_.afterPass(p);
    }
    std::size_t liveInSim() const
    {
        return static_cast<std::size_t>(std::count_if(liveAcTable.begin(), liveAcTable.end(),
                                                      [](const LiveAc& ac) { return ac.state == AcState::InSim; }));
    }
    std::size_t inPhase(std::initializer_list<AcPhase> phases) const
    {
        return static_cast<std::size_t>(std::count_if(liveAcTable.begin(), liveAcTable.end(), [&](const LiveAc& ac) {
            return ac.state == AcState::InSim && std::find(phases.begin(), phases.end(), ac.phase) != phases.end();
        }));
    }

private:
    std::vector<CaptureLine> feed_;
    std::size_t next_ = 0;
    SimulatorDouble sim_;
};

void BM_UpdatePass(benchmark::State& state)
{
    static Load load;
    const std::uint64_t before = allocations.load();
    for (auto _ : state)
        load.pass();
    const auto passes = static_cast<double>(state.iterations());
    state.counters["allocs_per_pass"] = static_cast<double>(allocations.load() - before) / passes;
    state.counters["live"] = static_cast<double>(load.liveInSim());
    state.counters["air"] = static_cast<double>(load.inPhase({AcPhase::Airborne, AcPhase::Takeoff}));
    state.counters["taxi"] = static_cast<double>(load.inPhase({AcPhase::Taxi, AcPhase::PushBack, AcPhase::PushBackDone, AcPhase::ToStand}));
    state.counters["parked"] = static_cast<double>(load.inPhase({AcPhase::Parked}));
    state.counters["static"] = static_cast<double>(staticAcTable.size());
}

BENCHMARK(BM_UpdatePass)->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace

BENCHMARK_MAIN();
