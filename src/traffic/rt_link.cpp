#include "traffic/rt_link.h"

#include "core/clock.h"
#include "core/exceptions.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/repeat_limiter.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "platform/net_socket.h"
#include "traffic/engine_services.h"
#include "traffic/own_position.h"
#include "traffic/traffic_reader.h"
#include "traffic/traffic_status.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <fmt/format.h>
#include <limits>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

std::atomic<bool> rtConnected{false};

namespace {

using nlohmann::json;

// Orders the installation of an accepted client against the closing of the link.
std::mutex rtLinkMutex;
net::GuardedSocket rtListenSocket;
net::GuardedSocket rtClientSocket;
// Work thread only: the receive buffer.
std::array<char, kRtReceiveBufferSize> rtReceiveBuffer;
std::atomic<bool> failNextClientOption{false};
// How long a send waits for the client to take its bytes (tests shorten or lengthen it).
std::atomic<std::chrono::milliseconds> sendPatience{kRtSendPatience};
// Sends on the client socket under way now: the exit ends them rather than wait for them.
std::atomic<int> sendsUnderWay{0};
// The lines that a client makes by coming and going as often as it likes: written once a minute
// per text with the number of repeats. The clock time in a line is no part of its key.
RepeatedLines clientLines{std::chrono::minutes(1)};

// Shown on the message line every time; logged as a repeated line.
void lf_reportClientMessage(const std::string& key, const std::string& text)
{
    gf_reportMessage(text, false);
    clientLines.write(key, text, gf_logLine);
}

[[noreturn]] void lf_startFailed(net::GuardedSocket::Lease& lease, std::uint32_t code, const std::string& message)
{
    lease.release();
    rtListenSocket.close();
    throw qmx::SysErrorException(code, message);
}

const json& lf_member(const json& document, const char* key)
{
    static const json none;
    // A document that is no object makes the library throw, as a member of the wrong kind does.
    if (!document.is_object())
        return document.at(key);
    const auto found = document.find(key);
    return found == document.end() ? none : *found;
}

// The text is the start of a JSON document that ends before the document does.
bool lf_isCutOffJson(std::string_view text)
{
    try {
        [[maybe_unused]] const json document = json::parse(text);
        return false;
    } catch (const json::parse_error& error) {
        return error.byte > text.size();
    }
}

bool lf_readableBefore(int fd, std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 && net::gf_waitReadable(fd, left);
}

// The version query waits for the reply as long as it takes; a client that has said nothing
// after a few seconds is named on the message line, so that the wait is not taken for one on a
// client that never came.
void lf_noteSilentClient()
{
    constexpr std::chrono::seconds kSilenceNoticed{3};
    const net::GuardedSocket::Lease lease = rtClientSocket.lease();
    if (lease && !net::gf_waitReadable(lease.fd(), kSilenceNoticed))
        gf_reportMessage("A RealTraffic client is connected and has not answered the version query ...", true);
}

// Makes the client's option setting; false with the Winsock code when it fails.
constexpr int kRtSendBufferBytes = 64 * 1024;

bool lf_setClientOptions(int fd, std::int32_t& error)
{
    if (failNextClientOption.exchange(false)) {
        error = net::kErrorInvalidArgument;
        return false;
    }
    // The client takes one line a second: a send buffer of Windows' usual size holds minutes of
    // them, so that a client that stopped reading is found then, not after hours of a buffer the
    // system grew.
    if (net::gf_setNoDelay(fd) && net::gf_setSendBufferSize(fd, kRtSendBufferBytes))
        return true;
    error = net::gf_lastSocketError();
    return false;
}

} // namespace

