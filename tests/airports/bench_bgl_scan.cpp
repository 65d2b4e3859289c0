// Speed of the add-on airport scan. A scenery folder of 2,000 BGL files (copies of the real LEAB
// files, each with an airport code of its own) is scanned, generated files included, next to a
// baseline that only reads the same files' bytes. A hostile file of 6 MB, whose subsection
// entries all point into one long chain of records, shows that the walk stays linear.
//
// The generated files are saved as the scan saves them, so the file system's cost of making
// files is part of the scan; BM_SaveFilesAlone shows that floor by itself. Times are the wall
// clock's; CPU times are those of all threads.
//
//   build/tests/bench_bgl_scan
//   BENCH_DIR=/dev/shm build/tests/bench_bgl_scan   (the same on a tmpfs)
//   BENCH_DATA=/path/to/shared/data build/tests/bench_bgl_scan   (the BGL files from elsewhere)

#include "airports/addon_airport_scan.h"
#include "airports/bgl_file.h"
#include "airports/generated_airport_files.h"
#include "core/files.h"
#include "core/scan_throttle.h"
#include "liveries/scan_messages.h"
#include "params/names.h"
#include "run/startup.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSceneryFiles = 2000;
using Bytes = std::vector<char>;

Bytes readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void writeBytes(const fs::path& path, const Bytes& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t packedIdentifier(const std::string& code)
{
    std::uint32_t value = 0;
    for (const char c : code)
        value = value * 38 + static_cast<std::uint32_t>(c >= '0' && c <= '9' ? c - 46 : c - 53);
    return value;
}

// The code "Q" + three letters of the number, so that every copy is an airport of its own.
std::string codeOf(int n)
{
    std::string code = "Q";
    for (int i = 0; i < 3; ++i, n /= 26)
        code += static_cast<char>('A' + n % 26);
    return code;
}

// Every word that holds LEAB's packed identifier gets the new one, keeping its low 5 bits.
Bytes withAirportCode(Bytes bytes, const std::string& code)
{
    const std::uint32_t from = packedIdentifier("LEAB");
    const std::uint32_t to = packedIdentifier(code);
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at) {
        std::uint32_t word = 0;
        for (int b = 3; b >= 0; --b)
            word = (word << 8) | static_cast<std::uint8_t>(bytes[at + b]);
        if ((word >> 5) != from)
            continue;
        word = (to << 5) | (word & 31u);
        for (int b = 0; b < 4; ++b)
            bytes[at + b] = static_cast<char>(word >> (8 * b));
    }
    return bytes;
}

struct ScanWorld {
    // BENCH_DIR chooses the file system (for example a tmpfs), else the temp folder.
    fs::path root = fs::path(std::getenv("BENCH_DIR") ? std::getenv("BENCH_DIR") : fs::temp_directory_path().c_str()) /
                    ("bench_bgl_scan_" + std::to_string(::getpid()));
    fs::path scenery = root / "addons";
    std::vector<fs::path> files;

    ScanWorld()
    {
        fs::remove_all(root);
        // BENCH_DATA names the shared data folder when the tree is not beside it.
        const fs::path data = fs::path(std::getenv("BENCH_DATA") ? std::getenv("BENCH_DATA") : ORVANTA_SHARED_DATA_DIR) / "bgl";
        const Bytes layouts[] = {readBytes(data / "LEAB_ADEP5_ARV187.bgl"), readBytes(data / "LEAB_ADEP4_ARV187.bgl")};
        for (int i = 0; i < kSceneryFiles; ++i) {
            const fs::path file = scenery / ("area" + std::to_string(i / 100)) / (codeOf(i) + ".bgl");
            writeBytes(file, withAirportCode(layouts[i % 2], codeOf(i)));
            files.push_back(file);
        }
        fs::create_directories(root / "work");
        fs::current_path(root / "work");
        fs::create_directories(g_myThirdpartyFolder);
        fs::create_directories(g_myOrbxFolder);
        gf_initScanThrottle();
        g_stockSceneryPath = root / "sim" / "Scenery"; // no stock scenery inside the add-ons
    }
    ~ScanWorld() { fs::remove_all(root); }
};

