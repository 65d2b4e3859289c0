#include "fakert/command_line.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>

namespace fakert {

namespace {

std::invalid_argument lf_badValue(const std::string& name, const std::string& value)
{
    return std::invalid_argument(fmt::format("{}: invalid value '{}'", name, value));
}

double lf_number(const std::string& name, const std::string& value)
{
    double number = 0.0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc{} || end != value.data() + value.size() || !std::isfinite(number))
        throw lf_badValue(name, value);
    return number;
}

std::uint16_t lf_port(const std::string& name, const std::string& value)
{
    unsigned port = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), port);
    if (error != std::errc{} || end != value.data() + value.size() || port == 0 || port > 65535)
        throw lf_badValue(name, value);
    return static_cast<std::uint16_t>(port);
}

double lf_positive(const std::string& name, const std::string& value)
{
    const double number = lf_number(name, value);
    if (number <= 0.0)
        throw lf_badValue(name, value);
    return number;
}

using ValueSetter = std::function<void(CommandLine&, const std::string& name, const std::string& value)>;
using FlagSetter = std::function<void(CommandLine&)>;

const std::map<std::string, ValueSetter>& lf_valueOptions()
{
    static const std::map<std::string, ValueSetter> options{
        {"--host", [](CommandLine& c, auto&, auto& v) { c.options.host = v; }},
        {"--tcp-port", [](CommandLine& c, auto& n, auto& v) { c.options.tcpPort = lf_port(n, v); }},
        {"--udp-port", [](CommandLine& c, auto& n, auto& v) { c.options.trafficPort = lf_port(n, v); }},
        {"--qnh-port", [](CommandLine& c, auto& n, auto& v) { c.options.qnhPort = lf_port(n, v); }},
        {"--qnh",
         [](CommandLine& c, auto& n, auto& v) {
             lf_number(n, v);
             c.options.qnh = v;
         }},
        {"--qnh-json", [](CommandLine& c, auto&, auto& v) { c.options.qnhDatagram = v; }},
        {"--qnh-period",
         [](CommandLine& c, auto& n, auto& v) {
             const double seconds = lf_number(n, v);
             if (seconds < 0.0)
                 throw lf_badValue(n, v);
             c.options.qnhPeriod = std::chrono::milliseconds(std::llround(seconds * 1000.0));
         }},
        {"--copies",
         [](CommandLine& c, auto& n, auto& v) {
             const double copies = lf_positive(n, v);
             if (copies != std::floor(copies) || copies > 100)
                 throw lf_badValue(n, v);
             c.options.copies = static_cast<unsigned>(copies);
         }},
        {"--speed", [](CommandLine& c, auto& n, auto& v) { c.options.speed = lf_positive(n, v); }},
        {"--flood", [](CommandLine& c, auto& n, auto& v) { c.options.floodRate = lf_positive(n, v); }},
        {"--file", [](CommandLine& c, auto&, auto& v) { c.file = v; }},
        {"--record", [](CommandLine& c, auto&, auto& v) { c.options.recordFile = v; }},
        {"--version-reply", [](CommandLine& c, auto&, auto& v) { c.options.versionReply = v; }},
        {"--seconds", [](CommandLine& c, auto& n, auto& v) { c.seconds = lf_positive(n, v); }},
    };
    return options;
}

const std::map<std::string, FlagSetter>& lf_flagOptions()
{
    static const std::map<std::string, FlagSetter> options{
        {"--loop", [](CommandLine& c) { c.options.loop = true; }},
        {"--fresh-ids", [](CommandLine& c) { c.options.freshIds = true; }},
        {"--no-tcp", [](CommandLine& c) { c.options.tcp = false; }},
        {"--wait-position", [](CommandLine& c) { c.options.waitForPosition = true; }},
        {"--reconnect-after-exit", [](CommandLine& c) { c.options.reconnectAfterExit = true; }},
        {"--version-no-line-end", [](CommandLine& c) { c.options.versionLineEnd = false; }},
        {"--verbose", [](CommandLine& c) { c.verbose = true; }},
        {"--help", [](CommandLine& c) { c.help = true; }},
    };
    return options;
}

} // namespace

CommandLine gf_parseCommandLine(const std::vector<std::string>& args)
{
    CommandLine commandLine;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (const auto flag = lf_flagOptions().find(name); flag != lf_flagOptions().end()) {
            if (value)
                throw std::invalid_argument(fmt::format("{} takes no value", name));
            flag->second(commandLine);
            continue;
        }
        const auto option = lf_valueOptions().find(name);
        if (option == lf_valueOptions().end())
            throw std::invalid_argument(fmt::format("unknown option '{}'", args[i]));
        if (!value) {
            if (i + 1 == args.size())
                throw std::invalid_argument(fmt::format("{} needs a value", name));
            value = args[++i];
        }
        option->second(commandLine, name, *value);
    }
    return commandLine;
}

std::string gf_usage()
{
    return R"(usage: fakert [options]
A stand-in for the RealTraffic client: replays recorded RTTFC lines over UDP, sends QNH
datagrams and serves the program's TCP link.
  --file F                 traffic lines to replay (weather records are skipped)
  --speed X                replay X times faster than the time stamps (default 1)
  --loop                   start the file again after its last line
  --flood N                instead of the replay, the lines round and round at N a second, each
                           stamped with the present time (until --seconds pass)
  --fresh-ids              every pass flies other aircraft: new hex ids and callsigns (with
                           a letter mark of the pass)
  --copies N               N replays at once with --fresh-ids, copy k starting k/N of the way
                           through the file (default 1)
  --wait-position          start the replay when the program sent its first own position
  --host H                 the program's host (default 127.0.0.1)
  --udp-port N             traffic datagrams to port N (default 49005)
  --qnh-port N             QNH datagrams to port N (default 49004)
  --qnh V                  QNH value sent as "QNH" (default 1013)
  --qnh-json TEXT          send TEXT as the QNH datagram instead
  --qnh-period S           seconds between QNH datagrams, 0 for none (default 10)
  --tcp-port N             the program's TCP server (default 10747)
  --no-tcp                 do not connect to the program
  --version-reply JSON     reply to "Qs999=version" (default {"version":"10.0.240","level":2})
  --version-no-line-end    send the version reply without "\r\n" behind it
  --reconnect-after-exit   connect again after the program sent "exit"
  --record F               write every line received over TCP to F
  --seconds N              stop after N seconds
  --verbose                print connections and received lines on stderr
Without --seconds fakert ends when the replay is done and the program sent "exit" (whichever
of the two applies), or on SIGINT/SIGTERM.
)";
}

std::string gf_summaryLine(const Counters& counters)
{
    return fmt::format("fakert: {} traffic lines sent, {} QNH datagrams sent, {} TCP lines received",
                       counters.trafficLines, counters.qnhDatagrams, counters.tcpLines);
}

} // namespace fakert
