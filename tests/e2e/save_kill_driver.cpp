// Saves one of the files the program writes, again and again, through the program's own save
// functions, so that a parent can kill it at random moments and look at what is left.
//
//   save_kill_driver <kind> <folder> a|b|loop
//
// kind: parameters, liveries, learned, generated, park-list, flight-plan. The file lies below
// <folder> where the program keeps it. "a" and "b" save the two versions once each (the parent
// keeps them to compare with); "loop" saves a, b, a, b, ... until it is killed, and prints
// "saving" once the first save is done and "saved" after each of the next three.

#include "airports/stand_file.h"
#include "core/files.h"
#include "liveries/livery_data.h"
#include "liveries/scanned_liveries_file.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "simlink/flight_plans.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The parent waits for "saving" and then for this many more saves, which tell it how long a save
// takes, before it kills at a random moment of a later one.
constexpr unsigned kToldSaves = 3;

// Version 0 and 1 of each file differ in size and content, so that a mix of the two, or a
// part of either, is neither of them.
using Save = std::function<bool(int version)>;

bool lf_saveParameters(int version)
{
    g_parametersFile = (fs::current_path() / "parameters.xml").string();
    gf_setParameterString(DESTINATION, version == 0 ? "KLAX" : "EGLL-a-longer-destination-text");
    return fs::exists(g_parametersFile);
}

std::list<qmx::LiveryData> lf_buildLiveries(int version)
{
    std::list<qmx::LiveryData> liveries;
    for (int i = 0; i < 2000 + version * 700; ++i) {
        qmx::LiveryData livery;
        livery.airline = "A" + std::to_string(i % 97);
        livery.model = version == 0 ? "B738" : "A320";
        livery.title = "Livery number " + std::to_string(i);
        liveries.push_back(livery);
    }
    return liveries;
}

// Each version is built once and lent to the list the save writes, so that the loop's time goes
// to the saves.
bool lf_saveLiveries(int version)
{
    static std::list<qmx::LiveryData> versions[2]{lf_buildLiveries(0), lf_buildLiveries(1)};
    ScannedLiveries.swap(versions[version]);
    lf_writeLiveriesScanned();
    ScannedLiveries.swap(versions[version]);
    return fs::exists(g_liveriesScannedFile);
}

AirportFile lf_buildAirportFile(int version)
{
    AirportFile file;
    file.ICAO = "KLAX";
    file.airport_name = "Los Angeles Intl";
    file.publisher = "stock";
    for (int i = 0; i < 300 + version * 100; ++i) {
        ParkPosOption option;
        option.airl = "DAL";
        option.type = "B738";
        option.reg = "N" + std::to_string(1000 + i);
        option.number = 1;
        option.day = 1 + static_cast<std::uint32_t>(i % 7);
        Stand stand("S" + std::to_string(i), {option}, {33.94 + i * 1e-5, -118.40, 1.0}, 30.0, 0, 0, 0);
        stand.manual = version == 1;
        file.stands.push_back(stand);
    }
    return file;
}

// Built once: the loop's time goes to the saves, not to making what they save.
const AirportFile& lf_airportFile(int version)
{
    static const AirportFile files[2]{lf_buildAirportFile(0), lf_buildAirportFile(1)};
    return files[version];
}

bool lf_saveParkList(int version)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 200 + version * 50; ++i)
        lines.push_back("K" + std::to_string(100 + i) + " G" + std::to_string(i % 40));
    fs::create_directories(g_myParkAirportsFile.parent_path());
    return gf_writeLinesToFile(lines, g_myParkAirportsFile);
}

bool lf_saveFlightPlan(int version)
{
    fs::create_directories("flight_plans");
    FlightPlanRoute route{AcCategory::Large, version == 0 ? "KLAX" : "KSFO", version == 0 ? "KSFO" : "RJTT-the-long-way"};
    return gf_writeFlightPlan(fs::path("flight_plans") / gf_flightPlanFileName(100), route);
}

const std::map<std::string, Save>& lf_saves()
{
    static const std::map<std::string, Save> saves{
        {"parameters", lf_saveParameters},
        {"liveries",
         [](int version) {
             fs::create_directories(g_liveriesScannedFile.parent_path());
             return lf_saveLiveries(version);
         }},
        {"learned", [](int version) { return gf_writeApf(lf_airportFile(version), "KLAX.xml", ApfWriteMode::LearnedSave); }},
        {"generated", [](int version) { return gf_writeApf(lf_airportFile(version), "KLAX_gen.xml", ApfWriteMode::Generated); }},
        {"park-list", lf_saveParkList},
        {"flight-plan", lf_saveFlightPlan},
    };
    return saves;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || !lf_saves().contains(argv[1])) {
        std::fprintf(stderr, "usage: save_kill_driver parameters|liveries|learned|generated|park-list|flight-plan "
                             "<folder> a|b|loop\n");
        return 2;
    }
    const Save& save = lf_saves().at(argv[1]);
    fs::current_path(argv[2]);
    const std::string mode = argv[3];
    if (mode != "loop")
        return save(mode == "a" ? 0 : 1) ? 0 : 1;
    for (unsigned n = 0;; ++n) {
        if (!save(static_cast<int>(n % 2)))
            return 1;
        // The first saves done are told, so that the parent kills after as many of them as it
        // likes rather than after a time, which a loaded machine stretches. Later ones are not:
        // a quick save would fill the pipe while the parent waits for the processor, and the
        // kill would always find the loop blocked in the write of a line, never inside a save.
        if (n <= kToldSaves) {
            std::puts(n == 0 ? "saving" : "saved");
            std::fflush(stdout);
        }
    }
}