ScanWorld& world()
{
    static ScanWorld instance;
    return instance;
}

void BM_ReadSceneryBytes(benchmark::State& state)
{
    world(); // the files are made before the clock runs
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const fs::path& file : world().files) {
            const Bytes content = readBytes(file);
            bytes += content.size();
            benchmark::DoNotOptimize(content.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * kSceneryFiles);
}

void BM_ScanSceneryFolder(benchmark::State& state)
{
    world();
    for (auto _ : state) {
        state.PauseTiming(); // every scan is a first one: no generated file is there yet
        fs::remove_all(g_myThirdpartyFolder);
        fs::create_directories(g_myThirdpartyFolder);
        gf_forgetGeneratedAirports();
        state.ResumeTiming();
        lf_scanSceneryFolder(world().scenery);
        benchmark::DoNotOptimize(gf_takeScanMessages());
    }
    state.SetItemsProcessed(state.iterations() * kSceneryFiles);
    std::size_t generated = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(g_myThirdpartyFolder))
        generated += entry.path().extension() == ".xml";
    state.counters["generated_files"] = static_cast<double>(generated);
    state.SetLabel(world().root.parent_path().string()); // the file system measured
}

// The floor that the file system sets: 2,000 files of a generated file's size saved the way the
// scan saves its generated files (a temporary file and a rename) into an empty folder.
void BM_SaveFilesAlone(benchmark::State& state)
{
    const fs::path folder = world().root / "saved";
    const std::string text(10000, 'x');
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::create_directories(folder);
        state.ResumeTiming();
        for (int i = 0; i < kSceneryFiles; ++i)
            gf_saveFileAtomically(folder / (codeOf(i) + ".xml"), [&](std::ostream& out) {
                out << text;
                return true;
            }, SaveDurability::Regenerable);
    }
    state.SetItemsProcessed(state.iterations() * kSceneryFiles);
}

// One airport section whose subsection entries (half the file) all point at the first of a
// chain of small records (the other half).
Bytes hostileFile(std::size_t totalBytes)
{
    const std::size_t entries = totalBytes / 2 / 16;
    const std::size_t records = totalBytes / 2 / 8;
    const std::uint32_t table = 56 + 20;
    const std::uint32_t chain = table + static_cast<std::uint32_t>(16 * entries);
    std::vector<std::uint32_t> words(14, 0);
    words[0] = 0x19920201;
    words[1] = 0x38;
    words[5] = 1;
    for (const std::uint32_t w : {3u, 1u, static_cast<std::uint32_t>(entries), table, static_cast<std::uint32_t>(16 * entries)})
        words.push_back(w);
    for (std::size_t i = 0; i < entries; ++i)
        for (const std::uint32_t w : {0x12345u, 1u, chain, static_cast<std::uint32_t>(8 * records)})
            words.push_back(w);
    Bytes bytes(words.size() * 4);
    for (std::size_t i = 0; i < words.size(); ++i)
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<char>(words[i] >> (8 * b));
    for (std::size_t r = 0; r < records; ++r) {
        const char record[8] = {0x22, 0, 8, 0, 0, 0, 0, 0};
        bytes.insert(bytes.end(), record, record + 8);
    }
    return bytes;
}

void BM_HostileBglFile(benchmark::State& state)
{
    const fs::path file = world().root / "hostile.bgl";
    writeBytes(file, hostileFile(6u << 20));
    std::size_t airports = 0;
    for (auto _ : state)
        gf_readBglAirports(file, [&](BglAirport&&) { ++airports; });
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(file)));
}

} // namespace

BENCHMARK(BM_ReadSceneryBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ScanSceneryFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_SaveFilesAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_HostileBglFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

BENCHMARK_MAIN();
