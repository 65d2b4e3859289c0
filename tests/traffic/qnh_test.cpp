// The QNH Reader's reading of the client's JSON datagrams.

#include "core/log.h"
#include "support/temp_folder.h"
#include "traffic_fixture.h"

#include <atomic>
#include <optional>

namespace {

using namespace traffic_test;

constexpr std::int32_t kUnchanged = 999; // what currentQnh holds before each datagram

class Qnh : public TrafficTest {
protected:
    void SetUp() override
    {
        TrafficTest::SetUp();
        gf_openLog();
        gf_setTrafficStatusSink([this] { ++repaints_; });
        useLimiterClock();
    }
    void TearDown() override
    {
        gf_setTrafficStatusSink({});
        gf_closeLog();
        TrafficTest::TearDown();
    }

    std::string log() const { return testsupport::readFile(folder_ / "Log.txt"); }

    testsupport::TempFolder folder_{true};
    std::atomic<int> repaints_{0};
};

struct Case {
    const char* datagram;
    std::optional<std::int32_t> published;
    const char* logged = nullptr; // a line the datagram leaves in the log
};

TEST_F(Qnh, DatagramsAndWhatTheyPublish)
{
    const std::vector<Case> cases{
        {R"({"QNH":1013.6})", 1014},
        {R"({"QNH":1013.5})", 1014},
        {R"({"QNH":1019.7})", 1020},
        {R"({"ICAO":"EDKB","QNH":"1009","METAR":"EDKB Q1009"})", 1009},
        {R"({"QNH":"1019.7"})", 1020}, // a text rounds like a number: 1019.7 hPa is not 1019
        {R"({"QNH":" +1015 hPa"})", 1015},
        {R"({"QNH":2992})", 1013},     // inches of mercury x 100
        {R"({"QNH":"2992"})", 1013},
        {R"({"QNH":1080})", 1080},
        {R"({"QNH":930})", 930},
        {R"({"QNH":900})", std::nullopt, R"(? Strange QNH 900 found in {"QNH":900})"},
        {R"({"QNH":-1013.5})", std::nullopt, "? Strange QNH -1014 found in"},
        {R"({"QNH":1e300})", std::nullopt, "? Strange QNH"},
        {R"({"QNH":18446744073709551615})", std::nullopt, "? Strange QNH"},
        {R"({"QNH":null})", std::nullopt, R"(no QNH {"QNH":null})"},
        {R"({"ICAO":"EDKB"})", std::nullopt, R"(no QNH {"ICAO":"EDKB"})"},
        {R"({"QNH":{}})", std::nullopt, "no QNH"},
        {R"({"QNH":[]})", std::nullopt, "no QNH"},
        // No number in the member: logged, and the standard pressure is published.
        {R"({"QNH":true})", 1013, R"(no QNH {"QNH":true})"},
        {R"({"QNH":[1020]})", 1013, "no QNH"},
        {R"({"QNH":"high"})", 1013, "===> QNH string invalid arg: invalid stoi argument"},
        {R"({"QNH":"nan"})", 1013, "===> QNH string invalid arg: invalid stoi argument"},
        {R"({"QNH":"99999999999"})", 1013, "===> QNH string out of range: stoi argument out of range"},
        // No JSON object at all.
        {R"([1013])", std::nullopt, "in [1013]"},
        {"QNH=1013", std::nullopt, "in QNH=1013"},
        {R"({"QNH":10)", std::nullopt, "Exception [json.exception.parse_error"},
        // Its bytes are quoted so that they make no lines of their own in the log.
        {"QNH=1013\r\nQNH Reader has stopped\x01\xff", std::nullopt, R"(in QNH=1013\r\nQNH Reader has stopped\x01\xFF)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.datagram);
        currentQnh = kUnchanged;
        weatherReader.lastQnh = 1000;
        repaints_ = 0;
        moveLimiterClock(std::chrono::seconds(1)); // each line is due
        weatherReader.handleDatagram(c.datagram);
        EXPECT_EQ(currentQnh.load(), c.published.value_or(kUnchanged));
        if (c.published) {
            EXPECT_EQ(gf_trafficStatus().qnhDisplay, *c.published);
            EXPECT_EQ(trafficReader.qnhCopy.load(), *c.published);
            EXPECT_EQ(repaints_.load(), 1);
        } else {
            EXPECT_EQ(repaints_.load(), 0);
        }
        if (c.logged != nullptr) {
            EXPECT_NE(log().find(c.logged), std::string::npos) << log();
        }
    }
}

// A flood of bad datagrams logs each kind of line once a second, the next one with a count.
TEST_F(Qnh, ABadDatagramFloodLogsOnceASecondWithACount)
{
    for (int i = 0; i < 50; ++i) {
        weatherReader.handleDatagram(R"({"QNH":null})");
        weatherReader.handleDatagram(R"({"QNH":900})");
    }
    EXPECT_EQ(log().find("no QNH"), log().rfind("no QNH"));
    EXPECT_EQ(log().find("? Strange QNH"), log().rfind("? Strange QNH"));
    moveLimiterClock(std::chrono::seconds(1));
    weatherReader.handleDatagram(R"({"QNH":null})");
    EXPECT_NE(log().find(R"(no QNH {"QNH":null} (50 times since the previous report))"), std::string::npos) << log();
    EXPECT_EQ(log().find("? Strange QNH"), log().rfind("? Strange QNH"));
}

TEST_F(Qnh, TheSameValueIsPublishedOnceExceptTheStandardPressure)
{
    weatherReader.handleDatagram(R"({"QNH":1020})");
    weatherReader.handleDatagram(R"({"QNH":"1020"})");
    EXPECT_EQ(repaints_.load(), 1);
    weatherReader.handleDatagram(R"({"QNH":1013})");
    weatherReader.handleDatagram(R"({"QNH":1013})");
    EXPECT_EQ(repaints_.load(), 3);
    EXPECT_EQ(currentQnh.load(), 1013);
}

TEST_F(Qnh, APublishedValueTurnsAQuietIndicatorBack)
{
    gf_setQnhIndicator(kIndicatorNoData);
    weatherReader.handleDatagram(R"({"QNH":1002})");
    EXPECT_EQ(gf_trafficStatus().qnhIndicator, kIndicatorReceiving);
    EXPECT_EQ(gf_trafficStatus().qnhDisplay, 1002);
}

} // namespace
