// The stand-in's sockets and clock: one thread polls the listeners, the client connections and a
// wake-up descriptor, cuts packets out of each stream for SimState, writes the outboxes back and
// ticks the simulated seconds and frames. Control calls from other threads change SimState under
// the state mutex and wake the thread; only the thread itself touches sockets.

#include "control.h"
#include "fakesim.h"
#include "sim_state.h"

#include "sockets.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace fakesim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 65536;
constexpr int kReadsPerWakeup = 16;           // keeps one busy client from starving the others
constexpr std::size_t kMaxOutbox = 64u << 20; // a client that stops reading is cut off
constexpr auto kQuitFlushTime = std::chrono::seconds(1);
constexpr std::size_t kFloodFill = 64u << 10; // a flood keeps each outbox this full
constexpr auto kFloodPause = std::chrono::milliseconds(1);

Config lf_resolve(Config config)
{
    if (config.zuluStartUnix == 0)
        config.zuluStartUnix = static_cast<std::int64_t>(std::time(nullptr));
    if (config.secondLength.count() <= 0)
        config.secondLength = std::chrono::milliseconds(1000);
    return config;
}

// Runs a change under the state mutex, then wakes the stand-in's thread to send what it queued.
template <typename Impl, typename Change>
void lf_change(Impl& impl, Change&& change)
{
    {
        std::lock_guard lock(impl.stateMutex);
        change(impl);
    }
    impl.wake();
    impl.changed.notify_all();
}

} // namespace

struct FakeSim::Impl {
    struct Connection {
        net::Socket socket = net::kNoSocket;
        wire::PacketCutter cutter;
    };
    struct Scheduled {
        Clock::time_point at;
        std::string line;
    };

    explicit Impl(Config c)
        : config(lf_resolve(std::move(c))), start(Clock::now()), trace(start), state(config, trace)
    {
    }
    ~Impl()
    {
        if (!ended)
            closeEverything("stopped");
    }

    void open();
    void run(FakeSim& owner);
    void wake() const noexcept;
    void adopt(net::Socket socket, const char* via);
    void acceptFrom(net::Socket listener, const char* via);
    void readFrom(unsigned id);
    void flush(unsigned id);
    void close(unsigned id, const std::string& reason, bool keepObjects = false);
    void runClock(std::unique_lock<std::mutex>& lock, FakeSim& owner);
    Clock::time_point nextDeadline() const;
    void finishQuit();
    // Closes every connection and listener; the trace ends with {"type":"end","reason":...}.
    void closeEverything(const char* reason);

    Config config;
    Clock::time_point start;
    Trace trace;
    mutable std::mutex stateMutex;
    mutable std::condition_variable changed;
    SimState state;
    // Made before the thread starts and kept until the stand-in is destroyed: control calls
    // from other threads may wake it at any time.
    std::unique_ptr<net::Waker> waker;
    net::Socket tcpListener = net::kNoSocket;
    std::unique_ptr<net::PipeEndpoint> pipe;
    std::uint16_t port = 0;
    std::map<unsigned, Connection> connections;
    unsigned nextConnectionId = 1;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> quitRequested{false};
    bool dropRequested = false;
    bool muted = false;
    bool ended = false;
    std::vector<Scheduled> scheduled;  // by time
    Clock::time_point nextSecond;
    Clock::time_point nextFrame;
    Clock::time_point floodEnd;
    double clockFrameRate = 0.0;
    std::thread thread;
};

void FakeSim::Impl::open()
{
    net::startSockets();
    if (!config.tracePath.empty())
        trace.open(config.tracePath);
    waker = std::make_unique<net::Waker>();
    if (config.listenTcp)
        tcpListener = net::listenTcp(config.tcpPort, port);
    if (!config.pipePath.empty())
        pipe = std::make_unique<net::PipeEndpoint>(config.pipePath, [this] { wake(); });
    if (tcpListener == net::kNoSocket && !pipe)
        throw std::runtime_error("fakesim needs TCP or a pipe to listen on");
    TraceEntry line{{"port", port}, {"socket", config.pipePath.string()}, {"app_name", config.openReply.applicationName}};
    trace.write("listen", std::move(line));
    nextSecond = start + config.secondLength;
    nextFrame = start;
    clockFrameRate = state.frameRate();
}

void FakeSim::Impl::wake() const noexcept
{
    if (waker)
        waker->wake();
}

void FakeSim::Impl::adopt(net::Socket socket, const char* via)
{
    const unsigned id = nextConnectionId++;
    connections.emplace(id, Connection{socket, wire::PacketCutter(config.maxPacketSize)});
    state.connect(id, via);
}

