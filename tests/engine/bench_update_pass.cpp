// One update pass of the engine under load: about 300, 1,000 or 3,000 live aircraft in mixed phases
// (air, taxi, parked) and 300 static aircraft at a park airport of 500 stands. The live aircraft come from the
// recorded KLAX captures, replicated under new hex ids and callsigns, replayed through the parser
// and the engine against the simulator double until the load stands; then each benchmark
// iteration is one pass, the feed going on. The engine takes in two messages a pass; what the
// feed sends beyond that is taken in between the passes, outside the timed pass, so that the
// copies keep as many aircraft live as asked. Reports microseconds per pass (the work thread's processor time) and heap
// allocations per pass, both of the engine's pass alone (not the feed's parsing nor the double).
// The second argument 1 runs each pass after other work: in the program the passes are 10 ms
// apart and the simulator runs beside them, so a pass seldom finds its records still in the
// core's caches, as back-to-back passes do while the records fit there.
//
//   build/tests/bench_update_pass

#include "replay_double.h"

#include "airports/stand.h"
#include "app/main_window.h"
#include "core/clock.h"
#include "engine/ac_identity.h"
#include "engine/traffic_intake.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fmt/format.h>
#include <map>
#include <new>
#include <numeric>
#include <time.h>

namespace {

std::atomic<std::uint64_t> allocations{0};
thread_local bool countAllocations = false; // on the work thread, inside the engine's pass

} // namespace

void* operator new(std::size_t size)
{
    if (countAllocations)
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

// A copy of the 17 June capture keeps about 19.5 aircraft live.
constexpr double kLivePerCopy = 19.5;
// Beyond about 1,500 live aircraft the creations wait (the engine builds one request a pass) and
// a copy keeps fewer of its aircraft in the simulator.
constexpr double kCreationsKeepUpTo = 1500.0;
constexpr std::uint32_t kFirstKey = 1u << 24; // above every hex id of the captures
constexpr std::int32_t kMaxSetUpPasses = 200'000;
constexpr std::size_t kStands = 500;
constexpr std::size_t kStatics = 300;
// The other work between two passes writes this much memory: more than a core's own caches hold.
constexpr std::size_t kOtherWorkBytes = 32u << 20;

double lf_threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::uint32_t lf_copiesFor(std::size_t live)
{
    const double wanted = static_cast<double>(live);
    return static_cast<std::uint32_t>(std::ceil(wanted / kLivePerCopy * std::max(1.0, wanted / kCreationsKeepUpTo)));
}

// One round of the captures from `start` seconds on, each line once per copy under a key and a
// flight number of that copy, 90 m further north per copy. Round r uses copies r*copies to
// r*copies+copies-1; a copy's keys are its own: kFirstKey + 128 * copy + the aircraft's number.
std::vector<CaptureLine> lf_replicatedFeed(std::uint32_t round, double start, std::uint32_t copies)
{
    std::vector<CaptureLine> feed;
    // The 17 June capture: 3.5 lines a second per copy (the 24 June one sends 29, every line twice).
    {
        const std::vector<CaptureLine> lines = lf_captureLines("KLAX_20200617_2152Z.rttfc");
        std::map<std::string, std::uint32_t> numbers; // of the capture's hex ids, fewer than 128
        for (const CaptureLine& line : lines)
            numbers.try_emplace(line.text.substr(6, line.text.find(',', 6) - 6), static_cast<std::uint32_t>(numbers.size()));
        const double first = std::min_element(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
                                 return a.stamp < b.stamp;
                             })->stamp;
        for (std::uint32_t copy = round * copies; copy < (round + 1) * copies; ++copy) {
            for (const CaptureLine& line : lines) {
                std::vector<std::string> fields;
                std::stringstream split(line.text);
                for (std::string field; std::getline(split, field, ',');)
                    fields.push_back(field);
                fields[1] = std::to_string(kFirstKey + 128u * copy + numbers.at(fields[1]));
                fields[2] = fmt::format("{:.6f}", std::stod(fields[2]) + 0.0008 * (copy % copies));
                // The copy's number goes after the airline code: a callsign that differs only in
                // its last character would count as a ghost of the other.
                if (fields[9].size() > 3)
                    fields[9].insert(3, std::to_string(copy));
                std::string text = fields.front();
                for (std::size_t i = 1; i < fields.size(); ++i)
                    text += "," + fields[i];
                feed.push_back({start + line.stamp - first, std::move(text)});
            }
        }
    }
    std::stable_sort(feed.begin(), feed.end(), [](const CaptureLine& a, const CaptureLine& b) { return a.stamp < b.stamp; });
    return feed;
}

// Where the recorded aircraft stood still on the ground, at least 60 m apart: the stands the
// live aircraft park on.
std::vector<StandPlacement> lf_recordedStandingPlaces(std::size_t most)
{
    std::vector<StandPlacement> places;
    for (const CaptureLine& line : lf_captureLines("KLAX_20200624_2220Z.rttfc")) {
        std::vector<std::string> fields;
        std::stringstream split(line.text);
        for (std::string field; std::getline(split, field, ',');)
            fields.push_back(field);
        if (fields[6] != "1" || std::stod(fields[8]) != 0.0)
            continue;
        const LatLon at{std::stod(fields[2]), std::stod(fields[3])};
        const bool apart = std::none_of(places.begin(), places.end(), [&](const StandPlacement& p) {
            return gf_distanceNm({p.latitude, p.longitude}, at) < 60.0 * kNmPerMetre;
        });
        if (apart)
            places.push_back({at.latitude, at.longitude, std::stod(fields[7]) * geo::kDegToRad});
        if (places.size() == most)
            break;
    }
    return places;
}

