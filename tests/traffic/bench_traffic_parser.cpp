// Speed of the traffic line parser on a real capture (KLAX, 24 June 2020, 25,769 lines), against
// a baseline that only splits each line at its commas and converts the numbers the parser reads.
// Both report lines per second of one core (items_per_second).
//
//   build/tests/bench_traffic_parser

#include "core/clock.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::vector<std::string>& captureLines()
{
    static const std::vector<std::string> lines = [] {
        std::ifstream in(ORVANTA_SHARED_DATA_DIR "/traffic/KLAX_20200624_2220Z.rttfc", std::ios::binary);
        if (!in)
            throw std::runtime_error("cannot read the KLAX capture");
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            all.push_back(line);
        }
        return all;
    }();
    return lines;
}

// The user at KLAX with KLAX as park airport, traffic accepted: every filter and the queue run.
void lf_prepare()
{
    constexpr LatLon kKlax{33.942536, -118.408075};
    trafficReader.setReferencePosition(kKlax);
    trafficReader.setReferenceElevation(128.0);
    gf_setParkAirport({"KLAX", "LAX", kKlax.latitude, kKlax.longitude, 128.0});
    g_trafficRangeNm = 40.0;
    g_professionalEdition = true; // the capture's time stamps are history
    gf_setAcceptTraffic(true);
}

void BM_ParseLines(benchmark::State& state)
{
    lf_prepare();
    const std::vector<std::string>& lines = captureLines();
    for (auto _ : state) {
        for (const std::string& line : lines)
            trafficReader.handleDatagram(line);
        // The engine takes the messages off the queue; that is not the parser's work.
        state.PauseTiming();
        {
            std::lock_guard lock(trafficQueueMutex);
            benchmark::DoNotOptimize(trafficQueue.size());
            trafficQueue.clear();
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}

void BM_SplitAndConvertOnly(benchmark::State& state)
{
    static constexpr std::size_t kNumberFields[] = {2, 3, 4, 5, 7, 8, 14, 20, 23, 25};
    const std::vector<std::string>& lines = captureLines();
    std::vector<std::string_view> fields;
    fields.reserve(64);
    for (auto _ : state) {
        for (const std::string& text : lines) {
            const std::string_view line = text;
            fields.clear();
            std::size_t start = 0;
            for (std::size_t comma; (comma = line.find(',', start)) != std::string_view::npos; start = comma + 1)
                fields.push_back(line.substr(start, comma - start));
            if (start < line.size())
                fields.push_back(line.substr(start));
            if (fields.size() < 29)
                continue;
            std::uint32_t hexId = 0;
            std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), hexId);
            benchmark::DoNotOptimize(hexId);
            for (const std::size_t index : kNumberFields) {
                double value = 0.0;
                std::from_chars(fields[index].data(), fields[index].data() + fields[index].size(), value);
                benchmark::DoNotOptimize(value);
            }
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}

BENCHMARK(BM_SplitAndConvertOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
