// Speed of the livery data on libraries of AI-library size, on generated trees with the cache
// warm: the scan of 500 and 5,000 aircraft.cfg files with 10 sections each (5,000 and 50,000
// liveries) beside a plain walk of the same tree that only reads each file's bytes, the build of
// the livery tables from the saved scan (the start-up without a scan), and the publisher lookup
// against 640 publisher lists. Growth from the small to the large tree should be near linear.
// The scan's tasks run on other threads: its time is the wall clock's, as the walk's is, and its
// CPU time is that of all threads.
//
//   build/tests/bench_livery_scan
//   BENCH_DIR=/dev/shm build/tests/bench_livery_scan   (the trees on a tmpfs)

#include "core/scan_throttle.h"
#include "liveries/dbase.h"
#include "liveries/livery_data.h"
#include "liveries/livery_scan.h"
#include "liveries/livery_tables.h"
#include "liveries/publishers.h"
#include "liveries/scan_problems.h"
#include "params/names.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSectionsPerFile = 10;
constexpr int kAirlineCount = 40;
constexpr std::array<const char*, 10> kModels = {"A319", "A320", "A321", "A332", "B738",
                                                 "B744", "B77W", "B789", "E190", "CRJ9"};

std::string lf_airline(int number)
{
    return fmt::format("A{:02}", number % kAirlineCount);
}

void lf_writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// One aircraft package: ten liveries of one model, each of another airline, with the model and
// texture folders and the .air file that the sections name.
void lf_writePackage(const fs::path& folder, int number)
{
    fs::create_directories(folder / "model");
    fs::create_directories(folder / "texture");
    lf_writeBytes(folder / "a.air", "air");
    const char* model = kModels[number % kModels.size()];
    std::string cfg = fmt::format("[General]\r\natc_type=BENCH\r\natc_model={}\r\ncategory=airplane\r\n", model);
    for (int section = 0; section < kSectionsPerFile; ++section) {
        const std::string airline = lf_airline(number * 7 + section);
        cfg += fmt::format("\r\n[fltsim.{}]\r\ntitle={} {} livery {}-{}\r\nsim=a\r\nmodel=\r\ntexture=\r\n"
                           "atc_id=N{}X{}\r\natc_parking_codes={}\r\natc_parking_types=GATE\r\n"
                           "ui_manufacturer=Bench\r\nui_type={}\r\ndescription=generated\r\n",
                           section, airline, model, number, section, number, section, airline, model);
    }
    lf_writeBytes(folder / "aircraft.cfg", cfg);
}

// The tree of `files` packages, 100 to a folder, below the working folder; made once.
fs::path lf_tree(int files)
{
    const fs::path root = fmt::format("tree{}", files);
    if (fs::exists(root))
        return root;
    for (int number = 0; number < files; ++number)
        lf_writePackage(root / fmt::format("pack{}", number / 100) / fmt::format("aircraft {}", number), number);
    return root;
}

void lf_fillDbase()
{
    for (int number = 0; number < kAirlineCount; ++number)
        dbaseTables.IcaoAirlines.insert(lf_airline(number));
    for (const char* model : kModels) {
        dbaseTables.ModelCodes.insert(model);
        dbaseTables.LargeModels.insert(model);
    }
}

// A working folder and a per-user data folder of the benchmark's own, removed at the end: the
// table build saves the settings it switches off.
class WorkFolder {
public:
    // BENCH_DIR chooses the file system (for example a tmpfs), else the temp folder.
    WorkFolder()
        : path_(fs::path(std::getenv("BENCH_DIR") ? std::getenv("BENCH_DIR") : fs::temp_directory_path().c_str()) /
                fmt::format("bench_livery_scan.{}", ::getpid()))
    {
        fs::create_directories(path_ / "config");
        fs::current_path(path_);
        ::setenv("XDG_CONFIG_HOME", (path_ / "config").c_str(), 1);
        gf_initAppDataFolder();
        fs::create_directories(g_outputInfoFolder);
        fs::create_directories(g_outputErrorsFolder);
    }
    ~WorkFolder()
    {
        fs::current_path(fs::temp_directory_path());
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

private:
    fs::path path_;
};

// The same walk as the scan's, reading every aircraft.cfg's bytes and nothing more.
void BM_WalkAndRead(benchmark::State& state)
{
    const fs::path root = lf_tree(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (fs::recursive_directory_iterator walk(root), end; walk != end; ++walk) {
            if (!fs::is_regular_file(fs::status(walk->path())) || walk->path().filename() != "aircraft.cfg")
                continue;
            std::ifstream in(walk->path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            bytes += text.size();
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["liveries"] = static_cast<double>(state.range(0) * kSectionsPerFile);
}

void BM_Scan(benchmark::State& state)
{
    const fs::path root = lf_tree(static_cast<int>(state.range(0)));
    lf_fillDbase();
    gf_initScanThrottle();
    for (auto _ : state) {
        if (!lf_scanLiveries({root.string()}))
            state.SkipWithError("the scan found no livery");
    }
    state.counters["liveries"] = static_cast<double>(state.range(0) * kSectionsPerFile);
}

// The start-up without a scan: the saved scan read back into every table.
void BM_TableBuild(benchmark::State& state)
{
    const fs::path root = lf_tree(static_cast<int>(state.range(0)));
    lf_fillDbase();
    gf_initScanThrottle();
    if (!lf_scanLiveries({root.string()}))
        state.SkipWithError("the scan found no livery");
    for (auto _ : state) {
        state.PauseTiming();
        gf_clearLiveryTables();
        state.ResumeTiming();
        lf_processScannedLiveries();
    }
    state.counters["liveries"] = static_cast<double>(state.range(0) * kSectionsPerFile);
}

// 640 publisher lists of a name and two aliases; the names match none of them, so each lookup
// tries every entry.
void BM_PublisherLookup(benchmark::State& state)
{
    dbaseTables.Publishers.clear();
    for (int number = 0; number < 640; ++number)
        dbaseTables.Publishers.push_back(
            {fmt::format("Publisher{}", number), fmt::format("pub{}", number), fmt::format("p{}scenery", number)});
    dbaseTables.PublisherPatterns = gf_preparePublisherPatterns(dbaseTables.Publishers); // as the data base read does
    std::vector<std::string> names;
    for (int number = 0; number < 100; ++number)
        names.push_back(fmt::format("Scenery/World/scenery/EX{:02}_Airport_Vol{}.bgl", number, number % 7));
    for (auto _ : state) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(gf_publisherFromName(name));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * names.size()));
}

BENCHMARK(BM_WalkAndRead)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_Scan)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_TableBuild)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublisherLookup)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    const WorkFolder folder;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
