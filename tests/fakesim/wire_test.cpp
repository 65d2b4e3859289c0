// The stand-in's codec against bytes worked out by hand from the protocol tables.

#include "wire.h"

#include <gtest/gtest.h>

#include <cstring>

namespace fakesim::wire {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes lf_u32(std::uint32_t v)
{
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

Bytes lf_concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(FakesimWire, DecodesRemoveObjectFromHandWrittenBytes)
{
    const Bytes packet{0x18, 0x00, 0x00, 0x00, 0x23, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0xF0,
                       0x07, 0x00, 0x00, 0x00, 0x65, 0x00, 0x00, 0x00, 0x69, 0x00, 0x00, 0x00};
    const auto request = decodeRequest(packet);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->header.size, 24u);
    EXPECT_EQ(request->header.protocol, 35u);
    EXPECT_EQ(request->header.number(), request::kAIRemoveObject);
    EXPECT_EQ(request->header.sendId, 7u);
    const auto* body = std::get_if<AIObjectRequest>(&request->body);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->objectId, 101u);
    EXPECT_EQ(body->requestId, 105u);
}

TEST(FakesimWire, DecodesCreationWithPositionAndTailNumber)
{
    Bytes packet(344, 0);
    auto put = [&](std::size_t offset, const Bytes& bytes) { std::copy(bytes.begin(), bytes.end(), packet.begin() + offset); };
    put(0, lf_u32(344));
    put(4, lf_u32(35));
    put(8, lf_u32(0xF0000029));
    put(12, lf_u32(0xFFFFFFFF));
    put(16, {'B', '7', '3', '8'});
    put(272, {'D', 'A', 'L', '1', '2', '3', '4', '5', '6', '7', '8', 'X'});  // 12 characters, no NUL
    put(284, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F});  // 1.5
    put(292, {0, 0, 0, 0, 0, 0, 0x00, 0xC0});  // -2.0
    put(300, {0, 0, 0, 0, 0, 0, 0x59, 0x40});  // 100.0
    put(324, {0, 0, 0, 0, 0, 0x80, 0x66, 0x40});  // 180.0
    put(332, lf_u32(1));
    put(336, lf_u32(140));
    put(340, lf_u32(104));
    const auto request = decodeRequest(packet);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->header.sendId, 0xFFFFFFFFu);
    const auto* body = std::get_if<CreateNonAtcAircraftRequest>(&request->body);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->containerTitle, "B738");
    EXPECT_EQ(body->tailNumber, "DAL12345678X");  // a full field is read to its end, not beyond
    EXPECT_EQ(body->position.latitude, 1.5);
    EXPECT_EQ(body->position.longitude, -2.0);
    EXPECT_EQ(body->position.altitude, 100.0);
    EXPECT_EQ(body->position.heading, 180.0);
    EXPECT_EQ(body->position.onGround, 1u);
    EXPECT_EQ(body->position.airspeed, 140u);
    EXPECT_EQ(body->requestId, 104u);
}

