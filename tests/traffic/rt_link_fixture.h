#pragma once
// The TCP link to the RealTraffic client: the fixture that starts the program's server on a free
// port, and a plain test client.

#include "core/log.h"
#include "fakert/fakert.h"
#include "fakert/sockets.h"
#include "support/temp_folder.h"
#include "traffic/rt_link.h"
#include "traffic_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace traffic_test {

using namespace std::chrono_literals;

constexpr OwnPosition kAtKlax{0.0123, -0.05, 1.5, 35000.0, 250.0, 33.94, -118.4};
constexpr const char* kAtKlaxLine = "Qs121=1e+03;-5e+03;1.500000;4e+07;250000;0.592365;-2.066470";

// A stop event that is never set: the waits of the test clients end by their timeout. One for
// them all, so that a client holds no descriptor but its socket.
inline const fakert::StopEvent neverSet;

// A plain TCP client of the test; made with fakert's socket code, which shares none with the
// program.
class TestClient {
public:
    explicit TestClient(std::uint16_t port)
        : socket_(fakert::gf_connectTcp({kLoopbackHost, port}, neverSet, kPatience))
    {
    }

    bool connected() const { return socket_.valid(); }
    // A client that will stop reading fills its side soon, whatever the system's buffers.
    bool limitReceiveBuffer() const { return fakert::gf_limitReceiveBuffer(socket_, 4096); }
    void send(std::string_view bytes) const { ASSERT_TRUE(fakert::gf_sendAll(socket_, bytes)); }
    // The bytes up to the next line end, without it; none when the program closed first.
    std::optional<std::string> readLine()
    {
        for (;;) {
            if (const auto end = pending_.find("\r\n"); end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 2);
                return line;
            }
            char buffer[512];
            if (!fakert::gf_waitReadable(socket_, neverSet, kPatience))
                return std::nullopt;
            const long count = fakert::gf_receive(socket_, buffer, sizeof buffer);
            if (count <= 0)
                return std::nullopt;
            pending_.append(buffer, static_cast<std::size_t>(count));
        }
    }
    // The program closed its end: a read finds the end of the stream (and does not time out).
    bool closedByProgram() const
    {
        char byte = 0;
        return fakert::gf_waitReadable(socket_, neverSet, kPatience) && fakert::gf_receive(socket_, &byte, 1) == 0;
    }

private:
    fakert::OwnedSocket socket_;
    std::string pending_;
};

// The descriptors (Linux) or kernel handles (Windows) that the process holds open
// (rt_link_linux_test.cpp, rt_link_windows_test.cpp).
int openDescriptors();

class RtLink : public TrafficTest {
protected:
    void SetUp() override
    {
        TrafficTest::SetUp();
        gf_openLog();
        gf_startRealTrafficServer("0");
        port_ = gf_realTrafficServerPort();
        ASSERT_NE(port_, 0);
    }
    void TearDown() override
    {
        gf_closeRealTrafficServer();
        gf_closeLog();
        TrafficTest::TearDown();
    }

    fakert::Options fakertOptions() const
    {
        fakert::Options options;
        options.tcpPort = port_;
        options.qnhPeriod = 0ms;
        options.connectRetry = 20ms;
        return options;
    }
    std::string log() const { return testsupport::readFile(folder_ / "Log.txt"); }

    testsupport::TempFolder folder_{true};
    std::uint16_t port_ = 0;
};

} // namespace traffic_test
