#pragma once
// A bare SimConnect client for the tests: it lays out every request by the byte offsets of the
// protocol tables (not with the stand-in's own codec, so that the two check each other) and reads
// the simulator's messages with deadlines, never sleeping.

#include "raw_link.h"

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakesim_test {

static_assert(std::endian::native == std::endian::little, "the tests read little-endian fields in place");

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline constexpr auto kDeadline = 10s;  // generous: a loaded CI machine must not fail a test

// Field access at byte offsets.
void put32(Bytes& bytes, std::size_t offset, std::uint32_t value);
void putF32(Bytes& bytes, std::size_t offset, float value);
void putF64(Bytes& bytes, std::size_t offset, double value);
void putText(Bytes& bytes, std::size_t offset, std::string_view text);
std::uint32_t get32(const Bytes& bytes, std::size_t offset);
std::int64_t get64(const Bytes& bytes, std::size_t offset);
float getF32(const Bytes& bytes, std::size_t offset);
double getF64(const Bytes& bytes, std::size_t offset);
std::string getText(const Bytes& bytes, std::size_t offset, std::size_t width);

// Request bodies: a zeroed packet of the request's whole size with the fields after the header
// filled; the client writes the header.
struct Packet {
    std::uint32_t id = 0;
    Bytes bytes;
};
Packet openPacket(std::string_view name);
Packet subscribePacket(std::uint32_t clientEventId, std::string_view eventName);
Packet unsubscribePacket(std::uint32_t clientEventId);
Packet mapEventPacket(std::uint32_t clientEventId, std::string_view eventName);
Packet transmitEventPacket(std::uint32_t objectId, std::uint32_t clientEventId, std::uint32_t data);
Packet addToGroupPacket(std::uint32_t groupId, std::uint32_t clientEventId, std::uint32_t maskable);
Packet groupPriorityPacket(std::uint32_t groupId, std::uint32_t priority);
Packet addDatumPacket(std::uint32_t definitionId, std::string_view datum, std::string_view units, std::uint32_t type,
                      std::uint32_t datumId = 0xFFFFFFFF);
Packet clearDefinitionPacket(std::uint32_t definitionId);
Packet requestDataPacket(std::uint32_t requestId, std::uint32_t definitionId, std::uint32_t objectId,
                         std::uint32_t period, std::uint32_t flags = 0, std::uint32_t origin = 0,
                         std::uint32_t interval = 0, std::uint32_t limit = 0);
Packet requestByTypePacket(std::uint32_t requestId, std::uint32_t definitionId, std::uint32_t radius,
                           std::uint32_t type);
Packet setDataPacket(std::uint32_t definitionId, std::uint32_t objectId, const Bytes& data, std::uint32_t unitSize,
                     std::uint32_t flags = 0);
struct Placement {
    double lat = 0, lon = 0, alt = 0, pitch = 0, bank = 0, heading = 0;
    std::uint32_t onGround = 1, airspeed = 0;
};
Packet createPacket(std::string_view title, std::string_view tail, const Placement& at, std::uint32_t requestId);
Packet removePacket(std::uint32_t objectId, std::uint32_t requestId);
Packet releasePacket(std::uint32_t objectId, std::uint32_t requestId);
Packet flightPlanPacket(std::uint32_t objectId, std::string_view path, std::uint32_t requestId);

struct Message {
    Bytes bytes;
    std::uint32_t size() const { return get32(bytes, 0); }
    std::uint32_t version() const { return get32(bytes, 4); }
    std::uint32_t id() const { return get32(bytes, 8); }
    std::uint32_t u32(std::size_t offset) const { return get32(bytes, offset); }
    double f64(std::size_t offset) const { return getF64(bytes, offset); }
};

class RawClient {
public:
    explicit RawClient(std::uint16_t port);
    // The stand-in's pipe (see Config::pipePath).
    explicit RawClient(const std::filesystem::path& pipe);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    std::uint32_t protocol = 35;
    std::uint32_t nextSendId = 1;  // any start: the simulator must only echo it

    // Writes the header (size, protocol, 0xF0000000 | id, the next send id) and sends; returns
    // the send id.
    std::uint32_t send(Packet packet);
    void sendRaw(const Bytes& bytes);
    // Opens and waits for the Open reply.
    Message open(std::string_view name = "test client");

    // The next message, or nullopt when none comes before the deadline or the peer closed.
    std::optional<Message> receive(std::chrono::milliseconds timeout = kDeadline);
    // The next message with this id (others are kept for later receives by id); nullopt on
    // timeout.
    std::optional<Message> receiveId(std::uint32_t messageId, std::chrono::milliseconds timeout = kDeadline);
    // The next message of that id whose u32 at offset equals value.
    std::optional<Message> receiveWhere(std::uint32_t messageId, std::size_t offset, std::uint32_t value,
                                        std::chrono::milliseconds timeout = kDeadline);
    // True when the peer closes the connection before the deadline.
    bool waitClosed(std::chrono::milliseconds timeout = kDeadline);
    bool peerClosed() const { return closed_; }

private:
    bool fill(std::chrono::steady_clock::time_point deadline);
    std::optional<Message> takeBuffered(std::uint32_t messageId, std::size_t offset, std::uint32_t value,
                                        bool anyId, bool anyValue);

    std::unique_ptr<RawLink> link_;
    Bytes buffer_;
    std::vector<Message> held_;
    bool closed_ = false;
};

} // namespace fakesim_test
