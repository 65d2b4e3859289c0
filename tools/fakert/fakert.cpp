#include "fakert/fakert.h"

#include "fakert/sockets.h"
#include "fakert/traffic_lines.h"

#include <fmt/format.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace fakert {

using SteadyClock = std::chrono::steady_clock;

struct FakeRtState {
    Options options;
    Ipv4Address trafficTo{};
    Ipv4Address qnhTo{};
    Ipv4Address tcpTo{};
    OwnedSocket udp; // sendto is safe from the replay and the QNH thread at once
    StopEvent stopEvent;
    std::atomic<bool> stopping{false};
    std::vector<std::string> lines;
    std::ofstream record; // written by the TCP thread only

    mutable std::mutex mutex; // guards everything below
    mutable std::condition_variable changed;
    std::uint64_t generation = 0; // counts the events, for waitUntil
    Counters counters;
    std::vector<std::string> received;
    bool connected = false;
    bool exitReceived = false;
    bool replayFinished = false;
    unsigned copiesFinished = 0;
    bool positionSeen = false;
    std::int64_t offsetMs = 0;
    bool started = false;
    bool stopped = false;
    std::vector<std::thread> threads;

    // Applies a change of the shared state as one event.
    template <typename Change>
    void update(Change&& change)
    {
        {
            std::lock_guard lock(mutex);
            change();
            ++generation;
        }
        changed.notify_all();
    }

    void event(std::string_view text) const
    {
        if (options.onEvent)
            options.onEvent(text);
    }

    // Sleeps until `due`; false when fakert stops first.
    bool sleepUntil(SteadyClock::time_point due) const
    {
        for (;;) {
            if (stopping.load())
                return false;
            const auto now = SteadyClock::now();
            if (now >= due)
                return true;
            // Round up: waking a millisecond late is fine, waking early only costs one more round.
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
            if (gf_waitStop(stopEvent, wait))
                return false;
        }
    }
};

namespace {

using State = FakeRtState;

std::int64_t lf_unixNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

SteadyClock::duration lf_scaledSeconds(double seconds, double speed)
{
    return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds / speed));
}

// The program asks for traffic around the user aircraft only once it has told where that is.
bool lf_waitForPosition(State& state)
{
    std::unique_lock lock(state.mutex);
    state.changed.wait(lock, [&] { return state.positionSeen || state.stopped; });
    return !state.stopped;
}

// One pass through the lines from `begin`, the first of them due at `start`; false when fakert
// stopped. `end` receives the time at which the last stamped line was due.
bool lf_replayPass(State& state, const std::vector<std::optional<TimeStamp>>& stamps, std::size_t begin,
                   std::uint32_t generation, SteadyClock::time_point start, SteadyClock::time_point& end)
{
    std::optional<TimeStamp> first;
    for (std::size_t i = begin; i < stamps.size() && !first; ++i)
        first = stamps[i];
    const std::int64_t offsetMs = first ? lf_unixNowMs() - std::llround(first->seconds() * 1000.0) : 0;
    if (generation % state.options.copies == 0)
        state.update([&] { state.offsetMs = offsetMs; });
    SteadyClock::time_point due = start;
    for (std::size_t i = begin; i < state.lines.size(); ++i) {
        // A line without a time stamp goes out right behind the one before it.
        if (stamps[i])
            due = start + lf_scaledSeconds(stamps[i]->seconds() - first->seconds(), state.options.speed);
        if (!state.sleepUntil(due))
            return false;
        const std::string line = gf_shiftTimeStamp(state.lines[i], offsetMs);
        // Every generation marked, the first one too: a callsign and the same one with a mark
        // behind it would read as an aircraft and its ghost.
        const std::string sent = state.options.freshIds ? gf_freshIdentity(line, generation + 1) : line;
        if (gf_sendDatagram(state.udp, state.trafficTo, sent))
            state.update([&] { ++state.counters.trafficLines; });
    }
    end = due;
    return true;
}

// The first line of copy `copy`: the first one stamped copy/copies of the capture's time span
// after its first stamp.
std::size_t lf_copyBegin(const std::vector<std::optional<TimeStamp>>& stamps, unsigned copy, unsigned copies)
{
    if (copy == 0)
        return 0;
    std::optional<double> first;
    double last = 0.0;
    for (const auto& stamp : stamps) {
        if (!stamp)
            continue;
        first = first.value_or(stamp->seconds());
        last = std::max(last, stamp->seconds());
    }
    if (!first)
        return 0;
    const double from = *first + (last - *first) * copy / copies;
    for (std::size_t i = 0; i < stamps.size(); ++i)
        if (stamps[i] && stamps[i]->seconds() >= from)
            return i;
    return 0;
}