void gf_startRealTrafficServer(const std::string& port)
{
    std::uint16_t portNumber = 0;
    if (const std::int32_t error = net::gf_resolveListenPort(port, portNumber); error != 0)
        throw qmx::SysErrorException(1, fmt::format("getaddrinfo failed with error {}", error));

    const int fd = net::gf_openTcpSocket();
    if (fd == net::kInvalidSocket)
        throw qmx::SysErrorException(2, "socket failed with error " + gf_wsaErrorText(net::gf_lastSocketError()));
    // A listening socket of the previous run still in use refuses the new one.
    if (!rtListenSocket.adopt(fd))
        throw qmx::SysErrorException(2, "socket failed with error " + gf_wsaErrorText(net::kErrorAlreadyInProgress));
    net::GuardedSocket::Lease lease = rtListenSocket.lease();
    // Each error text is taken before the socket is closed, which may change the last socket error.
    if (!lease || !net::gf_setBlocking(fd))
        lf_startFailed(lease, 3, "ioctlsocket failed with error " + gf_wsaErrorText(net::gf_lastSocketError()));
    if (!net::gf_setReuseAddress(fd))
        lf_startFailed(lease, 4, "setsockopt(SO_REUSEADDR) failed");
    if (!net::gf_bindIpv4(fd, net::kAnyAddress, portNumber))
        lf_startFailed(lease, 5, "Bind failed at port " + port + " with error " +
                              gf_wsaErrorText(net::gf_lastSocketError()));
    if (!net::gf_listen(fd))
        lf_startFailed(lease, 6, "listen failed with error " + gf_wsaErrorText(net::gf_lastSocketError()));
}

std::uint16_t gf_realTrafficServerPort()
{
    const net::GuardedSocket::Lease lease = rtListenSocket.lease();
    return lease ? net::gf_localPort(lease.fd()) : 0;
}

bool waitForClient()
{
    if (rtConnected.load())
        return false;
    int fd = net::kInvalidSocket;
    {
        const net::GuardedSocket::Lease lease = rtListenSocket.lease();
        if (!lease)
            return false;
        fd = net::gf_acceptClient(lease.fd()); // the work thread waits here for the client
    }
    if (fd == net::kInvalidSocket)
        return false;
    std::int32_t error = 0;
    if (!lf_setClientOptions(fd, error)) {
        // The accepted socket goes with the failure, so it is never leaked.
        net::gf_closeDescriptor(fd);
        const qmx::SysErrorException failure(
            7, fmt::format("{} setsockopt failed with error {}", gf_utcClockNow(), gf_wsaErrorText(error)));
        clientLines.write("waitForClient interrupted", fmt::format("waitForClient interrupted: {}", failure.what()),
                          gf_logLine);
        return false;
    }
    std::lock_guard lock(rtLinkMutex);
    // The exit closed the link while we waited: this client comes too late.
    if (!rtListenSocket.isOpen() || !rtClientSocket.adopt(fd)) {
        net::gf_closeDescriptor(fd);
        return false;
    }
    rtConnected.store(true);
    return true;
}

