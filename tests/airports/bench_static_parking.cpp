// The static-parking work at a large park airport: the reading of its stand file (on a thread of
// its own) and the take-in of what was read (in the pass), the neighbour links of a table, the calculation that fills an empty airport, and the 20-minute re-balancing of one
// whose static aircraft stand. The airport has 150, 400 or 800 stands 45 m apart in rows of 25,
// each with 28 learned options spread over the week (four aircraft a weekday, each for a few
// hours), and parks 30% of them. Reports milliseconds per run of the work thread's processor time.
//
//   build/tests/bench_static_parking

#include "airports/airport_services.h"
#include "airports/stand_file_loader.h"
#include "airports/park_airport_list.h"
#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "core/clock.h"
#include "core/run_state.h"
#include "engine/ac_identity.h"
#include "engine/ac_records.h"
#include "engine/parking_adjustments.h"
#include "engine/update_pass.h"
#include "params/parameters.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <random>
#include <sstream>
#include <time.h>

namespace {

constexpr double kSpacingDeg = 45.0 / 1852.0 / 60.0; // 45 m
constexpr std::size_t kPerRow = 25;
constexpr std::array<const char*, 6> kAirlines{"DAL", "AAL", "UAL", "SWA", "ASA", "JBU"};
constexpr std::array<const char*, 5> kTypes{"B738", "A321", "A320", "B739", "E75L"};

double lf_cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One stand's options: four aircraft on each weekday, each standing two to eight hours.
std::vector<ParkPosOption> lf_weekOfOptions(std::size_t stand, std::mt19937& random)
{
    std::vector<ParkPosOption> options;
    for (std::uint32_t day = 1; day <= 7; ++day) {
        for (std::uint32_t n = 0; n < 4; ++n) {
            ParkPosOption o;
            o.airl = kAirlines[random() % kAirlines.size()];
            o.type = kTypes[random() % kTypes.size()];
            o.cs = fmt::format("{}{}", o.airl, 100 + (stand * 28 + options.size()) % 9000);
            o.reg = fmt::format("N{}X", stand * 28 + options.size());
            o.day = day;
            const std::uint32_t from = static_cast<std::uint32_t>(random() % 44);
            const std::uint32_t to = std::min<std::uint32_t>(47, from + 4 + static_cast<std::uint32_t>(random() % 12));
            for (std::uint32_t slot = from; slot <= to; ++slot)
                o.hours.set(slot);
            o.number = static_cast<std::uint32_t>(options.size() + 1);
            options.push_back(std::move(o));
        }
    }
    return options;
}

void lf_makeAirport(std::size_t stands)
{
    standTable.clear();
    staticAcTable.clear();
    staticCandidates.clear();
    parkedStayers.clear();
    gf_clearParkingAdjustmentLists();
    std::mt19937 random(7);
    for (std::size_t i = 0; i < stands; ++i) {
        const StandPlacement at{33.93 - kSpacingDeg * static_cast<double>(i / kPerRow),
                                -118.42 + kSpacingDeg * 1.2 * static_cast<double>(i % kPerRow), 0.0};
        Stand& stand = standTable.emplace_back(fmt::format("S{}", i + 1), lf_weekOfOptions(i, random), at, 26.0, 1, 1, 1);
        stand.id = static_cast<std::uint32_t>(i + 1);
    }
    lf_computeStandNeighbours();
}

void lf_setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    gf_setParkAirport({"KLAX", "LAX", 33.9425, -118.408, 128.0});
    simConnectFailed = true; // no simulator: removals stay queued
    CUSTOM_PARKING_PERCENTAGE.setValue(30);
    WEEK.value = false;
    RANDOM.value = false;
    PARK_SOFT.value = false;
    LOG.value = false;
    currentDaySlot = gf_packDaySlot(3, 30);
}

// The calculation's candidates stand in the simulator.
void lf_parkTheCandidates()
{
    std::uint32_t key = 1;
    for (const StaticCandidate& c : staticCandidates) {
        AcIdentity id;
        id.airline = c.airl;
        id.type = c.type;
        id.callsign = c.cs + "*";
        AcDescription desc = gf_makeAircraftDescription(id);
        desc.cs = c.cs;
        desc.registration = c.reg;
        desc.key = key++;
        const Stand& stand = standTable[c.standId - 1];
        StaticAc& ac = staticAcTable.emplace_back(std::move(desc), stand.id, StandPose{stand.lat, stand.lon, 0.0}, false);
        ac.state = AcState::InSim;
        ac.objectId = 50000 + key;
        ac.parkedStamp = gf_packDaySlot(3, 28);
    }
    staticCandidates.clear();
}