void lf_replayThread(State& state, unsigned copy)
{
    if (state.options.waitForPosition && !lf_waitForPosition(state))
        return;
    std::vector<std::optional<TimeStamp>> stamps;
    for (const std::string& line : state.lines)
        stamps.push_back(gf_lineTimeStamp(line));
    const unsigned copies = state.options.copies;
    std::size_t begin = lf_copyBegin(stamps, copy, copies);
    std::uint32_t generation = copy;
    auto start = SteadyClock::now();
    for (;;) {
        SteadyClock::time_point end;
        if (!lf_replayPass(state, stamps, begin, generation, start, end))
            return;
        const bool again = state.options.loop;
        state.update([&] {
            ++state.counters.replayRounds;
            if (!again)
                state.replayFinished = ++state.copiesFinished == copies;
        });
        if (!again)
            return;
        begin = 0;
        generation += copies;
        // One second between the last line and the first of the next pass, so that a capture
        // without time stamps does not flood the program.
        start = std::max(SteadyClock::now(), end) + lf_scaledSeconds(1.0, state.options.speed);
        if (!state.sleepUntil(start))
            return;
    }
}

// The flood: the lines round and round at options.floodRate a second, each stamped with the
// present time. Every millisecond sends the lines due by then, so a slow wake-up catches up.
void lf_floodThread(State& state)
{
    std::vector<std::optional<TimeStamp>> stamps;
    for (const std::string& line : state.lines)
        stamps.push_back(gf_lineTimeStamp(line));
    const auto start = SteadyClock::now();
    std::uint64_t due = 0;
    std::uint64_t sent = 0;
    std::size_t next = 0;
    while (state.sleepUntil(SteadyClock::now() + std::chrono::milliseconds(1))) {
        const std::chrono::duration<double> elapsed = SteadyClock::now() - start;
        due = static_cast<std::uint64_t>(elapsed.count() * state.options.floodRate);
        std::uint64_t batch = 0;
        const std::int64_t nowMs = lf_unixNowMs();
        for (; sent < due; ++sent, next = (next + 1) % state.lines.size()) {
            const std::int64_t offsetMs = stamps[next] ? nowMs - std::llround(stamps[next]->seconds() * 1000.0) : 0;
            if (gf_sendDatagram(state.udp, state.trafficTo, gf_shiftTimeStamp(state.lines[next], offsetMs)))
                ++batch;
        }
        if (batch > 0)
            state.update([&] { state.counters.trafficLines += batch; });
    }
}

void lf_qnhThread(State& state)
{
    const std::string datagram =
        state.options.qnhDatagram.empty() ? gf_qnhDatagram(state.options.qnh) : state.options.qnhDatagram;
    auto due = SteadyClock::now();
    while (state.sleepUntil(due)) {
        if (gf_sendDatagram(state.udp, state.qnhTo, datagram))
            state.update([&] { ++state.counters.qnhDatagrams; });
        due += state.options.qnhPeriod;
    }
}

// Records one received line and answers it; true for "exit".
bool lf_handleLine(State& state, const OwnedSocket& socket, const std::string& line)
{
    if (state.record.is_open())
        state.record << line << '\n' << std::flush;
    state.update([&] {
        state.received.push_back(line);
        ++state.counters.tcpLines;
        state.positionSeen = state.positionSeen || line.starts_with("Qs121=");
    });
    state.event(fmt::format("received: {}", line));
    // The reply is one JSON object; the line end behind it is the client's habit, and a reply
    // without one must be read all the same.
    const std::string_view lineEnd = state.options.versionLineEnd ? "\r\n" : "";
    if (line == "Qs999=version" && !gf_sendAll(socket, state.options.versionReply + std::string(lineEnd)))
        state.event("the version reply could not be sent");
    return line == "exit";
}

// Serves one connection until the program closes it, sends "exit" or fakert stops;
// true for "exit". Lines end with "\n"; a "\r" before it is dropped.
bool lf_serveLink(State& state, const OwnedSocket& socket)
{
    std::string pending;
    char buffer[8192];
    while (gf_waitReadable(socket, state.stopEvent)) {
        const long count = gf_receive(socket, buffer, sizeof buffer);
        if (count <= 0)
            return false;
        pending.append(buffer, static_cast<std::size_t>(count));
        for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && lf_handleLine(state, socket, line))
                return true;
        }
    }
    return false;
}

