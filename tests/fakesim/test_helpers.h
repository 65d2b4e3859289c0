#pragma once
// Shared by the stand-in's tests: a quick configuration, the trace as parsed JSON lines, and a
// child process with pipes for the program tests.

#include "fakesim.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace fakesim_test {

// A stand-in with a trace in the folder, a fast clock (one simulated second = 100 ms) and
// 10 frames a simulated second.
fakesim::Config quickConfig(const std::filesystem::path& folder);

// Every line of the trace parsed as JSON; a line that does not parse fails the calling test.
std::vector<nlohmann::json> readTrace(const std::filesystem::path& path);
// The trace lines of one type.
std::vector<nlohmann::json> traceOfType(const std::filesystem::path& path, const std::string& type);

// A program with its standard input and output on pipes (child_process_linux.cpp,
// child_process_windows.cpp).
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder = {});
    ~ChildProcess();  // kills the process if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of its standard output, or nullopt when none comes before the deadline.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Everything it writes until it closes its output (or the deadline).
    std::string readAll(std::chrono::milliseconds timeout);
    void writeLine(const std::string& line);
    void closeInput();
    // Its exit code once it has ended, or nullopt at the deadline; -signal for a signal.
    std::optional<int> wait(std::chrono::milliseconds timeout);

    struct State;  // one per system

private:
    std::unique_ptr<State> state_;
};

} // namespace fakesim_test