void FakeSim::Impl::acceptFrom(net::Socket listener, const char* via)
{
    for (net::Socket socket; (socket = net::acceptClient(listener)) != net::kNoSocket;) {
        net::setNoDelay(socket);
        adopt(socket, via);
    }
}

void FakeSim::Impl::readFrom(unsigned id)
{
    auto it = connections.find(id);
    if (it == connections.end())
        return;
    std::vector<std::uint8_t> chunk(kReadChunk);
    for (int i = 0; i < kReadsPerWakeup; ++i) {
        const net::Transfer got = net::receiveSome(it->second.socket, chunk);
        if (got.state == net::Transfer::State::Closed) {
            close(id, "closed by client");
            return;
        }
        if (got.state == net::Transfer::State::WouldBlock)
            return;
        if (got.state == net::Transfer::State::Failed) {
            close(id, "connection error: " + got.error);
            return;
        }
        auto& cutter = it->second.cutter;
        cutter.append(std::span(chunk.data(), got.count));
        while (auto packet = cutter.next())
            state.receive(id, *packet);
        if (cutter.broken()) {
            state.brokenStream(id, cutter.brokenSize());
            close(id, "bad packet size");
            return;
        }
    }
}

void FakeSim::Impl::flush(unsigned id)
{
    auto it = connections.find(id);
    auto session = state.sessions().find(id);
    if (it == connections.end() || session == state.sessions().end())
        return;
    auto& outbox = session->second.outbox;
    std::size_t written = 0;
    while (written < outbox.size()) {
        const net::Transfer sent = net::sendSome(it->second.socket, std::span(outbox).subspan(written));
        if (sent.state == net::Transfer::State::WouldBlock)
            break;
        if (sent.state != net::Transfer::State::Done) {
            close(id, "connection error: " + sent.error);
            return;
        }
        written += sent.count;
    }
    outbox.erase(outbox.begin(), outbox.begin() + static_cast<std::ptrdiff_t>(written));
    if (outbox.size() > kMaxOutbox)
        close(id, "client does not read");
}

void FakeSim::Impl::close(unsigned id, const std::string& reason, bool keepObjects)
{
    auto it = connections.find(id);
    if (it == connections.end())
        return;
    net::closeSocket(it->second.socket);
    connections.erase(it);
    state.disconnect(id, reason, keepObjects);
}

Clock::time_point FakeSim::Impl::nextDeadline() const
{
    Clock::time_point deadline = nextSecond;
    if (clockFrameRate > 0.0)
        deadline = std::min(deadline, nextFrame);
    if (!scheduled.empty())
        deadline = std::min(deadline, scheduled.front().at);
    if (state.flooding())
        deadline = std::min(deadline, floodEnd);
    return deadline;
}

void FakeSim::Impl::runClock(std::unique_lock<std::mutex>& lock, FakeSim& owner)
{
    const auto now = Clock::now();
    const auto second = std::chrono::duration_cast<Clock::duration>(config.secondLength);
    // After a stall (a debugger, an overloaded machine) the clock goes on from now, without a burst.
    while (now >= nextSecond) {
        state.tickSecond();
        nextSecond += second;
        if (now - nextSecond > 2 * second)
            nextSecond = now + second;
    }
    if (state.frameRate() != clockFrameRate) {
        clockFrameRate = state.frameRate();
        nextFrame = now;
    }
    if (clockFrameRate > 0.0) {
        const auto interval = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(static_cast<double>(config.secondLength.count()) / clockFrameRate));
        while (now >= nextFrame) {
            state.tickFrame();
            nextFrame += std::max(interval, Clock::duration(1));
            if (now - nextFrame > 2 * interval)
                nextFrame = now + interval;
        }
    }
    while (!scheduled.empty() && scheduled.front().at <= now) {
        std::string line = std::move(scheduled.front().line);
        scheduled.erase(scheduled.begin());
        lock.unlock();
        runControlLine(owner, line);
        lock.lock();
    }
}

