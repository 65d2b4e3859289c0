// fakesim: the simulator stand-in as a program. It prints the bound TCP port as the first line
// on standard output, then answers SimConnect clients until it is told to quit (control line
// "quit", --quit-after, SIGINT or SIGTERM). Control lines come from standard input (answers go to
// standard output) and from a control file that is followed while it grows.

#include "control.h"
#include "fakesim.h"
#include "sockets.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace {

using fakesim::Config;
using fakesim::FakeSim;

constexpr const char* kUsage = R"(usage: fakesim [options]
  --port N                  TCP port on 127.0.0.1 (0: any free port; default 0)
  --no-tcp                  do not listen on TCP
  --pipe NAME               also serve the simulator's pipe: on Windows the named pipe
                            NAME ("\\.\pipe\Lockheed Martin Prepar3D v5\SimConnect"), on Linux
                            the Unix-domain socket at the path NAME that stands in for it
  --socket NAME             the same as --pipe
  --trace FILE              write the JSON-lines trace to FILE
  --no-move-trace           count position writes without tracing them
  --lat DEG --lon DEG --alt FT --agl FT --heading DEG --pitch DEG --bank DEG
  --speed KT --vs FPM --turn DEG_PER_S --on-ground 0|1
                            the user aircraft's start and motion (default: parked at KLAX)
  --title TEXT --model TEXT --atc-id TEXT   the user aircraft's texts
  --zulu UNIX_SECONDS       the simulator clock at start (default: now)
  --frame-rate FPS          Frame events per simulated second (default 30; 0: none)
  --second-ms MS            real milliseconds of one simulated second (default 1000)
  --app-name TEXT           application name of the Open reply (default "Lockheed Martin Prepar3D v5")
  --app-version A.B.C.D     application version of the Open reply (default 5.3.17.28160)
  --simconnect-version A.B.C.D
  --stopped                 start with the simulation stopped ("Sim" reports 0)
  --first-object-id N       first object id of new objects (default 100)
  --max-objects N           AI objects before exception 11 (default 1000)
  --keep-objects            keep a client's AI objects when its connection ends
  --protocols LIST          accepted protocol numbers, comma-separated (default 2,3,4,35)
  --quit-after S            quit after S simulated seconds
  --drop-after S            drop the client connections after S simulated seconds
  --control FILE            run the control lines of FILE, and lines appended to it later
  --no-stdin                do not read control lines from standard input
)";

std::atomic<FakeSim*> g_sim{nullptr};
std::mutex g_outputMutex;                 // standard output and the flag below
std::condition_variable g_commandDone;
bool g_commandRunning = false;            // a control line from standard input is being answered

void lf_onSignal(int)
{
    if (FakeSim* sim = g_sim.load())
        sim->requestQuitAsync();
}

void lf_print(const std::string& line)
{
    std::lock_guard lock(g_outputMutex);
    std::cout << line << std::endl;
}

[[noreturn]] void lf_usageError(const std::string& why)
{
    std::cerr << "fakesim: " << why << "\n" << kUsage;
    std::exit(2);
}

double lf_number(const std::string& option, const std::string& text)
{
    double value = 0.0;
    if (!fakesim::parseNumber(text, value))
        lf_usageError(option + " takes a number, not \"" + text + "\"");
    return value;
}

std::uint32_t lf_unsigned(const std::string& option, const std::string& text)
{
    const double value = lf_number(option, text);
    if (value < 0.0 || value > 4294967295.0 || value != static_cast<double>(static_cast<std::uint64_t>(value)))
        lf_usageError(option + " takes a whole number");
    return static_cast<std::uint32_t>(value);
}

struct Options {
    Config config;
    std::vector<std::string> userSettings;
    std::vector<std::pair<double, std::string>> scheduled;
    std::string controlFile;
    bool readStdin = true;
};

