// The fakesim program as whole-program tests and the demo use it: port first on standard output,
// control lines on standard input and from a growing control file, scheduled drop and quit.

#include "raw_client.h"
#include "test_helpers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fakesim_test {
namespace {

std::uint16_t lf_port(ChildProcess& program)
{
    const auto line = program.readLine(kDeadline);
    EXPECT_TRUE(line) << "no port on standard output";
    return line ? static_cast<std::uint16_t>(std::stoul(*line)) : 0;
}

TEST(FakesimProgram, PrintsItsPortAndFollowsStandardInput)
{
    testsupport::TempFolder folder;
    const auto trace = folder.path() / "trace.jsonl";
    ChildProcess program({FAKESIM_PROGRAM, "--trace", trace.string(), "--lat", "40.6398", "--lon", "-73.7789",
                          "--app-version", "5.4.9.28482", "--second-ms", "100"});
    const std::uint16_t port = lf_port(program);
    ASSERT_NE(port, 0);
    RawClient client(port);
    const Message reply = client.open();
    EXPECT_EQ(reply.u32(276), 9u);
    client.send(addDatumPacket(1, "Plane Latitude", "degree", 4));
    client.send(requestDataPacket(2, 1, 0, 1));
    auto data = client.receiveWhere(8, 12, 2);
    ASSERT_TRUE(data);
    EXPECT_DOUBLE_EQ(data->f64(40), 40.6398);

    program.writeLine("status");
    const auto status = program.readLine(kDeadline);
    ASSERT_TRUE(status);
    EXPECT_EQ(nlohmann::json::parse(*status)["opened"], 1);
    program.writeLine("no such command");
    const auto error = program.readLine(kDeadline);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->starts_with("error: "));
    program.writeLine("quit");
    EXPECT_EQ(program.readLine(kDeadline), "ok");
    EXPECT_TRUE(client.receiveId(3));
    EXPECT_EQ(program.wait(kDeadline), 0);
    const auto lines = readTrace(trace);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front()["type"], "listen");
    EXPECT_EQ(lines.back()["type"], "end");
    EXPECT_EQ(lines.back()["reason"], "quit");
}

TEST(FakesimProgram, DropAndQuitOnSchedule)
{
    testsupport::TempFolder folder;
    const auto pipe = testPipe(folder.path());
    // The drop comes a second after the start: the first client, which opens as soon as the port
    // is out, must be in before it, also on a loaded machine.
    ChildProcess program({FAKESIM_PROGRAM, "--no-tcp", "--pipe", pipe.string(), "--second-ms", "500",
                          "--drop-after", "2", "--quit-after", "6", "--no-stdin"});
    EXPECT_EQ(lf_port(program), 0);  // no TCP
    {
        RawClient client(pipe);
        client.open();
        EXPECT_TRUE(client.waitClosed());
        EXPECT_FALSE(client.receiveId(3, std::chrono::milliseconds(0)));  // a drop says nothing
    }
    RawClient again(pipe);
    again.open();
    EXPECT_TRUE(again.receiveId(3));
    EXPECT_EQ(program.wait(kDeadline), 0);
    EXPECT_THROW(RawClient{pipe}, std::runtime_error);
}

TEST(FakesimProgram, ControlFileIsFollowedAsItGrows)
{
    testsupport::TempFolder folder;
    const auto control = folder.path() / "control.txt";
    std::ofstream(control) << "refuse-create\n";
    ChildProcess program({FAKESIM_PROGRAM, "--control", control.string(), "--no-stdin"});
    const std::uint16_t port = lf_port(program);
    RawClient client(port);
    client.open();
    // The lines already there have run before the port is printed.
    const auto sendId = client.send(createPacket("Boeing 737-800", "T1", {}, 104));
    auto refused = client.receive();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->id(), 1u);
    EXPECT_EQ(refused->u32(12), 22u);
    EXPECT_EQ(refused->u32(16), sendId);
    std::ofstream(control, std::ios::app) << "quit\n";
    EXPECT_TRUE(client.receiveId(3));
    EXPECT_EQ(program.wait(kDeadline), 0);
}

TEST(FakesimProgram, BadOptionsStopItWithUsage)
{
    for (std::vector<std::string> args : {std::vector<std::string>{"--port", "99999"}, {"--lat", "north"},
                                          {"--bogus"}, {"--trace"}, {"--app-version", "x"}}) {
        args.insert(args.begin(), FAKESIM_PROGRAM);
        ChildProcess program(args);
        EXPECT_EQ(program.wait(kDeadline), 2) << args[1];
    }
}

} // namespace
} // namespace fakesim_test