void FakeSim::Impl::run(FakeSim& owner)
{
    std::unique_lock lock(stateMutex);
    std::vector<net::Watch> watches;
    std::vector<unsigned> ids;  // of each watch: 0 for the waker and the listeners
    while (!stopRequested) {
        if (quitRequested) {
            finishQuit();
            break;
        }
        if (dropRequested) {
            dropRequested = false;
            trace.write("drop", {{"connections", connections.size()}});
            while (!connections.empty())
                close(connections.begin()->first, "dropped");
        }
        watches.clear();
        ids.clear();
        for (net::Socket socket : {waker->socket(), tcpListener, pipe ? pipe->listener() : net::kNoSocket}) {
            if (socket != net::kNoSocket) {
                watches.push_back({socket});
                ids.push_back(0);
            }
        }
        for (const auto& [id, connection] : connections) {
            if (muted)
                break;
            const auto session = state.sessions().find(id);
            const bool pending = session != state.sessions().end() && !session->second.outbox.empty();
            watches.push_back({connection.socket, pending});
            ids.push_back(id);
        }
        const auto wait = muted ? std::chrono::milliseconds(1000)
                                : std::chrono::ceil<std::chrono::milliseconds>(nextDeadline() - Clock::now());
        const bool flooding = state.flooding();
        lock.unlock();
        // A flood keeps the sockets always ready: the pause lets the control calls of other
        // threads take the state in between (and caps the flood at kFloodFill a millisecond).
        if (flooding)
            std::this_thread::sleep_for(kFloodPause);
        net::waitForSockets(watches, std::chrono::milliseconds(std::clamp<std::int64_t>(wait.count(), 0, 1000)));
        lock.lock();

        waker->drain();
        // Pipe clients relayed by other threads are announced by a wake-up, not by a listener.
        if (pipe)
            for (net::Socket socket : pipe->acceptClients())
                adopt(socket, net::PipeEndpoint::via());
        for (std::size_t i = 1; i < watches.size(); ++i) {
            if (!watches[i].ready)
                continue;
            if (ids[i] != 0 && !state.floodIsDeaf())
                readFrom(ids[i]);
            else if (watches[i].socket == tcpListener)
                acceptFrom(tcpListener, "tcp");
        }
        if (muted) {
            changed.notify_all();
            continue;
        }
        runClock(lock, owner);
        if (state.flooding()) {
            if (Clock::now() >= floodEnd)
                state.endFlood();
            else
                state.topUpFlood(kFloodFill);
        }
        std::vector<unsigned> open;
        for (const auto& [id, connection] : connections)
            open.push_back(id);
        for (unsigned id : open) {
            flush(id);
            auto session = state.sessions().find(id);
            if (session != state.sessions().end() && session->second.closeRequested)
                close(id, "closed by the simulator");
        }
        changed.notify_all();
    }
    if (!ended)
        closeEverything("stopped");
    changed.notify_all();
}

void FakeSim::Impl::finishQuit()
{
    trace.write("quit", {{"connections", connections.size()}});
    state.queueQuit();
    const auto deadline = Clock::now() + kQuitFlushTime;
    for (;;) {
        std::vector<unsigned> ids;
        for (const auto& [id, connection] : connections)
            ids.push_back(id);
        std::vector<net::Watch> watches;
        for (unsigned id : ids) {
            flush(id);
            auto session = state.sessions().find(id);
            if (connections.contains(id) && session != state.sessions().end() && !session->second.outbox.empty())
                watches.push_back({connections.at(id).socket, true});
        }
        if (watches.empty() || Clock::now() >= deadline)
            break;
        net::waitForSockets(watches, std::chrono::milliseconds(50));
    }
    closeEverything("quit");
}

void FakeSim::Impl::closeEverything(const char* reason)
{
    while (!connections.empty())
        close(connections.begin()->first, "the simulator went away", true);
    if (tcpListener != net::kNoSocket)
        net::closeSocket(tcpListener);
    tcpListener = net::kNoSocket;
    pipe.reset();
    // The last line sums up what the stand-in sent, which the trace does not list line by line.
    const Status totals = state.status();
    trace.write("end", {{"reason", reason},
                        {"connections_seen", totals.connectionsSeen},
                        {"frames_sent", totals.framesSent},
                        {"data_sent", totals.dataSent},
                        {"exceptions_sent", totals.exceptionsSent},
                        {"flood_sent", totals.floodSent},
                        {"ai_created", totals.aiCreated},
                        {"ai_removed", totals.aiRemoved}});
    ended = true;
}

// ---- FakeSim ----

FakeSim::FakeSim(Config config) : impl_(std::make_unique<Impl>(std::move(config)))
{
    impl_->open();
    impl_->thread = std::thread([this] { impl_->run(*this); });
}

FakeSim::~FakeSim()
{
    impl_->stopRequested = true;
    impl_->wake();
    if (impl_->thread.joinable())
        impl_->thread.join();
}

std::uint16_t FakeSim::port() const { return impl_->port; }
const std::filesystem::path& FakeSim::pipePath() const { return impl_->config.pipePath; }
const std::filesystem::path& FakeSim::tracePath() const { return impl_->config.tracePath; }

void FakeSim::setSimRunning(bool running)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.setSimRunning(running); });
}

