#include "fakert/fakert.h"
#include "peers.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fakert {
namespace {

using fakert_test::kPatience;
using fakert_test::SteadyClock;
using std::chrono::milliseconds;

Options lf_qnhOnly(const fakert_test::UdpSink& sink, milliseconds period)
{
    Options options;
    options.qnhPort = sink.port();
    options.qnhPeriod = period;
    options.tcp = false;
    return options;
}

TEST(Qnh, DatagramsAtTheirPeriodCarryTheValue)
{
    fakert_test::UdpSink sink;
    Options options = lf_qnhOnly(sink, milliseconds(40));
    options.qnh = "1013.2";
    FakeRt rt(options);
    const auto start = SteadyClock::now();
    rt.start({});
    const auto received = sink.receive(3, kPatience);
    ASSERT_EQ(received.size(), 3U);
    for (const auto& datagram : received)
        EXPECT_EQ(nlohmann::json::parse(datagram.text).at("QNH"), "1013.2") << datagram.text;
    EXPECT_GE(received[2].received - start, milliseconds(80));
    EXPECT_TRUE(rt.waitUntil([&] { return rt.counters().qnhDatagrams >= 3; }, kPatience));
}

TEST(Qnh, AGivenDatagramIsSentAsItIs)
{
    fakert_test::UdpSink sink;
    Options options = lf_qnhOnly(sink, milliseconds(1000));
    options.qnhDatagram = R"({"QNH": 29.92})";
    FakeRt rt(options);
    rt.start({});
    const auto datagram = sink.receive(kPatience);
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->text, R"({"QNH": 29.92})");
}

} // namespace
} // namespace fakert
