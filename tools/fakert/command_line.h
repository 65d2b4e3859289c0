#pragma once
// The command line of the fakert program.

#include "fakert/fakert.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fakert {

struct CommandLine {
    Options options;
    std::filesystem::path file;    // empty: no traffic replay
    std::optional<double> seconds; // stop after this many seconds
    bool verbose = false;          // print fakert's events on stderr
    bool help = false;
};

// The arguments without the program name; "--name value" and "--name=value" both work.
// Throws std::invalid_argument with a message for the user.
CommandLine gf_parseCommandLine(const std::vector<std::string>& args);

std::string gf_usage();

// "fakert: {} traffic lines sent, {} QNH datagrams sent, {} TCP lines received"
std::string gf_summaryLine(const Counters& counters);

} // namespace fakert
