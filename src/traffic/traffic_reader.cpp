#include "traffic/traffic_reader.h"

#include "core/clock.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "traffic/traffic_status.h"

#include <cstring>
#include <thread>
#include <fmt/format.h>

std::atomic<bool> rtClientLocal{true};
std::atomic<bool> readerErrorFlag{false};
std::atomic<std::int32_t> currentQnh{kStandardQnh};

TrafficReader trafficReader;
WeatherReader weatherReader;

// ---- UdpReader ----

UdpReader::UdpReader(std::string displayName) : displayName_(std::move(displayName))
{
}

void UdpReader::openSocket()
{
    const int fd = net::gf_openUdpSocket();
    if (fd == net::kInvalidSocket)
        throw qmx::SysErrorException(
            31, "failed to create the socket with error: " + gf_wsaErrorText(net::gf_lastSocketError()));
    // The client sends every aircraft in range at once now and then, a few thousand datagrams in
    // a few milliseconds: the system's default buffer (some hundred datagrams) would drop most of
    // such a burst before the reader got to it. A smaller buffer granted still works.
    net::gf_setReceiveBufferSize(fd, kReceiveBufferSize);
    socket_.adopt(fd);
}

void UdpReader::bindPort(std::uint16_t port)
{
    const net::GuardedSocket::Lease lease = socket_.lease();
    const std::uint32_t address = rtClientLocal.load() ? net::kLoopback : net::kAnyAddress;
    // A socket the exit closed already cannot be bound: reported like any other bind failure.
    if (!lease || !net::gf_bindIpv4(lease.fd(), address, port))
        throw qmx::SysErrorException(
            32, "bind to stream socket failed with error: " +
                    gf_wsaErrorText(lease ? net::gf_lastSocketError() : net::kErrorBadSocket));
    boundPort_.store(net::gf_localPort(lease.fd()));
}

void UdpReader::receiveLoop()
{
    const bool local = rtClientLocal.load();
    previousDatagram_.clear(); // a new run repeats nothing of the previous one
    net::GuardedSocket::Lease lease = socket_.lease();
    while (lease && !stopRequested_.load()) {
        const long count = net::gf_receiveDatagram(lease.fd(), buffer_.data(), buffer_.size());
        if (count <= 0) {
            const std::int32_t error = count < 0 ? net::gf_lastSocketError() : 0;
            // Nothing, an error, or the socket was shut down under the receive.
            if (!socket_.isOpen())
                break;
            if (count < 0)
                pauseAfterReceiveError(error);
            continue;
        }
        const auto size = static_cast<std::size_t>(count);
        if (size >= buffer_.size()) {
            if (const std::optional<std::uint64_t> count = overrunLog_.occur())
                gf_logLine(gf_withRepeatCount(fmt::format("buffer overrun: {} bytes", size), *count));
            continue;
        }
        buffer_[size] = '\0';
        datagram = std::string_view(buffer_.data(), std::strlen(buffer_.data()));
        datagramCount_.fetch_add(1, std::memory_order_relaxed);
        // The client broadcasts every datagram twice over the network; over loopback it does not.
        if (!local) {
            if (datagram == previousDatagram_)
                continue;
            previousDatagram_.assign(datagram);
        }
        passedOnCount_.fetch_add(1, std::memory_order_relaxed);
        onMessage();
    }
    lease.release();
    socket_.close();
    onStop();
}

// An error that persists would otherwise spin the loop and fill the log: the loop pauses after
// each one and logs at most one a minute.
void UdpReader::pauseAfterReceiveError(std::int32_t code)
{
    if (const std::optional<std::uint64_t> count = receiveErrorLog_.occur())
        gf_logLine(gf_withRepeatCount(
            fmt::format("{} recvfrom failed with error: {}", displayName_, gf_wsaErrorText(code)), *count));
    std::this_thread::sleep_for(kReceiveErrorPause);
}

void UdpReader::requestStop()
{
    stopRequested_.store(true);
    socket_.close();
}

// The body of a reader thread.
void lf_runReader(UdpReader& reader, std::uint16_t port, bool traffic)
{
    std::lock_guard running(reader.runMutex_);
    reader.running_.store(true);
    try {
        reader.openSocket();
        reader.bindPort(port);
        if (traffic)
            gf_setTrafficIndicator(kIndicatorReceiving);
        gf_setQnhIndicator(kIndicatorReceiving);
        gf_logIndented(reader.displayName() + " connected");
        reader.receiveLoop();
    } catch (const std::exception& e) {
        reader.socket_.close();
        gf_logIndented(reader.displayName() + " disconnected");
        gf_reportReaderError(traffic, e.what());
    }
    reader.boundPort_.store(0);
    reader.running_.store(false);
}

void gf_trafficReaderThread(std::uint16_t port)
{
    lf_runReader(trafficReader, port, true);
}

void gf_weatherReaderThread(std::uint16_t port)
{
    lf_runReader(weatherReader, port, false);
}

void gf_stopReaders()
{
    weatherReader.requestStop();
    trafficReader.requestStop();
}

namespace {

// One reader's indicator: no data when nothing came since the previous heartbeat; receiving
// again (painted once) when datagrams came after a quiet heartbeat.
void lf_heartbeat(const std::atomic<std::uint32_t>& count, std::atomic<std::uint32_t>& previous,
                  std::atomic<bool>& latch, void (*setIndicator)(int))
{
    const std::uint32_t now = count.load(std::memory_order_relaxed);
    const std::uint32_t before = previous.exchange(now);
    if (now == before) {
        setIndicator(kIndicatorNoData);
        latch.store(false);
    } else if (!latch.exchange(true)) {
        setIndicator(kIndicatorReceiving);
    }
}

} // namespace

void gf_updateReaderIndicators()
{
    if (!gf_trafficStatus().rtReady)
        return;
    lf_heartbeat(weatherReader.datagramCount_, weatherReader.heartbeatCount_,
                 weatherReader.indicatorLatch_, gf_setQnhIndicator);
    lf_heartbeat(trafficReader.datagramCount_, trafficReader.heartbeatCount_,
                 trafficReader.indicatorLatch_, gf_setTrafficIndicator);
}

void gf_resetReaders()
{
    trafficReader.qnhCopy.store(kStandardQnh);
    trafficReader.resetLastTimeStamp();
    trafficReader.clearCollectedCallsigns();
    trafficReader.stopRequested_.store(false);
    weatherReader.stopRequested_.store(false);
    weatherReader.datagramCount_.store(0);
    weatherReader.heartbeatCount_.store(0);
    weatherReader.lastQnh.store(kStandardQnh);
    trafficReader.indicatorLatch_.store(true);
    weatherReader.indicatorLatch_.store(true);
}

void gf_reportReaderError(bool traffic, const std::string& text)
{
    gf_reportMessage(fmt::format("The {} has stopped with an error: {}", traffic ? "TrafficReader " : "WeatherReader",
                               text),
                   true);
    readerErrorFlag.store(true);
}
