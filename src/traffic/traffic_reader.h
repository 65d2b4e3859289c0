#pragma once
// The two UDP readers of the RealTraffic client's broadcasts: the Traffic Reader (one RTTFC
// traffic line per datagram, port 49005) and the QNH Reader (one JSON object with "QNH" per
// datagram, port 49004). Each runs on its own detached thread, started anew by every run on
// the one process-wide reader object.
//
// Threads and ownership:
// - A reader thread owns its socket and its receive buffer. The exit stops a reader from outside
//   with gf_stopReaders: it raises the stop flag and shuts the socket down, which ends the blocked
//   receive; the reader thread itself closes the descriptor (see net::GuardedSocket).
// - One thread at a time runs a reader object: a new run's thread waits until the previous one
//   has left (runMutex_), so two threads never share the buffer.
// - What the work thread and the airports hand in (reference position and elevation) is kept
//   under referenceMutex_; the collected callsigns under callsignMutex_. Counters and flags read
//   across threads are atomics.

#include "core/geodesy.h"
#include "core/repeat_limiter.h"
#include "platform/net_socket.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint16_t kTrafficPort = 49005;
inline constexpr std::uint16_t kQnhPort = 49004;
inline constexpr std::size_t kDatagramBufferSize = 16384;
inline constexpr int kReceiveBufferSize = 4 * 1024 * 1024; // the socket's, for bursts
inline constexpr std::int32_t kStandardQnh = 1013;

// The RealTraffic client runs on this PC: the readers listen on 127.0.0.1 only and keep every
// datagram (loopback repeats none); the TCP link is served. Set by the start-up's detection.
extern std::atomic<bool> rtClientLocal;
// A reader thread failed; the run and the main loop end the run on it.
extern std::atomic<bool> readerErrorFlag;
// The QNH in hPa for the movement in the air.
extern std::atomic<std::int32_t> currentQnh;

class UdpReader {
public:
    explicit UdpReader(std::string displayName);
    virtual ~UdpReader() = default;
    UdpReader(const UdpReader&) = delete;
    UdpReader& operator=(const UdpReader&) = delete;

    // The reader thread's steps; each failure raises qmx::SysErrorException (31, 32).
    void openSocket();
    void bindPort(std::uint16_t port); // 0: a free port (tests); see boundPort
    void receiveLoop();

    // Any thread: ends the receive loop and releases the socket.
    void requestStop();

    const std::string& displayName() const { return displayName_; }
    std::uint16_t boundPort() const { return boundPort_.load(); } // 0 while not bound
    bool running() const { return running_.load(); }               // a thread runs this reader
    std::uint32_t datagramCount() const { return datagramCount_.load(std::memory_order_relaxed); }
    // Datagrams handed on to onMessage (duplicates and overruns are not).
    std::uint32_t passedOnCount() const { return passedOnCount_.load(std::memory_order_relaxed); }

protected:
    virtual void onMessage() = 0; // one datagram is in `datagram`
    virtual void onStop() = 0;    // the receive loop has ended

    std::string_view datagram; // the current datagram's text, inside buffer_

    // A line that a datagram can cause is logged at most once this period, with a count.
    static constexpr std::chrono::seconds kDatagramLogPeriod{1};

private:
    static constexpr std::chrono::milliseconds kReceiveErrorPause{10};
    static constexpr std::chrono::minutes kReceiveErrorLogPeriod{1};

    void pauseAfterReceiveError(std::int32_t code); // reader thread

    friend void lf_runReader(UdpReader& reader, std::uint16_t port, bool traffic);
    friend void gf_updateReaderIndicators();
    friend void gf_resetReaders();

    std::string displayName_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<std::uint32_t> datagramCount_{0};
    std::atomic<std::uint32_t> passedOnCount_{0};
    std::atomic<std::uint32_t> heartbeatCount_{0}; // datagramCount_ at the previous heartbeat
    std::atomic<bool> indicatorLatch_{true};       // indicator set to receiving since the last quiet heartbeat
    std::array<char, kDatagramBufferSize> buffer_{};
    std::string previousDatagram_;                 // the last datagram passed on
    net::GuardedSocket socket_;
    std::atomic<std::uint16_t> boundPort_{0};
    std::atomic<bool> running_{false};
    std::mutex runMutex_; // held by the thread that runs the reader
    // Reader thread only: lines that a peer can make come with every datagram.
    RepeatLimiter receiveErrorLog_{kReceiveErrorLogPeriod};
    RepeatLimiter overrunLog_{kDatagramLogPeriod};
};

// What became of the latest traffic line, for the tests of the parser.
enum class LineOutcome : std::uint8_t {
    Queued,
    NotAccepted,          // parsed, but the engine accepts no traffic now
    QueueFull,            // parsed, but dropped: the traffic queue is full
    Vehicle,              // " VEH" lines are ignored
    TooFewFields,         // fewer than 29 fields
    Failed,               // a field could not be read: see lastErrorCode
    NoRegistration,       // no registration and field 15 "F"
    OutOfRange,
    UnwantedAircraft,     // category or type
    SmallHexId,           // 10000 or less
    ClimbOut,             // far above the park airport while the ground range is on
    BlockedCallsign,
    NoIdentity,           // neither registration nor callsign
    GroundWithoutParkAirport,
    GroundAwayFromParkAirport,
};

