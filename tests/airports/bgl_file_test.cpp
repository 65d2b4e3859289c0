#include "airports/bgl_file.h"
#include "core/scan_throttle.h"
#include "core/text.h"
#include "liveries/scan_messages.h"
#include "support/params_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace fs = std::filesystem;

// Hand-made BGL files for the cases the real scenery files do not show: the header, one section
// entry per airport section, one subsection per section and the records behind.
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Parking {
    std::uint32_t nameCode = 12; // "A"
    std::uint32_t type = 8;
    std::uint32_t number = 1;
    float radius = 20.0f;
    float heading = 90.0f;
    LatLon position{52.3, 4.76};
    std::uint32_t airlineCodes = 0;
};

void putU16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putFloat(Bytes& out, float value)
{
    putU32(out, std::bit_cast<std::uint32_t>(value));
}

void putPosition(Bytes& out, LatLon position)
{
    putU32(out, static_cast<std::uint32_t>((position.longitude + 180.0) * (3.0 * 268435456.0) / 360.0 + 0.5));
    putU32(out, static_cast<std::uint32_t>((90.0 - position.latitude) * 536870912.0 / 180.0 + 0.5));
}

std::uint32_t packIdentifier(std::string_view text)
{
    std::uint32_t value = 0;
    for (const char c : text) {
        const std::uint32_t digit = c == ' ' ? 0 : (c >= '0' && c <= '9') ? c - 46 : c - 53;
        value = value * 38 + digit;
    }
    return value << 5;
}

void patchSize(Bytes& record)
{
    const auto size = static_cast<std::uint32_t>(record.size());
    for (int i = 0; i < 4; ++i)
        record[2 + i] = static_cast<std::uint8_t>(size >> (8 * i));
}

Bytes parkingList(const std::vector<Parking>& items, bool newLayout)
{
    Bytes out;
    putU16(out, newLayout ? 0x00AD : 0x003D);
    putU32(out, 0);
    putU16(out, static_cast<std::uint16_t>(items.size()));
    for (const Parking& item : items) {
        putU32(out, item.nameCode | (item.type << 8) | (item.number << 12) | (item.airlineCodes << 24));
        putFloat(out, item.radius);
        putFloat(out, item.heading);
        for (int i = 0; i < 4; ++i)
            putFloat(out, 0.0f); // tee offsets
        putPosition(out, item.position);
        if (newLayout)
            putU32(out, 0);
        for (std::uint32_t i = 0; i < item.airlineCodes; ++i)
            putU32(out, 0x41424300);
    }
    patchSize(out);
    return out;
}

Bytes helipad(LatLon position, float width, float heading)
{
    Bytes out;
    putU16(out, 0x0026);
    putU32(out, 36);
    out.push_back(4); // surface
    out.push_back(1); // type
    putU32(out, 0);   // colour
    putPosition(out, position);
    putU32(out, 0); // altitude
    putFloat(out, width);
    putFloat(out, width);
    putFloat(out, heading);
    return out;
}

Bytes nameSubrecord(std::string_view name, std::uint32_t size)
{
    Bytes out;
    putU16(out, 0x0019);
    putU32(out, size);
    for (std::size_t i = 0; i + 6 < size; ++i)
        out.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
    return out;
}

Bytes otherSubrecord(std::uint16_t id, std::uint32_t size)
{
    Bytes out;
    putU16(out, id);
    putU32(out, size);
    out.resize(std::max<std::size_t>(size, 6), 0);
    return out;
}

Bytes airportRecord(std::string_view code, bool newLayout, std::int32_t altitudeMm, const std::vector<Bytes>& subrecords)
{
    Bytes out;
    putU16(out, newLayout ? 0x00AB : 0x003C);
    putU32(out, 0);
    out.resize(12, 0);
    putPosition(out, {52.308601, 4.763889});
    putU32(out, static_cast<std::uint32_t>(altitudeMm));
    out.resize(40, 0);
    putU32(out, packIdentifier(code));
    out.resize(newLayout ? 60 : 56, 0);
    for (const Bytes& sub : subrecords)
        out.insert(out.end(), sub.begin(), sub.end());
    patchSize(out);
    return out;
}