TEST(FakesimWire, DecodesDataDefinitionAndSetData)
{
    Bytes def(544, 0);
    std::memcpy(def.data(), lf_u32(544).data(), 4);
    std::memcpy(def.data() + 8, lf_u32(0xF000000C).data(), 4);
    std::memcpy(def.data() + 16, lf_u32(403).data(), 4);
    std::memcpy(def.data() + 20, "ZULU TIME", 9);
    std::memcpy(def.data() + 276, "Seconds", 7);
    std::memcpy(def.data() + 532, lf_u32(2).data(), 4);
    std::memcpy(def.data() + 540, lf_u32(0xFFFFFFFF).data(), 4);
    const auto a = decodeRequest(def);
    const auto* add = std::get_if<AddToDataDefinitionRequest>(&a->body);
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->definitionId, 403u);
    EXPECT_EQ(add->datumName, "ZULU TIME");
    EXPECT_EQ(add->unitsName, "Seconds");
    EXPECT_EQ(add->datumType, datatype::kInt64);
    EXPECT_EQ(add->datumId, kUnused);

    const Bytes set = lf_concat({lf_u32(44), lf_u32(4), lf_u32(0xF0000010), lf_u32(9), lf_u32(402), lf_u32(150),
                                 lf_u32(0), lf_u32(1), lf_u32(8), {1, 2, 3, 4, 5, 6, 7, 8}});
    const auto s = decodeRequest(set);
    const auto* body = std::get_if<SetDataRequest>(&s->body);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->definitionId, 402u);
    EXPECT_EQ(body->objectId, 150u);
    EXPECT_EQ(body->unitSize, 8u);
    EXPECT_EQ(body->data, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(FakesimWire, ShortOrUnknownPacketsAreReportedNotRead)
{
    // A creation cut off after 100 bytes.
    Bytes shortCreate = lf_concat({lf_u32(100), lf_u32(35), lf_u32(0xF0000029), lf_u32(3)});
    shortCreate.resize(100, 'x');
    const auto cut = decodeRequest(shortCreate);
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->complete);
    EXPECT_TRUE(std::holds_alternative<UnknownRequest>(cut->body));

    const auto noFlag = decodeRequest(lf_concat({lf_u32(24), lf_u32(35), lf_u32(0x2C), lf_u32(1), lf_u32(5), lf_u32(6)}));
    EXPECT_TRUE(std::holds_alternative<UnknownRequest>(noFlag->body));
    const auto unknown = decodeRequest(lf_concat({lf_u32(16), lf_u32(35), lf_u32(0xF00000FE), lf_u32(1)}));
    EXPECT_TRUE(std::holds_alternative<UnknownRequest>(unknown->body));
    EXPECT_TRUE(unknown->complete);
    EXPECT_FALSE(decodeRequest(Bytes(15, 0)));
}

TEST(FakesimWire, ReaderStopsAtTheEnd)
{
    const Bytes bytes{1, 0, 0, 0, 'a', 'b'};
    Reader in(bytes);
    EXPECT_EQ(in.u32(), 1u);
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(in.fixedString(2), "ab");
    EXPECT_EQ(in.u32(), 0u);
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.f64(), 0.0);
    EXPECT_TRUE(in.bytes(1).empty());
}