// The cosine and sine of the reference latitude, for the bounds of the range test.
struct ReferenceTrig {
    double latitude = std::numeric_limits<double>::quiet_NaN(); // degrees, as read from the reference; NaN before the first line
    double absLat = 0.0;         // radians
    double cosLat = 0.0;
    double sinAbsLat = 0.0;
};

class TrafficReader final : public UdpReader {
public:
    TrafficReader();

    // Splits and parses one datagram as if it had just been received (tests, benchmark).
    void handleDatagram(std::string_view text);

    // Work thread: the user aircraft, the centre of the traffic range.
    void setReferencePosition(LatLon position);
    LatLon referencePosition() const;
    // Airports: the park airport's elevation in feet, or none.
    void setReferenceElevation(std::optional<double> elevation);
    std::optional<double> referenceElevation() const;

    // Callsign collection for the static parking: start empties the set and switches the
    // collection on; take switches it off and hands over a copy of the set.
    void startCallsignCollection();
    std::set<std::string> takeCollectedCallsigns();
    bool collectingCallsigns() const { return collectCallsigns_.load(); }
    void clearCollectedCallsigns();

    // The time stamp of the latest line, in Unix seconds; 0 when none since the last reset.
    double lastTimeStamp() const;
    void resetLastTimeStamp();

    std::atomic<std::int32_t> qnhCopy{kStandardQnh};

    LineOutcome lastOutcome() const { return lastOutcome_; }
    std::uint32_t lastErrorCode() const { return lastErrorCode_; } // 0 unless Failed
    const std::string& lastErrorText() const { return lastErrorText_; }

protected:
    void onMessage() override;
    void onStop() override;

private:
    void processLine();
    LineOutcome parseAndQueue(); // the parser's steps; raises qmx::SysErrorException
    [[noreturn]] void fail(std::uint32_t code, const std::string& message);
    double secondsAheadOfWallClock(double stamp);

    std::vector<std::string_view> fields_; // views into the datagram; capacity kept
    mutable std::mutex referenceMutex_;    // guards the two reference values
    LatLon referencePosition_;
    std::optional<double> referenceElevation_;
    std::atomic<bool> collectCallsigns_{false};
    std::mutex callsignMutex_;             // guards collectedCallsigns_
    std::set<std::string> collectedCallsigns_;

    LineOutcome lastOutcome_ = LineOutcome::TooFewFields; // reader thread only
    std::uint32_t lastErrorCode_ = 0;
    std::string lastErrorText_;
    RepeatLimiter exceptionLog_{kDatagramLogPeriod}; // reader thread only
    RepeatLimiter futureStampLog_{std::chrono::minutes(1)}; // reader thread only
    std::int64_t wallClock_ = 0;            // reader thread only: the latest reading
    std::uint32_t linesSinceWallClock_ = 0; // reader thread only
    ReferenceTrig referenceTrig_;           // reader thread only: of the latest reference
};

class WeatherReader final : public UdpReader {
public:
    WeatherReader();

    // Reads one datagram as if it had just been received (tests).
    void handleDatagram(std::string_view text);

    std::atomic<std::int32_t> lastQnh{kStandardQnh};

protected:
    void onMessage() override;
    void onStop() override;

private:
    enum class Complaint : std::uint8_t { NoQnh, BadText, Strange, Unreadable, Count };

    std::optional<std::int64_t> qnhOf(const nlohmann::json& member);
    void complain(Complaint kind, const std::string& line);

    // Reader thread only.
    std::array<RepeatLimiter, static_cast<std::size_t>(Complaint::Count)> complaintLogs_{
        RepeatLimiter{kDatagramLogPeriod}, RepeatLimiter{kDatagramLogPeriod}, RepeatLimiter{kDatagramLogPeriod},
        RepeatLimiter{kDatagramLogPeriod}};
};

extern TrafficReader trafficReader;
extern WeatherReader weatherReader;

// Thread bodies, started detached by the run with kTrafficPort and kQnhPort.
void gf_trafficReaderThread(std::uint16_t port);
void gf_weatherReaderThread(std::uint16_t port);

// The exit: stops the QNH Reader, then the Traffic Reader.
void gf_stopReaders();
// The heartbeat of the reader indicators (tick jobs, work thread).
void gf_updateReaderIndicators();
// Before a (re)connection and in the restart reset.
void gf_resetReaders();
// From a failed reader thread: shows and logs the error, raises readerErrorFlag.
void gf_reportReaderError(bool traffic, const std::string& text);

// The type and category filter of the traffic lines: false for gliders, balloons, ultralights,
// surface vehicles and types that are no aircraft.
bool lf_isWantedAircraft(std::string_view type, std::string_view category);
