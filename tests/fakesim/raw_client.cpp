#include "raw_client.h"

#include <algorithm>
#include <stdexcept>

namespace fakesim_test {

namespace {

constexpr std::size_t kMaxHeld = 20000;

Packet lf_packet(std::uint32_t id, std::size_t size)
{
    return Packet{id, Bytes(size, 0)};
}

} // namespace

void put32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

void putF32(Bytes& bytes, std::size_t offset, float value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

void putF64(Bytes& bytes, std::size_t offset, double value)
{
    std::memcpy(bytes.data() + offset, &value, 8);
}

void putText(Bytes& bytes, std::size_t offset, std::string_view text)
{
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

std::uint32_t get32(const Bytes& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

std::int64_t get64(const Bytes& bytes, std::size_t offset)
{
    std::int64_t value = 0;
    if (offset + 8 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 8);
    return value;
}

float getF32(const Bytes& bytes, std::size_t offset)
{
    float value = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

double getF64(const Bytes& bytes, std::size_t offset)
{
    double value = 0;
    if (offset + 8 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 8);
    return value;
}

std::string getText(const Bytes& bytes, std::size_t offset, std::size_t width)
{
    if (offset >= bytes.size())
        return {};
    width = std::min(width, bytes.size() - offset);
    const auto* begin = bytes.data() + offset;
    return std::string(begin, std::find(begin, begin + width, std::uint8_t{0}));
}

Packet openPacket(std::string_view name)
{
    Packet p = lf_packet(0x01, 296);
    putText(p.bytes, 16, name);
    const std::uint8_t alias[4] = {0x00, 0x44, 0x33, 0x50};
    std::memcpy(p.bytes.data() + 276, alias, 4);
    put32(p.bytes, 280, 5);
    put32(p.bytes, 284, 3);
    return p;
}

Packet subscribePacket(std::uint32_t clientEventId, std::string_view eventName)
{
    Packet p = lf_packet(0x17, 276);
    put32(p.bytes, 16, clientEventId);
    putText(p.bytes, 20, eventName);
    return p;
}

Packet unsubscribePacket(std::uint32_t clientEventId)
{
    Packet p = lf_packet(0x18, 20);
    put32(p.bytes, 16, clientEventId);
    return p;
}

Packet mapEventPacket(std::uint32_t clientEventId, std::string_view eventName)
{
    Packet p = lf_packet(0x04, 276);
    put32(p.bytes, 16, clientEventId);
    putText(p.bytes, 20, eventName);
    return p;
}

Packet transmitEventPacket(std::uint32_t objectId, std::uint32_t clientEventId, std::uint32_t data)
{
    Packet p = lf_packet(0x05, 36);
    put32(p.bytes, 16, objectId);
    put32(p.bytes, 20, clientEventId);
    put32(p.bytes, 24, data);
    put32(p.bytes, 28, 301);
    return p;
}

Packet addToGroupPacket(std::uint32_t groupId, std::uint32_t clientEventId, std::uint32_t maskable)
{
    Packet p = lf_packet(0x07, 28);
    put32(p.bytes, 16, groupId);
    put32(p.bytes, 20, clientEventId);
    put32(p.bytes, 24, maskable);
    return p;
}

Packet groupPriorityPacket(std::uint32_t groupId, std::uint32_t priority)
{
    Packet p = lf_packet(0x09, 24);
    put32(p.bytes, 16, groupId);
    put32(p.bytes, 20, priority);
    return p;
}

Packet addDatumPacket(std::uint32_t definitionId, std::string_view datum, std::string_view units, std::uint32_t type,
                      std::uint32_t datumId)
{
    Packet p = lf_packet(0x0C, 544);
    put32(p.bytes, 16, definitionId);
    putText(p.bytes, 20, datum);
    putText(p.bytes, 276, units);
    put32(p.bytes, 532, type);
    putF32(p.bytes, 536, 0.0f);
    put32(p.bytes, 540, datumId);
    return p;
}

Packet clearDefinitionPacket(std::uint32_t definitionId)
{
    Packet p = lf_packet(0x0D, 20);
    put32(p.bytes, 16, definitionId);
    return p;
}

Packet requestDataPacket(std::uint32_t requestId, std::uint32_t definitionId, std::uint32_t objectId,
                         std::uint32_t period, std::uint32_t flags, std::uint32_t origin, std::uint32_t interval,
                         std::uint32_t limit)
{
    Packet p = lf_packet(0x0E, 48);
    put32(p.bytes, 16, requestId);
    put32(p.bytes, 20, definitionId);
    put32(p.bytes, 24, objectId);
    put32(p.bytes, 28, period);
    put32(p.bytes, 32, flags);
    put32(p.bytes, 36, origin);
    put32(p.bytes, 40, interval);
    put32(p.bytes, 44, limit);
    return p;
}

Packet requestByTypePacket(std::uint32_t requestId, std::uint32_t definitionId, std::uint32_t radius,
                           std::uint32_t type)
{
    Packet p = lf_packet(0x0F, 32);
    put32(p.bytes, 16, requestId);
    put32(p.bytes, 20, definitionId);
    put32(p.bytes, 24, radius);
    put32(p.bytes, 28, type);
    return p;
}

Packet setDataPacket(std::uint32_t definitionId, std::uint32_t objectId, const Bytes& data, std::uint32_t unitSize,
                     std::uint32_t flags)
{
    Packet p = lf_packet(0x10, 36 + data.size());
    put32(p.bytes, 16, definitionId);
    put32(p.bytes, 20, objectId);
    put32(p.bytes, 24, flags);
    put32(p.bytes, 28, 1);
    put32(p.bytes, 32, unitSize);
    std::copy(data.begin(), data.end(), p.bytes.begin() + 36);
    return p;
}

Packet createPacket(std::string_view title, std::string_view tail, const Placement& at, std::uint32_t requestId)
{
    Packet p = lf_packet(0x29, 344);
    putText(p.bytes, 16, title);
    putText(p.bytes, 272, tail);
    putF64(p.bytes, 284, at.lat);
    putF64(p.bytes, 292, at.lon);
    putF64(p.bytes, 300, at.alt);
    putF64(p.bytes, 308, at.pitch);
    putF64(p.bytes, 316, at.bank);
    putF64(p.bytes, 324, at.heading);
    put32(p.bytes, 332, at.onGround);
    put32(p.bytes, 336, at.airspeed);
    put32(p.bytes, 340, requestId);
    return p;
}

Packet removePacket(std::uint32_t objectId, std::uint32_t requestId)
{
    Packet p = lf_packet(0x2C, 24);
    put32(p.bytes, 16, objectId);
    put32(p.bytes, 20, requestId);
    return p;
}

Packet releasePacket(std::uint32_t objectId, std::uint32_t requestId)
{
    Packet p = lf_packet(0x2B, 24);
    put32(p.bytes, 16, objectId);
    put32(p.bytes, 20, requestId);
    return p;
}

Packet flightPlanPacket(std::uint32_t objectId, std::string_view path, std::uint32_t requestId)
{
    Packet p = lf_packet(0x2D, 284);
    put32(p.bytes, 16, objectId);
    putText(p.bytes, 20, path.substr(0, 259));
    put32(p.bytes, 280, requestId);
    return p;
}

// ---- RawClient ----

RawClient::RawClient(std::uint16_t port) : link_(std::make_unique<RawLink>(port)) {}

RawClient::RawClient(const std::filesystem::path& pipe) : link_(std::make_unique<RawLink>(pipe)) {}

RawClient::~RawClient() = default;

std::uint32_t RawClient::send(Packet packet)
{
    const std::uint32_t sendId = nextSendId++;
    put32(packet.bytes, 0, static_cast<std::uint32_t>(packet.bytes.size()));
    put32(packet.bytes, 4, protocol);
    put32(packet.bytes, 8, 0xF0000000 | packet.id);
    put32(packet.bytes, 12, sendId);
    sendRaw(packet.bytes);
    return sendId;
}

void RawClient::sendRaw(const Bytes& bytes)
{
    link_->send(bytes);
}

Message RawClient::open(std::string_view name)
{
    send(openPacket(name));
    auto reply = receiveId(2);
    if (!reply)
        throw std::runtime_error("no Open reply");
    return *reply;
}

bool RawClient::fill(std::chrono::steady_clock::time_point deadline)
{
    if (closed_)
        return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const RawLink::Got got = link_->receive(buffer_, left);
    closed_ = got == RawLink::Got::Closed;
    return got == RawLink::Got::Bytes;
}

std::optional<Message> RawClient::receive(std::chrono::milliseconds timeout)
{
    if (!held_.empty()) {
        Message first = std::move(held_.front());
        held_.erase(held_.begin());
        return first;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (buffer_.size() >= 4) {
            const std::uint32_t size = get32(buffer_, 0);
            if (size < 12)
                throw std::runtime_error("impossible message size " + std::to_string(size));
            if (buffer_.size() >= size) {
                Message m{Bytes(buffer_.begin(), buffer_.begin() + size)};
                buffer_.erase(buffer_.begin(), buffer_.begin() + size);
                return m;
            }
        }
        if (!fill(deadline))
            return std::nullopt;
    }
}

std::optional<Message> RawClient::takeBuffered(std::uint32_t messageId, std::size_t offset, std::uint32_t value,
                                               bool anyId, bool anyValue)
{
    auto it = std::find_if(held_.begin(), held_.end(), [&](const Message& m) {
        return (anyId || m.id() == messageId) && (anyValue || m.u32(offset) == value);
    });
    if (it == held_.end())
        return std::nullopt;
    Message m = std::move(*it);
    held_.erase(it);
    return m;
}

std::optional<Message> RawClient::receiveId(std::uint32_t messageId, std::chrono::milliseconds timeout)
{
    return receiveWhere(messageId, 0, 0, timeout);
}

std::optional<Message> RawClient::receiveWhere(std::uint32_t messageId, std::size_t offset, std::uint32_t value,
                                               std::chrono::milliseconds timeout)
{
    const bool anyValue = offset == 0;
    if (auto m = takeBuffered(messageId, offset, value, false, anyValue))
        return m;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<Message> skipped;
    std::optional<Message> found;
    while (!found) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0)
            break;
        // Read from the socket only: held messages were searched above.
        std::vector<Message> saved;
        saved.swap(held_);
        auto m = receive(left);
        held_.swap(saved);
        if (!m)
            break;
        if (m->id() == messageId && (anyValue || m->u32(offset) == value))
            found = std::move(m);
        else
            skipped.push_back(std::move(*m));
    }
    held_.insert(held_.end(), std::make_move_iterator(skipped.begin()), std::make_move_iterator(skipped.end()));
    if (held_.size() > kMaxHeld)
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(held_.size() - kMaxHeld));
    return found;
}

bool RawClient::waitClosed(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!closed_) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (!fill(deadline) && !closed_)
            return false;
        buffer_.clear();
    }
    return true;
}

} // namespace fakesim_test