TEST(FakesimWire, MessagesMatchHandWrittenBytes)
{
    struct Case {
        const char* name;
        Bytes built;
        Bytes expected;
    };
    const std::vector<Case> cases{
        {"exception 22", exceptionMessage(35, 22, 9, 1),
         lf_concat({lf_u32(24), lf_u32(35), lf_u32(1), lf_u32(22), lf_u32(9), lf_u32(1)})},
        {"quit", quitMessage(4), lf_concat({lf_u32(12), lf_u32(4), lf_u32(3)})},
        {"event Sim 1", eventMessage(35, kUnknownGroup, 201, 1),
         lf_concat({lf_u32(24), lf_u32(35), lf_u32(4), lf_u32(0xFFFFFFFF), lf_u32(201), lf_u32(1)})},
        {"object added", objectAddRemoveMessage(35, 202, 100, 2),
         lf_concat({lf_u32(28), lf_u32(35), lf_u32(5), lf_u32(0xFFFFFFFF), lf_u32(202), lf_u32(100), lf_u32(2)})},
        {"frame", frameMessage(35, 204, 30.0f, 1.0f),
         lf_concat({lf_u32(32), lf_u32(35), lf_u32(7), lf_u32(0xFFFFFFFF), lf_u32(204), lf_u32(0), lf_u32(0x41F00000),
                    lf_u32(0x3F800000)})},
        {"assigned id", assignedObjectIdMessage(4, 30, 101),
         lf_concat({lf_u32(20), lf_u32(4), lf_u32(12), lf_u32(30), lf_u32(101)})},
        {"object data", simObjectDataMessage(35, true, {101, 150, 404, 0, 2, 3, 1}, Bytes{9, 9}),
         lf_concat({lf_u32(42), lf_u32(35), lf_u32(9), lf_u32(101), lf_u32(150), lf_u32(404), lf_u32(0), lf_u32(2),
                    lf_u32(3), lf_u32(1), {9, 9}})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.built, c.expected) << c.name;
}

TEST(FakesimWire, OpenReplyAndFileNameLayout)
{
    OpenReplyFields fields;
    fields.applicationVersionMajor = 6;
    fields.applicationBuildMinor = 77;
    const Bytes reply = openReply(35, fields);
    ASSERT_EQ(reply.size(), 308u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 12), lf_concat({lf_u32(308), lf_u32(35), lf_u32(2)}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.data() + 12)), "Lockheed Martin Prepar3D v5");
    EXPECT_EQ(Bytes(reply.begin() + 268, reply.begin() + 272), lf_u32(6));
    EXPECT_EQ(Bytes(reply.begin() + 280, reply.begin() + 284), lf_u32(77));

    const Bytes name = filenameMessage(35, 206, "C:\\flights\\KLAX.fxml", 0);
    ASSERT_EQ(name.size(), 288u);
    EXPECT_EQ(Bytes(name.begin() + 8, name.begin() + 12), lf_u32(6));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(name.data() + 24)), "C:\\flights\\KLAX.fxml");

    // A name longer than its field keeps its last byte for the NUL.
    fields.applicationName = std::string(300, 'n');
    const Bytes longName = openReply(35, fields);
    EXPECT_EQ(longName.size(), 308u);
    EXPECT_EQ(longName[12 + 254], 'n');
    EXPECT_EQ(longName[12 + 255], 0);
}

TEST(FakesimWire, CutterSplitsAStreamIntoPackets)
{
    const Bytes a = lf_concat({lf_u32(20), lf_u32(35), lf_u32(0xF0000018), lf_u32(1), lf_u32(201)});
    const Bytes b = lf_concat({lf_u32(16), lf_u32(35), lf_u32(0xF00000FE), lf_u32(2)});
    const Bytes stream = lf_concat({a, b});
    PacketCutter cutter(1024);
    // Byte by byte: nothing comes out before a packet is whole.
    std::vector<Bytes> out;
    for (std::uint8_t byte : stream) {
        cutter.append(std::span(&byte, 1));
        while (auto p = cutter.next())
            out.push_back(*p);
    }
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], a);
    EXPECT_EQ(out[1], b);
    EXPECT_EQ(cutter.pending(), 0u);
}

TEST(FakesimWire, CutterRefusesImpossibleSizes)
{
    for (std::uint32_t size : {0u, 4u, 15u, 1025u, 0xFFFFFFFFu}) {
        PacketCutter cutter(1024);
        const Bytes bytes = lf_concat({lf_u32(size), Bytes(20, 0)});
        cutter.append(bytes);
        EXPECT_FALSE(cutter.next()) << size;
        EXPECT_TRUE(cutter.broken()) << size;
        EXPECT_EQ(cutter.brokenSize(), size);
    }
}

TEST(FakesimWire, RequestNamesAndNumbers)
{
    EXPECT_EQ(requestName(0x29), "AICreateNonATCAircraft");
    EXPECT_EQ(requestName(0x99), "Unknown");
    EXPECT_EQ(requestNumberFromName("airemoveobject"), 0x2Cu);
    EXPECT_EQ(requestNumberFromName("SimConnect_AIRemoveObject"), 0x2Cu);
    EXPECT_EQ(requestNumberFromName("0x10"), 0x10u);
    EXPECT_EQ(requestNumberFromName("41"), 41u);
    EXPECT_FALSE(requestNumberFromName("Bogus"));
    EXPECT_FALSE(requestNumberFromName(""));
}

} // namespace
} // namespace fakesim::wire
