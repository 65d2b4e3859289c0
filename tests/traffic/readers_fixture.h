#pragma once
// The two UDP readers on real sockets of 127.0.0.1: the fixture that starts and stops them, and
// a plain sender.

#include "core/log.h"
#include "fakert/sockets.h"
#include "support/temp_folder.h"
#include "traffic_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

namespace traffic_test {

// A UDP socket of the test that sends to ports of 127.0.0.1; made with fakert's socket code,
// which shares none with the program.
class UdpPeer {
public:
    void send(std::uint16_t port, std::string_view bytes) const
    {
        ASSERT_TRUE(fakert::gf_sendDatagram(socket_, {kLoopbackHost, port}, bytes));
    }

private:
    fakert::OwnedSocket socket_ = fakert::gf_udpSocket();
};

class Readers : public TrafficTest {
protected:
    void SetUp() override
    {
        TrafficTest::SetUp();
        gf_openLog();
    }
    void TearDown() override
    {
        stopReaders();
        gf_closeLog();
        TrafficTest::TearDown();
    }

    // Starts the reader threads as the run does, on free ports.
    void startReaders(bool traffic = true, bool qnh = true)
    {
        gf_resetReaders(); // as before every connection: a stop of the previous run is over
        if (qnh)
            std::thread(gf_weatherReaderThread, std::uint16_t{0}).detach();
        if (traffic)
            std::thread(gf_trafficReaderThread, std::uint16_t{0}).detach();
        ASSERT_TRUE(eventually([&] {
            return (!qnh || weatherReader.boundPort() != 0) && (!traffic || trafficReader.boundPort() != 0);
        }));
    }
    void stopReaders()
    {
        gf_stopReaders();
        EXPECT_TRUE(eventually([] { return !trafficReader.running() && !weatherReader.running(); }));
    }
    std::string log() const { return testsupport::readFile(folder_ / "Log.txt"); }

    testsupport::TempFolder folder_{true};
};

} // namespace traffic_test