// The stand file's text: the stands of lf_makeAirport with their options; `extra` more options a
// stand, half of them the file's own again, make it the learned file of the same stands.
std::string lf_standFileText(std::size_t stands, std::size_t extra)
{
    std::ifstream demo(std::string(ORVANTA_SOURCE_DIR) + "/data/airports/KLAX.xml");
    std::string meta;
    std::getline(demo, meta);
    std::getline(demo, meta); // the demo file's meta block, which the loader checks
    std::ostringstream text;
    text << "<?xml version=\"1.0\"?>\n" << meta << "\n<parameters>\n"
         << "<parameter name=\"airport_name\" value=\"bench\"/>\n<parameter name=\"publisher\" value=\"bench\"/>\n"
         << "<parameter name=\"altitude\" value=\"128\"/>\n</parameters>\n<parkpositions>\n";
    lf_makeAirport(stands);
    std::mt19937 random(11);
    for (const Stand& stand : standTable) {
        text << fmt::format("<parkpos id=\"{}\" latitude=\"{:.6f}\" longitude=\"{:.6f}\" heading=\"0\" radius=\"26\">\n",
                            stand.name, stand.lat, stand.lon);
        for (std::size_t i = 0; i < stand.opts.size() + extra; ++i) {
            const ParkPosOption& o = stand.opts[i % stand.opts.size()];
            const bool again = extra == 0 || i % 2 == 0;
            const std::string reg = again ? o.reg : fmt::format("N{}L", random() % 100000);
            text << fmt::format("<opt reg=\"{}\" airl=\"{}\" type=\"{}\" day=\"{}\" hh=\"{}\" cs=\"{}\"/>\n", reg, o.airl,
                                o.type, o.day, again ? 20 : random() % 48, o.cs);
        }
        text << "</parkpos>\n";
    }
    text << "</parkpositions>\n";
    return text.str();
}

void lf_report(benchmark::State& state, double cpu)
{
    state.counters["ms_cpu"] = benchmark::Counter(cpu * 1e3 / static_cast<double>(state.iterations()));
    state.counters["statics"] = static_cast<double>(staticAcTable.size());
}

void BM_StandNeighbours(benchmark::State& state)
{
    lf_setUp();
    lf_makeAirport(static_cast<std::size_t>(state.range(0)));
    double cpu = 0.0;
    for (auto _ : state) {
        for (Stand& stand : standTable)
            stand.neighbours.clear();
        const double begin = lf_cpuSeconds();
        lf_computeStandNeighbours();
        cpu += lf_cpuSeconds() - begin;
    }
    lf_report(state, cpu);
}

void BM_StaticParkingCalc(benchmark::State& state)
{
    lf_setUp();
    lf_makeAirport(static_cast<std::size_t>(state.range(0)));
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        lf_makeAirport(static_cast<std::size_t>(state.range(0)));
        state.ResumeTiming();
        const double begin = lf_cpuSeconds();
        lf_calcStaticParking();
        cpu += lf_cpuSeconds() - begin;
    }
    state.counters["candidates"] = static_cast<double>(staticCandidates.size());
    lf_report(state, cpu);
}

void BM_ParkingAdjustments(benchmark::State& state)
{
    lf_setUp();
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        lf_makeAirport(static_cast<std::size_t>(state.range(0)));
        currentDaySlot = gf_packDaySlot(3, 26);
        lf_calcStaticParking();
        lf_parkTheCandidates();
        currentDaySlot = gf_packDaySlot(3, 30);
        state.ResumeTiming();
        const double begin = lf_cpuSeconds();
        gf_parkingAdjustments();
        cpu += lf_cpuSeconds() - begin;
    }
    state.counters["added"] = static_cast<double>(staticCandidates.size());
    lf_report(state, cpu);
}

// A stand file of `stands` stands with about 145 options each, as a learned airport's file has,
// written where the loader finds the user's files; the park airport is its airport.
std::string lf_writeLargeStandFile(std::size_t stands)
{
    static const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvanta_bench_static_parking";
    std::filesystem::create_directories(folder / "airports/my_thirdparty");
    std::filesystem::current_path(folder);
    const std::string path = fmt::format("airports/my_thirdparty/KB{}.xml", stands);
    std::ofstream(path) << lf_standFileText(stands, 117);
    gf_setParkAirport({fmt::format("KB{}", stands), "", 33.9425, -118.408, 128.0});
    return path;
}

// The reading of the files, on the reader's thread: parse, stands built and linked.
void BM_StandFileRead(benchmark::State& state)
{
    lf_setUp();
    const auto stands = static_cast<std::size_t>(state.range(0));
    const std::string path = lf_writeLargeStandFile(stands);
    double cpu = 0.0;
    for (auto _ : state) {
        const double begin = lf_cpuSeconds();
        benchmark::DoNotOptimize(gf_readStandFileSource(path, gf_parkAirport().code));
        cpu += lf_cpuSeconds() - begin;
    }
    lf_report(state, cpu);
}

// The take-in of the files read, in the pass.
void BM_StandFileTakeIn(benchmark::State& state)
{
    lf_setUp();
    const auto stands = static_cast<std::size_t>(state.range(0));
    const std::string path = lf_writeLargeStandFile(stands);
    double cpu = 0.0;
    std::size_t options = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<StandFileSource> source = gf_readStandFileSource(path, gf_parkAirport().code);
        standTable.clear();
        ApfInfo info;
        std::uint64_t quality = 0;
        state.ResumeTiming();
        const double begin = lf_cpuSeconds();
        const std::string failure = gf_takeInStandFile(*source, info, quality);
        cpu += lf_cpuSeconds() - begin;
        if (!failure.empty())
            state.SkipWithError(failure.c_str());
    }
    for (const Stand& stand : standTable)
        options += stand.opts.size();
    state.counters["options"] = static_cast<double>(options);
    lf_report(state, cpu);
}

BENCHMARK(BM_StandFileRead)->Arg(150)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandFileTakeIn)->Arg(150)->Arg(400)->Arg(800)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandNeighbours)->Arg(150)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StaticParkingCalc)->Arg(150)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParkingAdjustments)->Arg(150)->Arg(400)->Arg(800)->Iterations(50)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