void FakeSim::sendFlightLoaded(const std::string& fileName)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.sendFlightLoaded(fileName); });
}

void FakeSim::sendPositionChanged()
{
    lf_change(*impl_, [&](auto& impl) { impl.state.sendPositionChanged(); });
}

void FakeSim::refuseNextCreation(unsigned count)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.refuseNextCreation(count); });
}

void FakeSim::refuseTitle(const std::string& title)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.refuseTitle(title); });
}

void FakeSim::setFrameRate(double framesPerSimSecond)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.setFrameRate(framesPerSimSecond); });
}

void FakeSim::setOpenReply(const wire::OpenReplyFields& fields)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.setOpenReply(fields); });
}

void FakeSim::setUserAircraft(const UserAircraft& script)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.setUserAircraft(script); });
}

void FakeSim::dropConnections()
{
    lf_change(*impl_, [](auto& impl) { impl.dropRequested = true; });
}

void FakeSim::mute()
{
    lf_change(*impl_, [](auto& impl) {
        impl.muted = true;
        impl.trace.write("mute", {{"connections", impl.connections.size()}});
    });
}

void FakeSim::flood(std::uint32_t messageId, std::uint32_t number, double simSeconds, bool deaf)
{
    lf_change(*impl_, [&](auto& impl) {
        impl.state.startFlood(messageId, number, deaf);
        impl.floodEnd = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(
                                           simSeconds * static_cast<double>(impl.config.secondLength.count())));
    });
}

void FakeSim::failNextRequest(std::uint32_t requestNumber, std::uint32_t exceptionNumber, unsigned count)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.failNextRequest(requestNumber, exceptionNumber, count); });
}

void FakeSim::sendException(std::uint32_t exceptionNumber, std::uint32_t sendId, std::uint32_t index)
{
    lf_change(*impl_, [&](auto& impl) { impl.state.sendException(exceptionNumber, sendId, index); });
}

std::uint32_t FakeSim::addSimObject(SimObject object)
{
    std::uint32_t id = 0;
    lf_change(*impl_, [&](auto& impl) { id = impl.state.addSimObject(std::move(object)); });
    return id;
}

bool FakeSim::removeSimObject(std::uint32_t objectId)
{
    bool removed = false;
    lf_change(*impl_, [&](auto& impl) { removed = impl.state.removeSimObject(objectId); });
    return removed;
}

wire::OpenReplyFields FakeSim::openReply() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->state.openReply();
}

UserAircraft FakeSim::userAircraft() const
{
    std::lock_guard lock(impl_->stateMutex);
    return impl_->state.userAircraft();
}

void FakeSim::quit()
{
    impl_->quitRequested = true;
    impl_->wake();
}

void FakeSim::requestQuitAsync() noexcept
{
    impl_->quitRequested = true;
    impl_->wake();
}

std::string FakeSim::control(std::string_view line)
{
    return runControlLine(*this, line);
}

void FakeSim::scheduleControl(double simSeconds, std::string line)
{
    {
        std::lock_guard lock(impl_->stateMutex);
        const auto offset = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(simSeconds * static_cast<double>(impl_->config.secondLength.count())));
        const Impl::Scheduled entry{impl_->start + offset, std::move(line)};
        auto& list = impl_->scheduled;
        list.insert(std::upper_bound(list.begin(), list.end(), entry,
                                     [](const auto& a, const auto& b) { return a.at < b.at; }),
                    entry);
    }
    impl_->wake();
}

Status FakeSim::status() const
{
    std::lock_guard lock(impl_->stateMutex);
    Status s = impl_->state.status();
    s.ended = impl_->ended;
    return s;
}

std::vector<SimObject> FakeSim::aiObjects() const
{
    return status().aiObjects;
}

std::size_t FakeSim::requestCount(std::string_view requestName) const
{
    return status().requestCount(requestName);
}

bool FakeSim::waitUntil(const std::function<bool(const Status&)>& predicate, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->stateMutex);
    return impl_->changed.wait_for(lock, timeout, [&] {
        Status s = impl_->state.status();
        s.ended = impl_->ended;
        return predicate(s);
    });
}

bool FakeSim::waitForEnd(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->stateMutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->ended; });
}

std::size_t Status::requestCount(std::string_view name) const
{
    auto it = requestCounts.find(std::string(name));
    return it == requestCounts.end() ? 0 : it->second;
}

const SimObject* Status::findObject(std::uint32_t objectId) const
{
    auto it = std::find_if(aiObjects.begin(), aiObjects.end(), [&](const SimObject& o) { return o.id == objectId; });
    return it == aiObjects.end() ? nullptr : &*it;
}

} // namespace fakesim