Options lf_parse(int argc, char** argv)
{
    Options options;
    Config& config = options.config;
    auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc)
            lf_usageError(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        static const std::map<std::string, std::string> kUserKeys{
            {"--lat", "lat"},     {"--lon", "lon"},         {"--alt", "alt"},       {"--agl", "agl"},
            {"--heading", "heading"}, {"--pitch", "pitch"}, {"--bank", "bank"},     {"--speed", "speed"},
            {"--vs", "vs"},       {"--turn", "turn"},       {"--on-ground", "on_ground"},
            {"--title", "title"}, {"--model", "model"},     {"--atc-id", "atc_id"},
        };
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (auto key = kUserKeys.find(option); key != kUserKeys.end()) {
            options.userSettings.push_back(key->second + "=" + value(i));
        } else if (option == "--port") {
            const auto port = lf_unsigned(option, value(i));
            if (port > 65535)
                lf_usageError("--port takes 0 to 65535");
            config.tcpPort = static_cast<std::uint16_t>(port);
        } else if (option == "--no-tcp") {
            config.listenTcp = false;
        } else if (option == "--pipe" || option == "--socket") {
            config.pipePath = value(i);
        } else if (option == "--trace") {
            config.tracePath = value(i);
        } else if (option == "--no-move-trace") {
            config.traceMoves = false;
        } else if (option == "--zulu") {
            config.zuluStartUnix = static_cast<std::int64_t>(lf_number(option, value(i)));
        } else if (option == "--frame-rate") {
            config.frameRate = lf_number(option, value(i));
        } else if (option == "--second-ms") {
            config.secondLength = std::chrono::milliseconds(std::max<std::uint32_t>(1, lf_unsigned(option, value(i))));
        } else if (option == "--app-name") {
            config.openReply.applicationName = value(i);
        } else if (option == "--app-version" || option == "--simconnect-version") {
            std::array<std::uint32_t, 4> p{};
            if (!fakesim::parseVersion(value(i), p))
                lf_usageError(option + " takes A.B.C.D");
            auto& r = config.openReply;
            if (option == "--app-version")
                std::tie(r.applicationVersionMajor, r.applicationVersionMinor, r.applicationBuildMajor,
                         r.applicationBuildMinor) = std::tuple(p[0], p[1], p[2], p[3]);
            else
                std::tie(r.simConnectVersionMajor, r.simConnectVersionMinor, r.simConnectBuildMajor,
                         r.simConnectBuildMinor) = std::tuple(p[0], p[1], p[2], p[3]);
        } else if (option == "--stopped") {
            config.simRunning = false;
        } else if (option == "--first-object-id") {
            config.firstAiObjectId = lf_unsigned(option, value(i));
        } else if (option == "--max-objects") {
            config.maxAiObjects = lf_unsigned(option, value(i));
        } else if (option == "--keep-objects") {
            config.removeObjectsOfClosedClient = false;
        } else if (option == "--protocols") {
            config.protocols.clear();
            std::string list = value(i);
            for (std::size_t start = 0; start <= list.size();) {
                const auto comma = std::min(list.find(',', start), list.size());
                config.protocols.push_back(lf_unsigned(option, list.substr(start, comma - start)));
                start = comma + 1;
            }
        } else if (option == "--quit-after") {
            options.scheduled.emplace_back(lf_number(option, value(i)), "quit");
        } else if (option == "--drop-after") {
            options.scheduled.emplace_back(lf_number(option, value(i)), "drop");
        } else if (option == "--control") {
            options.controlFile = value(i);
        } else if (option == "--no-stdin") {
            options.readStdin = false;
        } else {
            lf_usageError("unknown option " + option);
        }
    }
    const std::string problem = fakesim::applyUserSettings(config.user, options.userSettings);
    if (!problem.empty())
        lf_usageError(problem);
    return options;
}

// Reads whole lines that were appended to the control file since the last call.
class ControlFileFollower {
public:
    explicit ControlFileFollower(std::string path) : path_(std::move(path)) {}

    void poll(FakeSim& sim)
    {
        std::ifstream in(path_, std::ios::binary);
        if (!in)
            return;
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string more((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        offset_ += more.size();
        pending_ += more;
        std::size_t newline;
        while ((newline = pending_.find('\n')) != std::string::npos) {
            const std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            const std::string answer = fakesim::runControlLine(sim, line);
            if (answer.starts_with("error"))
                std::cerr << "fakesim: " << path_ << ": " << line << ": " << answer << std::endl;
        }
    }

private:
    std::string path_;
    std::size_t offset_ = 0;
    std::string pending_;
};

} // namespace

int main(int argc, char** argv)
{
    fakesim::net::prepareProgram();
    Options options = lf_parse(argc, argv);
    std::unique_ptr<FakeSim> sim;
    try {
        sim = std::make_unique<FakeSim>(options.config);
    } catch (const std::exception& e) {
        std::cerr << "fakesim: " << e.what() << std::endl;
        return 1;
    }
    std::optional<ControlFileFollower> follower;
    if (!options.controlFile.empty()) {
        // What the file holds at the start is in force before any client can know the port.
        follower.emplace(options.controlFile);
        follower->poll(*sim);
    }
    lf_print(std::to_string(sim->port()));
    g_sim = sim.get();
    std::signal(SIGINT, lf_onSignal);
    std::signal(SIGTERM, lf_onSignal);

    for (const auto& [seconds, line] : options.scheduled)
        sim->scheduleControl(seconds, line);
    if (options.readStdin) {
        // Detached: a read blocked on standard input must not keep the program from ending.
        std::thread([s = sim.get()] {
            std::string line;
            while (std::getline(std::cin, line)) {
                {
                    std::lock_guard lock(g_outputMutex);
                    g_commandRunning = true;
                }
                const std::string answer = fakesim::runControlLine(*s, line);
                {
                    std::lock_guard lock(g_outputMutex);
                    std::cout << answer << std::endl;
                    g_commandRunning = false;
                }
                g_commandDone.notify_all();
            }
        }).detach();
    }
    while (!sim->waitForEnd(std::chrono::milliseconds(100))) {
        if (follower)
            follower->poll(*sim);
    }
    g_sim = nullptr;
    // A "quit" from standard input gets its answer out before the program ends. The reader may
    // still hold a pointer to the stand-in: leave without destroying it.
    std::unique_lock lock(g_outputMutex);
    g_commandDone.wait_for(lock, std::chrono::seconds(2), [] { return !g_commandRunning; });
    std::cout.flush();
    std::_Exit(0);
}