void lf_tcpThread(State& state)
{
    const std::string peer = fmt::format("{}:{}", state.options.host, state.options.tcpPort);
    while (!state.stopping.load()) {
        // The client keeps trying until the program's server listens.
        OwnedSocket socket = gf_connectTcp(state.tcpTo, state.stopEvent, std::chrono::seconds(2));
        state.update([&] {
            ++state.counters.connectAttempts;
            if (socket.valid()) {
                ++state.counters.connections;
                state.connected = true;
            }
        });
        if (!socket.valid()) {
            if (gf_waitStop(state.stopEvent, state.options.connectRetry))
                return;
            continue;
        }
        state.event(fmt::format("connected to {}", peer));
        const bool exit = lf_serveLink(state, socket);
        socket.reset();
        state.update([&] {
            state.connected = false;
            state.exitReceived = state.exitReceived || exit;
        });
        state.event(exit ? "exit received, link closed" : "link closed");
        if (exit && !state.options.reconnectAfterExit)
            return;
    }
}

} // namespace

FakeRt::FakeRt(Options options) : state_(std::make_unique<FakeRtState>())
{
    if (!(options.speed > 0.0) || !std::isfinite(options.speed))
        throw std::invalid_argument(fmt::format("speed {} is not above 0", options.speed));
    if (options.floodRate < 0.0 || !std::isfinite(options.floodRate))
        throw std::invalid_argument(fmt::format("flood rate {} is negative", options.floodRate));
    if (options.copies == 0 || (options.copies > 1 && !options.freshIds))
        throw std::invalid_argument("copies of the replay need fresh ids");
    if (options.qnhPeriod.count() < 0)
        throw std::invalid_argument("the QNH period is negative");
    state_->trafficTo = gf_resolveIpv4(options.host, options.trafficPort);
    state_->qnhTo = gf_resolveIpv4(options.host, options.qnhPort);
    state_->tcpTo = gf_resolveIpv4(options.host, options.tcpPort);
    state_->udp = gf_udpSocket();
    state_->options = std::move(options);
}

FakeRt::~FakeRt()
{
    stop();
}

void FakeRt::start(std::vector<std::string> lines)
{
    FakeRtState& state = *state_;
    {
        std::lock_guard lock(state.mutex);
        if (state.started || state.stopped)
            throw std::logic_error("fakert starts only once");
        state.started = true;
    }
    // The lines may come from anywhere: weather records and empty lines go as in a file.
    std::string text;
    for (const std::string& line : lines)
        text.append(line).push_back('\n');
    state.lines = gf_trafficLines(text);
    if (!state.options.recordFile.empty()) {
        state.record.open(state.options.recordFile, std::ios::binary | std::ios::trunc);
        if (!state.record)
            throw std::runtime_error(fmt::format("cannot write {}", state.options.recordFile.string()));
    }
    std::lock_guard lock(state.mutex);
    state.replayFinished = state.lines.empty();
    if (!state.lines.empty() && state.options.floodRate > 0.0)
        state.threads.emplace_back(lf_floodThread, std::ref(state));
    else if (!state.lines.empty())
        for (unsigned copy = 0; copy < state.options.copies; ++copy)
            state.threads.emplace_back(lf_replayThread, std::ref(state), copy);
    if (state.options.qnhPeriod.count() > 0)
        state.threads.emplace_back(lf_qnhThread, std::ref(state));
    if (state.options.tcp)
        state.threads.emplace_back(lf_tcpThread, std::ref(state));
}

void FakeRt::startFile(const std::filesystem::path& file)
{
    start(gf_readTrafficFile(file));
}

void FakeRt::stop()
{
    FakeRtState& state = *state_;
    std::vector<std::thread> threads;
    state.update([&] {
        state.stopped = true;
        threads = std::move(state.threads);
    });
    state.stopping.store(true);
    state.stopEvent.set();
    for (std::thread& thread : threads)
        thread.join();
}

Counters FakeRt::counters() const
{
    std::lock_guard lock(state_->mutex);
    return state_->counters;
}

std::vector<std::string> FakeRt::receivedLines() const
{
    std::lock_guard lock(state_->mutex);
    return state_->received;
}

bool FakeRt::connected() const
{
    std::lock_guard lock(state_->mutex);
    return state_->connected;
}

bool FakeRt::exitReceived() const
{
    std::lock_guard lock(state_->mutex);
    return state_->exitReceived;
}

bool FakeRt::replayFinished() const
{
    std::lock_guard lock(state_->mutex);
    return state_->replayFinished;
}

std::int64_t FakeRt::timeOffsetMs() const
{
    std::lock_guard lock(state_->mutex);
    return state_->offsetMs;
}

bool FakeRt::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const
{
    const auto deadline = SteadyClock::now() + timeout;
    std::unique_lock lock(state_->mutex);
    for (;;) {
        const std::uint64_t seen = state_->generation;
        lock.unlock();
        if (condition())
            return true;
        lock.lock();
        if (!state_->changed.wait_until(lock, deadline, [&] { return state_->generation != seen; })) {
            lock.unlock();
            return condition();
        }
    }
}

} // namespace fakert
