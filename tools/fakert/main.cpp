// fakert: the RealTraffic client stand-in as a program (see fakert.h and gf_usage).

#include "fakert/command_line.h"
#include "fakert/fakert.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>

namespace {

std::atomic<bool> g_signalled{false};

extern "C" void lf_onSignal(int)
{
    g_signalled.store(true);
}

// std::signal, which both systems offer: the handler only sets a flag that the run polls.
void lf_catchSignals()
{
    std::signal(SIGINT, lf_onSignal);
    std::signal(SIGTERM, lf_onSignal);
}

// Runs fakert until --seconds pass, a signal comes, or its work is done: the replay finished and
// the program ended the link (for whichever of the two was asked for).
void lf_run(const fakert::CommandLine& commandLine)
{
    fakert::FakeRt rt(commandLine.options);
    if (commandLine.file.empty())
        rt.start({});
    else
        rt.startFile(commandLine.file);

    const auto& options = commandLine.options;
    const bool hasWork = !commandLine.file.empty() || options.tcp;
    const auto done = [&] {
        if (g_signalled.load())
            return true;
        const bool linkDone = !options.tcp || (rt.exitReceived() && !options.reconnectAfterExit);
        return hasWork && rt.replayFinished() && linkDone;
    };
    using Clock = std::chrono::steady_clock;
    const auto deadline = commandLine.seconds
                              ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(*commandLine.seconds))
                              : Clock::time_point::max();
    // Short waits, so that a signal is noticed soon.
    while (!done() && Clock::now() < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        rt.waitUntil(done, std::min<std::chrono::milliseconds>(left, std::chrono::milliseconds(100)));
    }
    rt.stop();
    fmt::print("{}\n", fakert::gf_summaryLine(rt.counters()));
}

} // namespace

int main(int argc, char** argv)
{
    fakert::CommandLine commandLine;
    try {
        commandLine = fakert::gf_parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        fmt::print(stderr, "fakert: {}\n{}", e.what(), fakert::gf_usage());
        return 2;
    }
    if (commandLine.help) {
        fmt::print("{}", fakert::gf_usage());
        return 0;
    }
    if (commandLine.verbose)
        commandLine.options.onEvent = [](std::string_view text) { fmt::print(stderr, "fakert: {}\n", text); };
    lf_catchSignals();
    try {
        lf_run(commandLine);
    } catch (const std::exception& e) {
        fmt::print(stderr, "fakert: {}\n", e.what());
        return 1;
    }
    return 0;
}