std::string receive()
{
    const net::GuardedSocket::Lease lease = rtClientSocket.lease();
    if (!lease)
        return {};
    // One receive is the reply. Only a JSON object cut off in transit is read on, up to a deadline.
    const auto deadline = std::chrono::steady_clock::now() + kRtReplyPatience;
    std::string text;
    do {
        const long count = net::gf_receiveBytes(lease.fd(), rtReceiveBuffer.data(), kRtReceiveBufferSize - text.size());
        if (count < 0) {
            clientLines.write(fmt::format("receive: {}", gf_wsaErrorText(net::gf_lastSocketError())), gf_logLine);
            return {};
        }
        if (count == 0)
            break; // closed: what came before the close is all there is
        // The text ends at a NUL, as it would in the receive buffer.
        text.append(rtReceiveBuffer.data(), static_cast<std::size_t>(count));
        text.resize(std::min(text.size(), text.find('\0')));
    } while (text.size() < kRtReceiveBufferSize && lf_isCutOffJson(text) && lf_readableBefore(lease.fd(), deadline));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

namespace {

// A client that does not take the text within `patience` has stopped reading: it counts as gone.
bool lf_sendWithin(std::string_view text, std::chrono::milliseconds patience)
{
    std::int32_t error = 0;
    {
        const net::GuardedSocket::Lease lease = rtClientSocket.lease();
        ++sendsUnderWay;
        const bool sent = lease && net::gf_sendAll(lease.fd(), text, patience);
        --sendsUnderWay;
        if (sent)
            return true;
        error = lease ? net::gf_lastSocketError() : net::kErrorNotSocket;
    }
    clientLines.write(fmt::format("sendDataPacket to RealTraffic failed: {}", gf_wsaErrorText(error)), gf_logLine);
    {
        std::lock_guard lock(rtLinkMutex);
        rtConnected.store(false);
        rtClientSocket.close();
    }
    clientLines.write("RealTraffic client socket closed", gf_logLine);
    return false;
}

} // namespace

bool sendDataPacket(std::string_view text)
{
    return lf_sendWithin(text, sendPatience.load());
}

void lf_readRealTrafficVersion(const std::string& reply)
{
    if (reply.empty()) {
        gf_reportMessage("No RealTraffic version received?", true);
        g_professionalEdition.store(false);
        return;
    }
    const json document = json::parse(reply);
    const json& versionMember = lf_member(document, "version");
    const std::string version = versionMember.is_null() ? "?" : versionMember.get<std::string>();
    const json& level = lf_member(document, "level");
    // A client that does not tell its level is the professional edition.
    bool professional = true;
    if (!level.is_null()) {
        if (!level.is_number_integer())
            throw json::type_error::create(302, fmt::format("type must be integer, but is {}", level.type_name()),
                                           &level);
        professional = level.get<std::int64_t>() == 2;
    }
    g_professionalEdition.store(professional);
    gf_setRtVersionText(fmt::format("RT{} edition: {}", professional ? " prof" : " stnd", version));
}

bool lf_connectRealTraffic()
{
    if (!rtClientLocal.load())
        return false;
    gf_reportMessage("Waiting for RealTraffic to connect to Orvanta_P3D ...", true);
    gf_resetReaders();
    bool connected = false;
    if (waitForClient()) {
        sendDataPacket("Qs999=version\r\n");
        lf_noteSilentClient();
        lf_readRealTrafficVersion(receive());
        gf_setRtReady(true);
        gf_log("RealTraffic connected");
        connected = true;
    }
    gf_withdrawMessage();
    return connected;
}

void lf_sendQs123(std::int64_t seconds)
{
    if (rtConnected.load() && seconds >= 1 && seconds <= std::numeric_limits<std::int64_t>::max() / 1000)
        sendDataPacket(fmt::format("Qs123={}\r\n", seconds * 1000));
}

void gf_sendOwnPosition()
{
    if (!rtClientLocal.load())
        return;
    const OwnPosition own = gf_ownPosition();
    if (gf_inNotYetKnownBox(own.latitude, own.longitude))
        return;
    if (!rtConnected.load()) {
        // During an exit nobody waits for the client.
        if (exitReason.load() != ExitReason::NotYetSet)
            return;
        // No pass runs while the work thread waits: the aircraft it removed leave the simulator now.
        gf_handOverQueuedRemovals();
        if (!waitForClient())
            return;
        gf_setRtReady(true);
        lf_reportClientMessage("RealTraffic re-connected", fmt::format("{} RealTraffic re-connected", gf_utcClockNow()));
        gf_withdrawMessage();
        return;
    }
    if (sendDataPacket(gf_ownPositionLine(own)))
        return;
    // The client is gone: so is its traffic, until it comes back.
    gf_setRtReady(false);
    gf_removeAllLiveAc();
    gf_resetReaders();
    lf_reportClientMessage("RealTraffic gone?",
                           fmt::format("{} RealTraffic gone? Wait for RealTraffic to re-connect ...", gf_utcClockNow()));
}

void gf_closeRealTrafficServer()
{
    // A client that does not read any more is not waited for long: the program must close.
    if (rtConnected.load())
        lf_sendWithin("exit\r\n", std::min<std::chrono::milliseconds>(sendPatience.load(), kRtExitPatience));
    {
        std::lock_guard lock(rtLinkMutex);
        rtListenSocket.close();
        rtClientSocket.close();
        rtConnected.store(false);
    }
    clientLines.flush(); // the next run's client starts afresh
}

void gf_wakeRealTrafficLink()
{
    std::lock_guard lock(rtLinkMutex);
    rtListenSocket.close();
    // A send under way waits for a client that stopped reading: it ends now, and that client
    // gets no "exit". Otherwise sends go on, so that the close still says "exit".
    rtClientSocket.shutDown(sendsUnderWay.load() > 0);
}

void gf_failNextClientOptionForTest()
{
    failNextClientOption.store(true);
}

void gf_setRtSendPatienceForTest(std::chrono::milliseconds patience)
{
    sendPatience.store(patience);
}
