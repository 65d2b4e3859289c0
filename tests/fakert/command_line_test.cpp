#include "fakert/command_line.h"
#include "fakert/traffic_lines.h"
#include "peers.h"

#include "support/temp_folder.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace fakert {
namespace {

using fakert_test::kPatience;

TEST(CommandLine, EveryOptionReachesItsSetting)
{
    const auto c = gf_parseCommandLine({"--host", "localhost", "--tcp-port", "10748", "--udp-port=49105",
                                        "--qnh-port", "49104", "--qnh", "1013.2", "--qnh-period", "2.5",
                                        "--speed", "4", "--loop", "--file", "a.rttfc", "--record", "r.txt",
                                        "--version-reply", R"({"version":"1"})", "--no-tcp", "--wait-position",
                                        "--reconnect-after-exit", "--seconds", "30", "--verbose",
                                        "--qnh-json", R"({"QNH": 1})"});
    EXPECT_EQ(c.options.host, "localhost");
    EXPECT_EQ(c.options.tcpPort, 10748);
    EXPECT_EQ(c.options.trafficPort, 49105);
    EXPECT_EQ(c.options.qnhPort, 49104);
    EXPECT_EQ(c.options.qnh, "1013.2");
    EXPECT_EQ(c.options.qnhPeriod, std::chrono::milliseconds(2500));
    EXPECT_EQ(c.options.speed, 4.0);
    EXPECT_TRUE(c.options.loop);
    EXPECT_EQ(c.file, "a.rttfc");
    EXPECT_EQ(c.options.recordFile, "r.txt");
    EXPECT_EQ(c.options.versionReply, R"({"version":"1"})");
    EXPECT_FALSE(c.options.tcp);
    EXPECT_TRUE(c.options.waitForPosition);
    EXPECT_TRUE(c.options.reconnectAfterExit);
    EXPECT_EQ(c.seconds, 30.0);
    EXPECT_TRUE(c.verbose);
    EXPECT_EQ(c.options.qnhDatagram, R"({"QNH": 1})");
    EXPECT_FALSE(c.help);
}

TEST(CommandLine, BadArgumentsAreRefused)
{
    const std::vector<std::vector<std::string>> cases{
        {"--bogus"}, {"file.rttfc"}, {"--tcp-port"}, {"--tcp-port", "0"}, {"--udp-port", "65536"},
        {"--qnh-port", "49004x"}, {"--speed", "0"}, {"--speed", "-2"}, {"--speed", "fast"},
        {"--qnh", "high"}, {"--qnh-period", "-1"}, {"--seconds", "0"}, {"--loop=yes"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.front());
        EXPECT_THROW(gf_parseCommandLine(args), std::invalid_argument);
    }
}

// Runs the fakert program with `arguments`; its standard output once it ended.
class ProgramRun {
public:
    explicit ProgramRun(const std::string& arguments)
        : pipe_(::popen((std::string(FAKERT_PROGRAM) + " " + arguments).c_str(), "r"))
    {
        if (!pipe_)
            throw std::runtime_error("cannot start fakert");
    }
    ~ProgramRun()
    {
        if (pipe_)
            ::pclose(pipe_);
    }
    std::string output()
    {
        std::string text;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe_))
            text += buffer;
        status_ = ::pclose(pipe_);
        pipe_ = nullptr;
        return text;
    }
    int status() const { return status_; }

private:
    FILE* pipe_;
    int status_ = -1;
};

TEST(Program, ReplaysAFileAndSumsUp)
{
    fakert_test::UdpSink traffic;
    fakert_test::UdpSink qnh;
    const auto file = testsupport::sharedDataDir() / "traffic" / "EDKB_landing.rttfc";
    ProgramRun run(fmt::format("--no-tcp --file {} --speed 1000 --udp-port {} --qnh-port {} --qnh 1009",
                               file.string(), traffic.port(), qnh.port()));
    EXPECT_EQ(run.output(), "fakert: 11 traffic lines sent, 1 QNH datagrams sent, 0 TCP lines received\n");
    EXPECT_EQ(run.status(), 0);
    const auto lines = gf_readTrafficFile(file);
    const auto received = traffic.receive(lines.size(), kPatience);
    ASSERT_EQ(received.size(), lines.size());
    EXPECT_EQ(received.back().text.substr(0, 60), lines.back().substr(0, 60));
    EXPECT_EQ(qnh.receive(kPatience)->text, gf_qnhDatagram("1009"));
}

TEST(Program, ServesTheLinkUntilExit)
{
    testsupport::TempFolder folder;
    fakert_test::TinyServer server;
    server.listen();
    // Double quotes with escaped quotes inside read the same to sh and to cmd with the C runtime.
    ProgramRun run(fmt::format(R"(--tcp-port {} --qnh-period 0 --record {} --version-reply "{{\"version\":\"7\"}}")",
                               server.port(), (folder / "rec.txt").string()));
    ASSERT_TRUE(server.accept(kPatience));
    server.send("Qs999=version\r\n");
    EXPECT_EQ(server.readLine(kPatience), "{\"version\":\"7\"}\r\n");
    server.send("Qs123=1593034598000\r\nexit\r\n");
    EXPECT_EQ(run.output(), "fakert: 0 traffic lines sent, 0 QNH datagrams sent, 3 TCP lines received\n");
    EXPECT_EQ(run.status(), 0);
    EXPECT_EQ(testsupport::readFile(folder / "rec.txt"), "Qs999=version\nQs123=1593034598000\nexit\n");
}

TEST(Program, StopsAfterTheGivenSeconds)
{
    fakert_test::UdpSink traffic;
    ProgramRun run(fmt::format("--no-tcp --qnh-period 0 --loop --speed 100 --udp-port {} --seconds 0.2 --file {}",
                               traffic.port(), (testsupport::sharedDataDir() / "traffic" / "EDKB_landing.rttfc").string()));
    const std::string output = run.output();
    EXPECT_TRUE(output.starts_with("fakert: ")) << output;
    EXPECT_EQ(run.status(), 0);
    EXPECT_TRUE(traffic.receive(kPatience));
}

TEST(Program, UsageErrorsEndWithStatusTwo)
{
    ProgramRun run("--speed 0"); // the usage goes to the standard error, the test's own
    EXPECT_EQ(run.output(), "");
    EXPECT_TRUE(testing::ExitedWithCode(2)(run.status())) << run.status();
}

} // namespace
} // namespace fakert
