// A real capture through the parser. The expected counts were made once by the independent
// script count_queued.py beside this test (python3 count_queued.py KLAX_20200617_2152Z.rttfc).

#include "support/temp_folder.h"
#include "traffic_fixture.h"

#include <set>
#include <sstream>

namespace {

using namespace traffic_test;

constexpr LatLon kKlax{33.942536, -118.408075};
constexpr double kKlaxElevation = 128.0;

std::vector<std::string> captureLines(const char* name)
{
    std::istringstream text(testsupport::readFile(testsupport::sharedDataDir() / "traffic" / name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct Count {
    std::size_t messages = 0;
    std::size_t aircraft = 0;
};

Count parseAll(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        trafficReader.handleDatagram(line);
    std::set<std::uint32_t> ids;
    for (const TrafficMessage& message : queuedMessages())
        ids.insert(message.hexId);
    return {queueSize(), ids.size()};
}

class Capture : public TrafficTest {
protected:
    void SetUp() override
    {
        TrafficTest::SetUp();
        trafficReader.setReferencePosition(kKlax);
        g_trafficRangeNm = 40.0; // the capture's history is taken from a client of any edition
    }
};

TEST_F(Capture, KlaxJune17WithoutParkAirportQueuesOnlyAirborneTraffic)
{
    const std::vector<std::string> lines = captureLines("KLAX_20200617_2152Z.rttfc");
    ASSERT_EQ(lines.size(), 3830u);
    const Count count = parseAll(lines);
    EXPECT_EQ(count.messages, 1701u);
    EXPECT_EQ(count.aircraft, 79u);
    for (const TrafficMessage& message : queuedMessages())
        ASSERT_EQ(message.position.airborne, 1) << message.hexId;
}

TEST_F(Capture, KlaxJune17WithKlaxAsParkAirport)
{
    gf_setParkAirport({"KLAX", "LAX", kKlax.latitude, kKlax.longitude, kKlaxElevation});
    trafficReader.setReferenceElevation(kKlaxElevation);
    const Count count = parseAll(captureLines("KLAX_20200617_2152Z.rttfc"));
    EXPECT_EQ(count.messages, 2931u);
    EXPECT_EQ(count.aircraft, 91u);
}

} // namespace
