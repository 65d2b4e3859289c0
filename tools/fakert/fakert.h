#pragma once
// fakert: a stand-in for the RealTraffic client, for tests and the demo.
//
// It plays the client's three roles towards the program:
//  - traffic: replays recorded RTTFC lines, one UDP datagram each, at the pace of their time
//    stamps (divided by a speed factor), with every stamp shifted by the same offset so that the
//    first line carries the present time;
//  - QNH: a JSON datagram with the member "QNH" at a fixed period;
//  - TCP link: connects to the program's server (retrying until it listens), answers each
//    "Qs999=version" with the version reply, records every line received and ends the link on
//    "exit".
// All three run on their own threads between start() and stop().

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fakert {

inline constexpr std::string_view kDefaultVersionReply = R"({"version":"10.0.240","level":2})";

struct Options {
    std::string host = "127.0.0.1";   // the program's host: target of the datagrams and TCP server
    std::uint16_t trafficPort = 49005; // UDP, traffic lines
    std::uint16_t qnhPort = 49004;     // UDP, QNH datagrams
    std::uint16_t tcpPort = 10747;     // the program's TCP server

    double speed = 1.0;          // > 0; divides every wait between two lines
    bool loop = false;           // start the lines again after the last one
    // Every pass of every copy flies other aircraft: fresh hex ids and callsigns
    // (gf_freshIdentity with a generation that counts the passes from 1).
    bool freshIds = false;
    // Replays of the lines at once (needs freshIds beyond 1), copy k starting k/copies of the way
    // through the capture, so that the traffic is that many times as dense from the start.
    unsigned copies = 1;
    bool waitForPosition = false; // hold the replay until the program sent its first own position
    double floodRate = 0.0;      // > 0: the lines round and round at this many a second, each
                                 // stamped with the present time, instead of the replay

    std::string qnh = "1013";    // text of the "QNH" member
    std::string qnhDatagram;     // when not empty, sent as it is instead of the built datagram
    std::chrono::milliseconds qnhPeriod{10000}; // 0: no QNH datagrams

    bool tcp = true;             // connect to the program's TCP server
    std::string versionReply{kDefaultVersionReply}; // sent with "\r\n" behind it
    bool versionLineEnd = true;  // false: the version reply goes out without "\r\n"
    bool reconnectAfterExit = false; // connect again after "exit" (a program that restarts)
    std::chrono::milliseconds connectRetry{250}; // pause between two connection attempts
    std::filesystem::path recordFile; // when set, every received line is written there at once

    // Called on fakert's threads for each notable event ("connected", "received: <line>", ...).
    std::function<void(std::string_view)> onEvent;
};

struct Counters {
    std::uint64_t trafficLines = 0;  // traffic datagrams sent
    std::uint64_t qnhDatagrams = 0;  // QNH datagrams sent
    std::uint64_t tcpLines = 0;      // lines received over TCP
    std::uint64_t replayRounds = 0;  // passes through the lines completed, of all copies
    std::uint64_t connectAttempts = 0;
    std::uint64_t connections = 0;
};

struct FakeRtState; // the threads' shared state, private to fakert.cpp

class FakeRt {
public:
    // Throws std::invalid_argument for a speed that is not above 0 and for copies without fresh
    // ids, std::runtime_error for an unknown host.
    explicit FakeRt(Options options);
    ~FakeRt(); // stops
    FakeRt(const FakeRt&) = delete;
    FakeRt& operator=(const FakeRt&) = delete;

    // Starts the three roles once; `lines` are the contents of a capture (gf_trafficLines drops
    // empty lines and weather records again), none for no replay. Throws std::runtime_error when
    // the record file cannot be opened, std::logic_error on a second start.
    void start(std::vector<std::string> lines);
    void startFile(const std::filesystem::path& file); // gf_readTrafficFile, then start
    void stop(); // ends every thread and closes every socket; may be called more than once

    Counters counters() const;
    std::vector<std::string> receivedLines() const; // without their "\r\n"
    bool connected() const;      // the TCP link is up
    bool exitReceived() const;   // the program sent "exit"
    bool replayFinished() const; // every line sent (never while looping); also with no lines
    // What the current replay pass (of the first copy) adds to every time stamp, in milliseconds.
    std::int64_t timeOffsetMs() const;

    // Waits until `condition` holds (evaluated after every event of fakert and at the start) or
    // the timeout passes; returns the last result. The condition may call the getters above.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

private:
    std::unique_ptr<FakeRtState> state_;
};

} // namespace fakert
