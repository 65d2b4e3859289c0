#include "fakert/fakert.h"
#include "fakert/traffic_lines.h"
#include "peers.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fakert {
namespace {

using fakert_test::Datagram;
using fakert_test::kPatience;
using fakert_test::SteadyClock;
using std::chrono::milliseconds;

std::string lf_line(const std::string& callsign, const std::string& stamp)
{
    return "RTTFC,11231627,34.9619,-116.6734,31174,1088,0,47,493," + callsign + ",A319,N832UA,LAX,DEN," + stamp +
           ",X2,,adsb_icao,31174,-1,-1,-1,-1,-1,-1,-1,1088,none,A3,";
}

Options lf_replayOnly(const fakert_test::UdpSink& sink, double speed)
{
    Options options;
    options.trafficPort = sink.port();
    options.speed = speed;
    options.tcp = false;
    options.qnhPeriod = milliseconds(0);
    return options;
}

std::vector<std::string> lf_texts(const std::vector<Datagram>& datagrams)
{
    std::vector<std::string> texts;
    for (const Datagram& d : datagrams)
        texts.push_back(d.text);
    return texts;
}

double lf_secondsSince(SteadyClock::time_point start, const Datagram& datagram)
{
    return std::chrono::duration<double>(datagram.received - start).count();
}

double lf_unixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(Replay, SendsLinesInOrderAtTheirPaceWithStampsShiftedToNow)
{
    fakert_test::UdpSink sink;
    const std::vector<std::string> lines{
        lf_line("AAA1", "1593034598"),
        R"({"ICAO": "KLAX","QNH": "2996", "METAR": "KLAX A2996"})",
        lf_line("AAA2", "1593034599.5"),
        "RTTFC,11231627,34.9619,-116.6734", // too short for a time stamp: right behind the one before
        lf_line("AAA3", "1593034601"),
    };
    FakeRt rt(lf_replayOnly(sink, 20.0)); // 3 s of stamps in 0.15 s
    const auto start = SteadyClock::now();
    rt.start(lines);
    const auto received = sink.receive(4, kPatience);
    ASSERT_TRUE(rt.waitUntil([&] { return rt.replayFinished(); }, kPatience));

    const std::int64_t offset = rt.timeOffsetMs();
    EXPECT_EQ(lf_texts(received), (std::vector<std::string>{gf_shiftTimeStamp(lines[0], offset),
                                                            gf_shiftTimeStamp(lines[2], offset), lines[3],
                                                            gf_shiftTimeStamp(lines[4], offset)}));
    EXPECT_NEAR(gf_lineTimeStamp(received.at(0).text)->seconds(), lf_unixNow(), 5.0);
    // A line never leaves before its shifted stamp is due (the speed factor divides the wait).
    EXPECT_GE(lf_secondsSince(start, received.at(1)), 1.5 / 20.0);
    EXPECT_GE(lf_secondsSince(start, received.at(3)), 3.0 / 20.0);
    EXPECT_EQ(rt.counters().trafficLines, 4U);
    EXPECT_EQ(rt.counters().replayRounds, 1U);
}

TEST(Replay, SpeedFactorShortensAMinuteOfStamps)
{
    fakert_test::UdpSink sink;
    const std::vector<std::string> lines{lf_line("AAA1", "1000"), lf_line("AAA2", "1030"), lf_line("AAA3", "1060")};
    FakeRt rt(lf_replayOnly(sink, 600.0));
    const auto start = SteadyClock::now();
    rt.start(lines);
    // Finished long before the minute that the stamps span.
    ASSERT_TRUE(rt.waitUntil([&] { return rt.replayFinished(); }, kPatience));
    const auto received = sink.receive(3, kPatience);
    ASSERT_EQ(received.size(), 3U);
    EXPECT_GE(lf_secondsSince(start, received[2]), 60.0 / 600.0);
    EXPECT_EQ(gf_lineTimeStamp(received[2].text)->units - gf_lineTimeStamp(received[0].text)->units, 60);
}

TEST(Replay, EarlierStampsGoOutAtOnceInFileOrder)
{
    fakert_test::UdpSink sink;
    const std::vector<std::string> lines{lf_line("AAA1", "1000"), lf_line("AAA2", "997"), lf_line("AAA3", "1000.5")};
    FakeRt rt(lf_replayOnly(sink, 10.0));
    rt.start(lines);
    const auto received = sink.receive(3, kPatience);
    const std::int64_t offset = rt.timeOffsetMs();
    std::vector<std::string> expected;
    for (const std::string& line : lines)
        expected.push_back(gf_shiftTimeStamp(line, offset));
    EXPECT_EQ(lf_texts(received), expected);
}

TEST(Replay, LoopStartsAgainWithStampsShiftedAnew)
{
    fakert_test::UdpSink sink;
    const std::vector<std::string> lines{lf_line("AAA1", "1000"), lf_line("AAA2", "1001")};
    Options options = lf_replayOnly(sink, 50.0);
    options.loop = true;
    FakeRt rt(options);
    rt.start(lines);
    const auto received = sink.receive(6, kPatience);
    ASSERT_EQ(received.size(), 6U);
    for (std::size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE(i);
        const auto stamp = gf_lineTimeStamp(received[i].text);
        ASSERT_TRUE(stamp);
        const std::int64_t original = i % 2 == 0 ? 1000 : 1001;
        EXPECT_EQ(received[i].text, gf_shiftTimeStamp(lines[i % 2], (stamp->units - original) * 1000));
        const std::int64_t before = i > 0 ? gf_lineTimeStamp(received[i - 1].text)->units : 0;
        if (i % 2 == 1) { // one offset for the whole pass
            EXPECT_EQ(stamp->units, before + 1);
        } else if (i > 0) { // a later pass, shifted to its own start
            EXPECT_GE(stamp->units, gf_lineTimeStamp(received[i - 2].text)->units);
        }
    }
    EXPECT_GE(rt.counters().replayRounds, 2U);
    EXPECT_FALSE(rt.replayFinished());
}

TEST(Replay, WholeCaptureArrivesAsRecordedButForTheStamps)
{
    const auto file = testsupport::sharedDataDir() / "traffic" / "EDKB_landing.rttfc";
    const auto lines = gf_readTrafficFile(file);
    fakert_test::UdpSink sink;
    FakeRt rt(lf_replayOnly(sink, 1000.0)); // 107 s of traffic
    rt.startFile(file);
    const auto received = sink.receive(lines.size(), kPatience);
    ASSERT_EQ(received.size(), lines.size());
    const std::int64_t offset = rt.timeOffsetMs();
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(received[i].text, gf_shiftTimeStamp(lines[i], offset)) << i;
    EXPECT_NEAR(gf_lineTimeStamp(received[0].text)->seconds(), lf_unixNow(), 5.0);
}

TEST(Replay, DoubledCaptureIsSentAsIs)
{
    auto lines = gf_readTrafficFile(testsupport::sharedDataDir() / "traffic" / "KLAX_20200624_2220Z.rttfc");
    lines.resize(40);
    fakert_test::UdpSink sink;
    FakeRt rt(lf_replayOnly(sink, 1000.0));
    rt.start(lines);
    const auto received = sink.receive(lines.size(), kPatience);
    ASSERT_EQ(received.size(), 40U);
    for (std::size_t i = 0; i < received.size(); i += 2)
        EXPECT_EQ(received[i].text, received[i + 1].text) << i;
}

TEST(Replay, WaitsForTheFirstOwnPositionWhenAsked)
{
    fakert_test::UdpSink sink;
    fakert_test::TinyServer server;
    server.listen();
    Options options = lf_replayOnly(sink, 1.0);
    options.tcp = true;
    options.tcpPort = server.port();
    options.waitForPosition = true;
    FakeRt rt(options);
    rt.start({lf_line("AAA1", "1000")});
    ASSERT_TRUE(server.accept(kPatience));
    server.send("Qs123=1593034598000\r\n");
    ASSERT_TRUE(rt.waitUntil([&] { return rt.counters().tcpLines == 1; }, kPatience));
    EXPECT_EQ(rt.counters().trafficLines, 0U);
    EXPECT_FALSE(sink.receive(milliseconds(0)));

    server.send("Qs121=0;0;1.570796;4e+07;250000;0.592539;-2.058910\r\n");
    const auto datagram = sink.receive(kPatience);
    ASSERT_TRUE(datagram);
    EXPECT_TRUE(datagram->text.starts_with("RTTFC,11231627,"));
}

} // namespace
} // namespace fakert
