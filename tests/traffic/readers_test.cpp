// The two UDP readers on real sockets of 127.0.0.1, fed by fakert and by a plain sender.

#include "fakert/fakert.h"
#include "readers_fixture.h"

#include <set>

namespace {

using namespace traffic_test;

TEST_F(Readers, FakertTrafficAndQnhArriveAndTheStopEndsBothThreads)
{
    trafficReader.setReferencePosition({-33.85, 152.7});
    g_trafficRangeNm = 100.0;
    startReaders();
    EXPECT_EQ(gf_trafficStatus().trafficIndicator, kIndicatorReceiving);

    fakert::Options options;
    options.trafficPort = trafficReader.boundPort();
    options.qnhPort = weatherReader.boundPort();
    options.tcp = false;
    options.qnh = "1019.7";
    options.qnhPeriod = std::chrono::milliseconds(20);
    options.speed = 1000.0; // the two lines are 115 s apart
    fakert::FakeRt client(options);
    client.startFile(testsupport::sharedDataDir() / "traffic" / "documented_samples.rttfc");

    ASSERT_TRUE(eventually([] { return queueSize() >= 2 && currentQnh.load() == 1020; }))
        << queueSize() << " messages, QNH " << currentQnh.load();
    std::set<std::uint32_t> ids;
    for (const TrafficMessage& message : queuedMessages())
        ids.insert(message.hexId);
    EXPECT_EQ(ids, (std::set<std::uint32_t>{11234042, 10750303}));
    EXPECT_EQ(gf_trafficStatus().qnhDisplay, 1020);
    // The time stamps arrive shifted to the present.
    EXPECT_NEAR(trafficReader.lastTimeStamp(), static_cast<double>(gf_wallClockSeconds()), 200.0);

    client.stop();
    stopReaders();
    EXPECT_EQ(gf_trafficStatus().trafficIndicator, kIndicatorStopped);
    const std::string text = log();
    EXPECT_NE(text.find("          QNH Reader connected"), std::string::npos);
    EXPECT_NE(text.find("          Traffic Reader connected"), std::string::npos);
    EXPECT_NE(text.find("Traffic Reader has stopped"), std::string::npos);
    EXPECT_NE(text.find("QNH Reader has stopped"), std::string::npos);
    EXPECT_FALSE(readerErrorFlag.load());
}

TEST_F(Readers, RepeatedDatagramsAreSuppressedOnlyFromAnotherPc)
{
    const UdpPeer sender;
    for (const bool local : {false, true}) {
        SCOPED_TRACE(local ? "client on this PC" : "client on another PC");
        rtClientLocal = local;
        startReaders(true, false);
        const std::uint16_t port = trafficReader.boundPort();
        const std::uint32_t counted = trafficReader.datagramCount();
        const std::uint32_t passed = trafficReader.passedOnCount();
        for (const char* datagram : {"A", "A", "B", "A"})
            sender.send(port, datagram);
        ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount() == counted + 4; }));
        EXPECT_EQ(trafficReader.passedOnCount() - passed, local ? 4u : 3u);
        stopReaders();
    }
}

TEST_F(Readers, OversizedAndEmptyDatagramsAreNotPassedOn)
{
    const UdpPeer sender;
    startReaders(true, false);
    const std::uint16_t port = trafficReader.boundPort();
    const std::uint32_t counted = trafficReader.datagramCount();
    const std::uint32_t passed = trafficReader.passedOnCount();
    sender.send(port, std::string(kDatagramBufferSize, 'x'));
    sender.send(port, std::string(kDatagramBufferSize - 1, 'y'));
    // The 16383 bytes count, the 16384 do not.
    ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount() == counted + 1; }));
    EXPECT_NE(log().find("buffer overrun: 16384 bytes"), std::string::npos);
    sender.send(port, "");
    sender.send(port, "last");
    ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount() == counted + 2; }));
    EXPECT_EQ(trafficReader.passedOnCount() - passed, 2u);
}

// A flood of oversized datagrams logs one line a second, the next one with a count.
TEST_F(Readers, OverrunsAreLoggedOnceASecondWithACount)
{
    const UdpPeer sender;
    useLimiterClock();
    startReaders(true, false);
    const std::uint16_t port = trafficReader.boundPort();
    const std::uint32_t counted = trafficReader.datagramCount();
    for (int i = 0; i < 3; ++i)
        sender.send(port, std::string(kDatagramBufferSize, 'x'));
    sender.send(port, "after the overruns");
    ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount() == counted + 1; }));
    const std::string line = "buffer overrun: 16384 bytes";
    EXPECT_EQ(log().find(line), log().rfind(line));
    moveLimiterClock(std::chrono::seconds(1));
    sender.send(port, std::string(kDatagramBufferSize, 'x'));
    ASSERT_TRUE(eventually([&] { return log().find(line + " (3 times since the previous report)") != std::string::npos; }))
        << log();
}

TEST_F(Readers, ABusyPortStopsTheReaderWithTheWinsockText)
{
    startReaders(false, true); // the QNH reader holds the port
    std::thread(gf_trafficReaderThread, weatherReader.boundPort()).detach();
    ASSERT_TRUE(eventually([] { return readerErrorFlag.load() && !trafficReader.running(); }));
    const MessageLineState line = gf_messageLineState();
    EXPECT_EQ(line.text, "The TrafficReader  has stopped with an error: sys error 32: bind to stream socket "
                         "failed with error: 10048 Address already in use");
    EXPECT_NE(log().find("          Traffic Reader disconnected"), std::string::npos);
}

TEST_F(Readers, HeartbeatShowsWhetherDatagramsCame)
{
    const UdpPeer sender;
    startReaders();
    gf_updateReaderIndicators();
    EXPECT_EQ(gf_trafficStatus().trafficIndicator, kIndicatorReceiving) << "nothing happens before rtReady";
    gf_setRtReady(true);
    gf_updateReaderIndicators(); // takes the counts of earlier runs as its start
    gf_updateReaderIndicators();
    EXPECT_EQ(gf_trafficStatus().trafficIndicator, kIndicatorNoData);
    EXPECT_EQ(gf_trafficStatus().qnhIndicator, kIndicatorNoData);
    const std::uint32_t counted = trafficReader.datagramCount();
    sender.send(trafficReader.boundPort(), "line");
    ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount() == counted + 1; }));
    gf_updateReaderIndicators();
    EXPECT_EQ(gf_trafficStatus().trafficIndicator, kIndicatorReceiving);
    EXPECT_EQ(gf_trafficStatus().qnhIndicator, kIndicatorNoData);
}

} // namespace