Bytes bglFile(const std::vector<std::vector<Bytes>>& sections, std::uint32_t sizeFlags = 1)
{
    const auto count = static_cast<std::uint32_t>(sections.size());
    Bytes out;
    putU32(out, 0x19920201);
    putU32(out, 0x38);
    out.resize(20, 0);
    putU32(out, count);
    out.resize(56, 0);
    const std::uint32_t tables = 56 + 20 * count;
    std::uint32_t data = tables + 16 * count;
    std::vector<std::uint32_t> dataSizes;
    for (std::uint32_t i = 0; i < count; ++i) {
        putU32(out, 3);
        putU32(out, sizeFlags);
        putU32(out, 1);
        putU32(out, tables + 16 * i);
        putU32(out, 16);
    }
    for (const auto& records : sections) {
        std::uint32_t size = 0;
        for (const Bytes& record : records)
            size += static_cast<std::uint32_t>(record.size());
        putU32(out, 0x00012345);
        putU32(out, static_cast<std::uint32_t>(records.size()));
        putU32(out, data);
        putU32(out, size);
        data += size;
    }
    for (const auto& records : sections)
        for (const Bytes& record : records)
            out.insert(out.end(), record.begin(), record.end());
    return out;
}


} // namespace

namespace {

class BglFile : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        gf_takeScanMessages();
    }

    fs::path writeBgl(const Bytes& bytes, const std::string& name = "test.bgl")
    {
        const fs::path path = folder / name;
        testsupport::writeFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    static std::vector<BglAirport> readAll(const fs::path& path)
    {
        std::vector<BglAirport> airports;
        gf_readBglAirports(path, [&](BglAirport&& airport) { airports.push_back(std::move(airport)); });
        return airports;
    }

    // The airport of a one-record file with the given subrecords.
    BglAirport decodeOne(const std::vector<Bytes>& subrecords, bool newLayout = true)
    {
        const auto airports = readAll(writeBgl(bglFile({{airportRecord("EHAM", newLayout, 0, subrecords)}})));
        EXPECT_EQ(airports.size(), 1u);
        return airports.empty() ? BglAirport{} : airports.front();
    }

    static std::vector<std::string> names(const BglAirport& airport)
    {
        std::vector<std::string> result;
        for (const BglStand& stand : airport.stands)
            result.push_back(stand.name);
        return result;
    }

    static const BglStand* findStand(const BglAirport& airport, const std::string& name)
    {
        const auto it = std::find_if(airport.stands.begin(), airport.stands.end(),
                                     [&](const BglStand& stand) { return stand.name == name; });
        return it == airport.stands.end() ? nullptr : &*it;
    }
};

fs::path realBgl(const char* name)
{
    return testsupport::sharedDataDir() / "bgl" / name;
}

} // namespace

TEST_F(BglFile, RealAirportInTheNewerLayout)
{
    const fs::path path = realBgl("LEAB_ADEP5_ARV187.bgl");
    ASSERT_TRUE(lf_hasAirportSection(path));
    const auto airports = readAll(path);
    ASSERT_EQ(airports.size(), 1u);
    const BglAirport& leab = airports.front();
    EXPECT_EQ(leab.code, "LEAB");
    EXPECT_TRUE(leab.newLayout);
    EXPECT_EQ(leab.name, "Los Llanos");
    EXPECT_EQ(leab.elevationFeet, 2301); // 701344 mm
    EXPECT_NEAR(leab.position.latitude, 38.948472, 1e-6);
    EXPECT_NEAR(leab.position.longitude, -1.863042, 1e-6);
    // 71 parking spots, three of them fuel stations, and one helipad.
    EXPECT_EQ(leab.stands.size(), 69u);
    EXPECT_EQ(leab.helipadCount, 1u);
    EXPECT_FALSE(leab.nameClash);
    EXPECT_TRUE(scanMessages.empty());
    EXPECT_EQ(findStand(leab, "r17"), nullptr); // fuel

    const BglStand* first = findStand(leab, "r4");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, &leab.stands[1]); // behind the helipad, which comes first in the record
    EXPECT_EQ(first->parkingType, 2u);
    EXPECT_TRUE(first->ramp);
    EXPECT_FALSE(first->cargo);
    EXPECT_DOUBLE_EQ(first->radiusMetres, 15.0);
    EXPECT_NEAR(first->heading, 359.32 * geo::kDegToRad, 1e-3);
    EXPECT_NEAR(first->latitude, 38.946192, 1e-6);
    EXPECT_NEAR(first->longitude, -1.879639, 1e-6);

    const BglStand* gate = findStand(leab, "r1"); // type 8: neither ramp nor cargo
    ASSERT_NE(gate, nullptr);
    EXPECT_FALSE(gate->ramp);
    EXPECT_FALSE(gate->cargo);
    const BglStand* north = findStand(leab, "r81");
    ASSERT_NE(north, nullptr);
    EXPECT_EQ(north->heading, geo::kTwoPi);

    // The helipad's heading is the field behind its width, not a value beyond the subrecord.
    const BglStand& pad = leab.stands.front();
    EXPECT_EQ(pad.name, "helipad1");
    EXPECT_TRUE(pad.heli);
    EXPECT_FALSE(pad.ramp);
    EXPECT_NEAR(pad.radiusMetres, 17.07, 1e-3);
    EXPECT_NEAR(pad.heading, 255.8196 * geo::kDegToRad, 1e-4);
    EXPECT_NEAR(pad.latitude, 38.953219, 1e-6);
}

