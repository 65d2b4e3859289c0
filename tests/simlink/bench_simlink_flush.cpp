// Timed run of the per-frame flush: N moving AI objects against the simulator stand-in at F
// frames a second for S seconds. A work-thread stand-in writes every object's pose each 10 ms
// pass and hands the buffer over, as the engine does. Reported: CPU time of the SimConnect
// thread per frame, socket writes per frame and position packets per frame, with the frame's
// packets batched into one send block and, for comparison, sent one by one.
//
//   bench_simlink_flush [objects=1000] [frames per second=60] [seconds=10]

#include "fakesim.h"

#include "simconnect/simconnect_config.h"
#include "simconnect/simconnect_connection.h"
#include "simlink/sim_client.h"
#include "simlink/sim_internal.h"
#include "simlink/sim_queues.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Figures {
    double frames = 0;
    double cpuMicrosPerFrame = 0;
    double writesPerFrame = 0;
    double packetsPerFrame = 0;
};

template <typename Condition>
bool lf_waitFor(Condition condition, std::chrono::seconds timeout = 30s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

Figures lf_run(fakesim::FakeSim& sim, const std::vector<std::uint32_t>& objects, std::chrono::seconds duration,
               bool batch)
{
    batchFrameWrites = batch;
    const auto connection = qmx::scFindConnection(gf_simConnectHandle());
    std::atomic<bool> stop{false};
    // The work thread: one pose per object every 10 ms pass, handed over after the pass.
    std::thread work([&] {
        auto next = std::chrono::steady_clock::now();
        for (std::uint64_t pass = 0; !stop; ++pass) {
            for (std::size_t i = 0; i < objects.size(); ++i) {
                AcPositionRecord pose;
                pose.latitude = 33.9 + static_cast<double>(i) * 1e-4 + static_cast<double>(pass) * 1e-7;
                pose.longitude = -118.4;
                pose.heading = 1.0;
                pose.altitude = 2000.0;
                pose.trueAirspeed = 150.0;
                pose.objectId = objects[i];
                gf_updateAircraft(pose);
            }
            gf_handOverPositions();
            next += 10ms;
            std::this_thread::sleep_until(next);
        }
    });
    std::this_thread::sleep_for(1s); // settle
    const fakesim::Status before = sim.status();
    const auto cpuBefore = gf_simClientThreadCpuTime();
    const std::uint64_t writesBefore = connection->writeCalls();
    std::this_thread::sleep_for(duration);
    const auto cpuAfter = gf_simClientThreadCpuTime();
    const std::uint64_t writesAfter = connection->writeCalls();
    const fakesim::Status after = sim.status();
    stop = true;
    work.join();

    Figures figures;
    figures.frames = static_cast<double>(after.framesSent - before.framesSent);
    const double cpuMicros = std::chrono::duration<double, std::micro>(cpuAfter - cpuBefore).count();
    figures.cpuMicrosPerFrame = cpuMicros / figures.frames;
    figures.writesPerFrame = static_cast<double>(writesAfter - writesBefore) / figures.frames;
    figures.packetsPerFrame = static_cast<double>(after.requestCount("SetDataOnSimObject") -
                                                  before.requestCount("SetDataOnSimObject")) /
                              figures.frames;
    return figures;
}

void lf_print(const char* mode, const Figures& f)
{
    std::printf("%-22s frames %6.0f  CPU %8.1f us/frame  writes %6.2f /frame  position packets %7.1f /frame\n", mode,
                f.frames, f.cpuMicrosPerFrame, f.writesPerFrame, f.packetsPerFrame);
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t objectCount = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    const double framesPerSecond = argc > 2 ? std::strtod(argv[2], nullptr) : 60.0;
    const auto duration = std::chrono::seconds(argc > 3 ? std::strtol(argv[3], nullptr, 10) : 10);

    const fs::path folder = fs::temp_directory_path() / ("orvanta-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);

    fakesim::Config config;
    config.frameRate = framesPerSecond;
    config.traceMoves = false;
    config.maxAiObjects = objectCount + 10;
    fakesim::FakeSim sim(config);
    std::ofstream(folder / "SimConnect.cfg") << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << sim.port()
                                              << "\n";
    qmx::gf_scSetConfigFolders({folder});

    gf_resetSimQueues(5);
    gf_startSimClientThread();
    if (!lf_waitFor([] { return gf_simLinkStatus().simConnected && simRunningFlag.load(); })) {
        std::fprintf(stderr, "no connection to the stand-in\n");
        return 1;
    }
    gf_getUserAcPosition();
    lf_waitFor([] { return userObjectId.load() == 1; });
    std::vector<std::uint32_t> objects;
    for (std::size_t i = 0; i < objectCount; ++i) {
        fakesim::SimObject object;
        object.title = "Bench";
        object.atcId = "B" + std::to_string(i);
        object.pose.latitudeDeg = 33.9;
        object.pose.longitudeDeg = -118.4;
        objects.push_back(sim.addSimObject(object));
    }

    std::printf("%zu moving objects, %.0f frames/s, %lld s\n", objectCount, framesPerSecond,
                static_cast<long long>(duration.count()));
    lf_print("one write per frame", lf_run(sim, objects, duration, true));
    lf_print("one write per packet", lf_run(sim, objects, duration, false));

    gf_requestSimClientStop();
    gf_joinSimClientThread();
    fs::remove_all(folder);
    return 0;
}