// 500 stands: where the recorded aircraft stood, the rest on a grid south of the runways, whose
// last 300 hold static aircraft.
void lf_parkStatics()
{
    std::vector<StandPlacement> places = lf_recordedStandingPlaces(kStands - kStatics);
    for (std::size_t i = places.size(); i < kStands; ++i)
        places.push_back({33.935 - 0.0006 * static_cast<double>(i / 25), -118.42 + 0.0008 * static_cast<double>(i % 25), 0.0});
    for (std::size_t i = 0; i < kStands; ++i) {
        Stand& stand = standTable.emplace_back(fmt::format("S{}", i + 1), std::vector<ParkPosOption>{}, places[i], 30.0, 1, 0, 1);
        stand.id = static_cast<std::uint32_t>(i + 1);
    }
    for (std::size_t i = 0; i < kStatics; ++i) {
        const Stand& stand = standTable[kStands - kStatics + i];
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
    Load()
    {
        // The engine writes its flight plans into the working folder: one of the benchmark's own.
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvanta_bench_update_pass";
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        lf_prepareKlax(folder);
        g_professionalEdition = true; // the captures' time stamps are history
        lf_parkStatics();
        g_mainWindow.maxParkCount = static_cast<std::int32_t>(kStands); // room for the statics and the parked live ones
    }
    void growTo(std::size_t live)
    {
        copies_ = lf_copiesFor(live);
        next_ = feed_.size(); // the next pass starts a round of the new number of copies
        const std::int32_t last = passCounter.load() + kMaxSetUpPasses;
        while (liveInSim() < live && passCounter.load() < last)
            pass();
    }
    // The engine's own time in the pass, in seconds of the work thread's processor time: on a
    // shared machine the wall time would count the time the thread waits for a core.
    double pass(bool afterOtherWork = false)
    {
        const double now = static_cast<double>(passCounter.load()) / kPassesPerSecond;
        if (next_ == feed_.size()) {
            feed_ = lf_replicatedFeed(round_++, now, copies_);
            lf_giveEveryAircraftALivery(feed_);
            next_ = 0;
        }
        for (; next_ < feed_.size() && feed_[next_].stamp <= now; ++next_)
            trafficReader.handleDatagram(feed_[next_].text);
        const std::int32_t p = passCounter.load();
        sim_.beforePass(p);
        if (afterOtherWork)
            lf_doOtherWork();
        countAllocations = true;
        const double start = lf_threadSeconds();
        gf_updateAI();
        const double took = lf_threadSeconds() - start;
        countAllocations = false;
        sim_.afterPass(p);
        // The load stands when every queued creation is answered at once, not one every 50 passes.
        sim_.createAllQueued();
        lf_takeInTheRest();
        return took;
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
    void lf_doOtherWork()
    {
        otherWork_.resize(kOtherWorkBytes);
        for (std::size_t i = 0; i < otherWork_.size(); i += 64)
            ++otherWork_[i];
        benchmark::DoNotOptimize(otherWork_.data());
    }
    static void lf_takeInTheRest()
    {
        for (;;) {
            {
                std::lock_guard lock(trafficQueueMutex);
                if (trafficQueue.empty())
                    return;
            }
            lf_handleUdpMessages();
        }
    }
    std::vector<CaptureLine> feed_;
    std::size_t next_ = 0;
    std::uint32_t round_ = 0;
    std::uint32_t copies_ = 45;
    SimulatorDouble sim_;
    std::vector<char> otherWork_;
};

void BM_UpdatePass(benchmark::State& state)
{
    static Load load;
    load.growTo(static_cast<std::size_t>(state.range(0)));
    const bool afterOtherWork = state.range(1) != 0;
    const std::uint64_t before = allocations.load();
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        times.push_back(load.pass(afterOtherWork));
        state.SetIterationTime(times.back());
    }
    const auto passes = static_cast<double>(state.iterations());
    // The median pass: on a shared machine the mean also carries the passes that other work
    // interrupted (another process's disk interrupts, a core taken away).
    std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
    state.counters["median_us"] = times[times.size() / 2] * 1e6;
    state.counters["allocs_per_pass"] = static_cast<double>(allocations.load() - before) / passes;
    const auto live = static_cast<double>(load.liveInSim());
    state.counters["live"] = live;
    // Per live aircraft: it stays level while the pass grows as the aircraft count does.
    state.counters["us_per_live"] = std::accumulate(times.begin(), times.end(), 0.0) / passes * 1e6 / live;
    state.counters["records"] = static_cast<double>(liveAcTable.size()); // buffered ones too: the pass updates all
    state.counters["air"] = static_cast<double>(load.inPhase({AcPhase::Airborne, AcPhase::Takeoff}));
    state.counters["taxi"] = static_cast<double>(load.inPhase({AcPhase::Taxi, AcPhase::PushBack, AcPhase::PushBackDone, AcPhase::ToStand}));
    state.counters["parked"] = static_cast<double>(load.inPhase({AcPhase::Parked}));
    state.counters["static"] = static_cast<double>(staticAcTable.size());
}

// In this order: the load only grows.
BENCHMARK(BM_UpdatePass)
    ->Args({300, 0})->Args({300, 1})->Args({1000, 0})->Args({1000, 1})->Args({3000, 0})->Args({3000, 1})
    ->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace

BENCHMARK_MAIN();