TEST_F(BglFile, RealAirportInTheOlderLayoutHasTheSameStands)
{
    const auto older = readAll(realBgl("LEAB_ADEP4_ARV187.bgl"));
    const auto newer = readAll(realBgl("LEAB_ADEP5_ARV187.bgl"));
    ASSERT_EQ(older.size(), 1u);
    ASSERT_EQ(newer.size(), 1u);
    EXPECT_FALSE(older.front().newLayout);
    EXPECT_EQ(older.front().name, "Albacete");
    EXPECT_EQ(older.front().elevationFeet, 2300); // 701000 mm
    EXPECT_EQ(names(older.front()), names(newer.front()));
}

TEST_F(BglFile, ScanTaskHandsOnAirportsAndAlwaysGivesItsSlotBack)
{
    std::vector<std::string> codes;
    g_scanTasksRunning = 1;
    lf_toParkingPositions(realBgl("LEAB_ADEP5_ARV187.bgl"), [&](BglAirport&& a) { codes.push_back(a.code); });
    EXPECT_EQ(codes, std::vector<std::string>{"LEAB"});
    EXPECT_EQ(g_scanTasksRunning.load(), 0);

    // A file cut inside its second airport: the first stays handed on, the rest is a warning.
    const Bytes whole = bglFile({{airportRecord("EHAM", true, 0, {}),
                                  airportRecord("EDDF", true, 0, {parkingList({Parking{}, Parking{}}, true)})}});
    const fs::path cut = writeBgl(Bytes(whole.begin(), whole.end() - 30), "cut.bgl");
    codes.clear();
    g_scanTasksRunning = 1;
    lf_toParkingPositions(cut, [&](BglAirport&& a) { codes.push_back(a.code); });
    EXPECT_EQ(codes, std::vector<std::string>{"EHAM"});
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
    EXPECT_NE(logText().find("===> Exception in lf_toParkingPositions: " + cut.string()), std::string::npos);

    g_scanTasksRunning = 1;
    lf_toParkingPositions(folder / "missing.bgl", [&](BglAirport&&) { ADD_FAILURE(); });
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
}

TEST_F(BglFile, SectionTestAndFileNames)
{
    EXPECT_TRUE(lf_isBglFile(".bgl"));
    EXPECT_TRUE(lf_isBglFile(".BGL"));
    EXPECT_FALSE(lf_isBglFile(".Bgl"));
    EXPECT_FALSE(lf_isBglFile("bgl"));

    Bytes noAirports = bglFile({{airportRecord("EHAM", true, 0, {})}});
    noAirports[56] = 0x25; // the only section becomes a scenery object section
    EXPECT_FALSE(lf_hasAirportSection(writeBgl(noAirports, "objects.bgl")));
    EXPECT_TRUE(readAll(folder / "objects.bgl").empty());
    EXPECT_FALSE(lf_hasAirportSection(writeBgl(Bytes(14, 0), "tiny.bgl")));
    Bytes cut = bglFile({{airportRecord("EHAM", true, 0, {})}});
    cut.resize(56 + 20 * static_cast<std::uint8_t>(cut[20])); // the header and its section table alone
    EXPECT_FALSE(lf_hasAirportSection(writeBgl(cut, "cut.bgl")));
    cut.push_back(0);
    EXPECT_TRUE(lf_hasAirportSection(writeBgl(cut, "cut.bgl")));
    EXPECT_FALSE(lf_hasAirportSection(folder / "missing.bgl"));

    // 20-byte subsection entries are not airport lists this reader knows.
    const fs::path wide = writeBgl(bglFile({{airportRecord("EHAM", true, 0, {})}}, 0x10001), "wide.bgl");
    EXPECT_TRUE(lf_hasAirportSection(wide));
    EXPECT_TRUE(readAll(wide).empty());

    Bytes otherHeader = bglFile({{airportRecord("EHAM", true, 0, {})}});
    otherHeader[4] = 0x40;
    EXPECT_TRUE(readAll(writeBgl(otherHeader, "header.bgl")).empty());
}

TEST_F(BglFile, EachAirportSectionIsWalkedWithinItsOwnRecords)
{
    // Two airport sections whose records follow one another: every airport once, in file order.
    const auto airports = readAll(writeBgl(bglFile({{airportRecord("EHAM", false, 0, {})},
                                                    {airportRecord("EDDF", true, 0, {}), airportRecord("LFPG", true, 0, {})}})));
    std::vector<std::string> codes;
    for (const BglAirport& airport : airports)
        codes.push_back(airport.code);
    EXPECT_EQ(codes, (std::vector<std::string>{"EHAM", "EDDF", "LFPG"}));
}

// Many subsection entries that all point at one chain of records, which holds one airport twice.
Bytes hostileBgl(std::uint32_t subsections, const std::vector<Bytes>& records)
{
    Bytes out = bglFile({records});
    const std::size_t data = 56 + 20 + 16;
    const Bytes recordBytes(out.begin() + data, out.end());
    const Bytes entry(out.begin() + 76, out.begin() + data);
    out.resize(76);
    out[64] = static_cast<std::uint8_t>(subsections); // the section's subsection count
    out[65] = static_cast<std::uint8_t>(subsections >> 8);
    for (std::uint32_t i = 0; i < subsections; ++i) {
        Bytes moved = entry;
        const std::uint32_t first = data - 16 + 16 * subsections;
        for (int b = 0; b < 4; ++b)
            moved[8 + b] = static_cast<std::uint8_t>(first >> (8 * b));
        out.insert(out.end(), moved.begin(), moved.end());
    }
    out.insert(out.end(), recordBytes.begin(), recordBytes.end());
    return out;
}

TEST_F(BglFile, EveryRecordAndAirportOncePerFileWhateverTheTablesSay)
{
    const fs::path path = writeBgl(hostileBgl(500, {airportRecord("EHAM", true, 0, {}), airportRecord("EDDF", true, 0, {}),
                                                    airportRecord("EHAM", true, 0, {})}));
    std::vector<std::string> codes;
    for (const BglAirport& airport : readAll(path))
        codes.push_back(airport.code);
    EXPECT_EQ(codes, (std::vector<std::string>{"EHAM", "EDDF"}));
}

TEST_F(BglFile, IdentifiersOfFourCharactersOnly)
{
    EXPECT_EQ(lf_decodeIdentifierOrRegionCode(packIdentifier("EHAM")).text, "EHAM");
    EXPECT_TRUE(lf_decodeIdentifierOrRegionCode(packIdentifier("EHAM") | 0x1F).accepted);
    EXPECT_TRUE(lf_decodeIdentifierOrRegionCode(packIdentifier("K2G4")).accepted);
    EXPECT_FALSE(lf_decodeIdentifierOrRegionCode(packIdentifier("SFO")).accepted);
    const BglIdentifier blank = lf_decodeIdentifierOrRegionCode(packIdentifier("EH M"));
    EXPECT_EQ(blank.text, "EH M");
    EXPECT_FALSE(blank.accepted);
    EXPECT_EQ(lf_decodeIdentifierOrRegionCode(packIdentifier("E")).text, "");

    const auto airports = readAll(writeBgl(bglFile({{airportRecord("SFO", true, 0, {}), airportRecord("EH M", true, 0, {}),
                                                     airportRecord("KSFO", true, 0, {})}})));
    ASSERT_EQ(airports.size(), 1u);
    EXPECT_EQ(airports.front().code, "KSFO");
}

TEST_F(BglFile, AirportNamesAndAltitude)
{
    const std::string longName(50, 'N');
    EXPECT_EQ(decodeOne({nameSubrecord(longName, 52)}).name, std::string(44, 'N'));
    EXPECT_EQ(decodeOne({nameSubrecord(longName, 48)}).name, std::string(42, 'N'));
    EXPECT_EQ(decodeOne({nameSubrecord("Schiphol", 48)}).name, "Schiphol");

    const BglAirport twoNames = decodeOne({nameSubrecord("One", 12), nameSubrecord("Two", 12)});
    EXPECT_EQ(twoNames.name, "");
    EXPECT_EQ(twoNames.names, (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(decodeOne({nameSubrecord("Same", 12), nameSubrecord("Same", 12)}).name, "Same");

    EXPECT_EQ(gf_bglAltitudeFeet(-3000), -10);
    EXPECT_EQ(gf_bglAltitudeFeet(4000000), 0);
    EXPECT_EQ(gf_bglAltitudeFeet(-7000), 0); // -23 ft
    EXPECT_EQ(gf_bglAltitudeFeet(3048000), 10000);
}

TEST_F(BglFile, ParkingNamesAreMadeUniqueWithSuffixLetters)
{
    std::vector<Parking> spots(8, Parking{12, 8, 12});
    spots.push_back(Parking{10, 8, 12}); // g12
    spots.push_back(Parking{0, 8, 3});   // 3
    spots.push_back(Parking{40, 8, 1});  // code 40 lies past "Z"
    const BglAirport airport = decodeOne({parkingList(spots, true)});
    EXPECT_EQ(names(airport),
              (std::vector<std::string>{"A12", "A12a", "A12b", "A12c", "A12d", "A12e", "A12f", "g12", "3", "]1"}));
    EXPECT_TRUE(airport.nameClash);
    EXPECT_FALSE(airport.stands[0].nameSuffixed);
    EXPECT_TRUE(airport.stands[1].nameSuffixed);
    EXPECT_EQ(airport.stands[1].suffix, "a");
    EXPECT_EQ(airport.stands[1].number, 12u);
    ASSERT_EQ(scanMessages.size(), 1u);
    EXPECT_EQ(scanMessages[0], "===> Warning more then 6 the same ids A12, in " + (folder / "test.bgl").string());

    EXPECT_FALSE(decodeOne({parkingList({Parking{12, 8, 1}, Parking{12, 8, 2}}, false)}, false).nameClash);
}

TEST_F(BglFile, ParkingSpotsByRadiusTypeAndPosition)
{
    const BglAirport airport = decodeOne(
        {parkingList({Parking{12, 5, 1, 1.0f}, Parking{12, 5, 2, 200.0f}, Parking{12, 5, 3, 1.01f},
                      Parking{12, 9, 4, 199.9f, 0.0f}, Parking{12, 12, 5}, Parking{12, 0, 6},
                      Parking{12, 7, 7, 20.0f, 90.0f, {0.0005, 0.01}}, Parking{12, 1, 8, 20.0f, 90.0f, {-0.0001, 0.01}}},
                     false)},
        false);
    ASSERT_EQ(names(airport), (std::vector<std::string>{"A3", "A4", "A8"}));
    const BglStand& cargo = airport.stands[0];
    EXPECT_TRUE(cargo.cargo);
    EXPECT_TRUE(cargo.ramp);
    EXPECT_FALSE(cargo.heli);
    EXPECT_DOUBLE_EQ(cargo.heading, 1.5707963267948966);
    const BglStand& gate = airport.stands[1];
    EXPECT_FALSE(gate.cargo);
    EXPECT_FALSE(gate.ramp);
    EXPECT_EQ(gate.heading, 6.283185307179586);
    EXPECT_NEAR(gate.radiusMetres, 199.9, 1e-4);
    EXPECT_EQ(airport.stands[2].parkingType, 1u);

    const std::string path = (folder / "test.bgl").string();
    EXPECT_EQ(scanMessages, (std::vector<std::string>{"skipped position with radius 1.0 meters, in " + path,
                                                      "skipped position with radius 200.0 meters, in " + path,
                                                      "lat/lon: 0.000500,0.010000, incorrect (skipped) "}));
}

TEST_F(BglFile, ParkingItemsStepOverTheirAirlineCodes)
{
    for (const bool newLayout : {false, true}) {
        const BglAirport airport = decodeOne(
            {parkingList({Parking{12, 8, 1, 20.0f, 90.0f, {52.3, 4.76}, 3}, Parking{12, 8, 2, 25.0f, 45.0f, {52.31, 4.77}}},
                         newLayout)},
            newLayout);
        ASSERT_EQ(names(airport), (std::vector<std::string>{"A1", "A2"})) << newLayout;
        EXPECT_DOUBLE_EQ(airport.stands[1].radiusMetres, 25.0);
        EXPECT_NEAR(airport.stands[1].latitude, 52.31, 1e-6);
        EXPECT_NEAR(airport.stands[1].longitude, 4.77, 1e-6);
    }
    // A list that claims more spots than it holds decodes those it holds.
    Bytes list = parkingList({Parking{}}, true);
    list[6] = 5;
    EXPECT_EQ(decodeOne({list}).stands.size(), 1u);
}

TEST_F(BglFile, SubrecordsUpToTheFirstParkingList)
{
    // Other subrecords are stepped over; a second parking list is not looked at.
    const BglAirport airport = decodeOne({otherSubrecord(0x0011, 26), nameSubrecord("Schiphol", 16),
                                          parkingList({Parking{12, 8, 1}}, true), parkingList({Parking{12, 8, 2}}, true)});
    EXPECT_EQ(airport.name, "Schiphol");
    EXPECT_EQ(names(airport), std::vector<std::string>{"A1"});
    // The older layout's list id is not a parking list in the newer layout.
    EXPECT_TRUE(decodeOne({parkingList({Parking{}}, false)}, true).stands.empty());
    // A subrecord too short to advance ends the walk instead of holding it.
    EXPECT_TRUE(decodeOne({otherSubrecord(0x0011, 0), parkingList({Parking{}}, true)}).stands.empty());
}

TEST_F(BglFile, HelipadsOncePerPositionWithinOneAirport)
{
    const LatLon pad{52.30111, 4.7611};
    const Bytes file = bglFile({{airportRecord("EHAM", true, 0,
                                               {nameSubrecord("Schiphol", 16), helipad(pad, 30.0f, 0.0f),
                                                helipad(pad, 30.0f, 0.0f), helipad({0.0, 0.0}, 30.0f, 0.0f),
                                                helipad({52.302, 4.762}, 20.0f, 90.0f)}),
                                 airportRecord("EDDF", true, 0, {helipad(pad, 30.0f, 0.0f)})}});
    const auto airports = readAll(writeBgl(file));
    ASSERT_EQ(airports.size(), 2u);
    EXPECT_EQ(names(airports[0]), (std::vector<std::string>{"helipad1", "helipad2"}));
    EXPECT_EQ(airports[0].helipadCount, 2u);
    EXPECT_EQ(airports[0].stands[0].heading, geo::kTwoPi);
    EXPECT_DOUBLE_EQ(airports[0].stands[0].radiusMetres, 15.0);
    EXPECT_DOUBLE_EQ(airports[0].stands[1].heading, 1.5707963267948966);
    EXPECT_EQ(names(airports[1]), std::vector<std::string>{"helipad1"});

    std::string position;
    gf_formatLatLon({airports[0].stands[0].latitude, airports[0].stands[0].longitude}, position);
    EXPECT_EQ(scanMessages, (std::vector<std::string>{"double helipad Schiphol (skipped) " + position,
                                                      "lat/lon helipad incorrect (skipped): 0.000000,0.000000"}));
}
