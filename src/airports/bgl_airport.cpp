#include "airports/bgl_airport.h"

#include "core/log.h"
#include "core/text.h"
#include "liveries/scan_messages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <fmt/format.h>

namespace {

constexpr std::uint16_t kNameSubrecord = 0x0019;
constexpr std::uint16_t kHelipadSubrecord = 0x0026;
constexpr std::uint16_t kParkingsOld = 0x003D;
constexpr std::uint16_t kParkingsNew = 0x00AD;

constexpr std::size_t kSubrecordHeader = 6; // u16 id, i32 size
constexpr std::size_t kMaxNameBytes = 44;
constexpr double kLongitudeFactor = 360.0 / (3.0 * 268435456.0);
constexpr double kLatitudeFactor = 180.0 / 536870912.0;
constexpr std::array<const char*, 12> kNamePrefixes{"", "r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", ""};
constexpr std::array<char, 6> kSuffixLetters{'a', 'b', 'c', 'd', 'e', 'f'};

double lf_bglLongitude(std::uint32_t value)
{
    return value * kLongitudeFactor - 180.0;
}

double lf_bglLatitude(std::uint32_t value)
{
    return 90.0 - value * kLatitudeFactor;
}

// The 'unset' mark of a position lies at or right next to 0,0.
bool lf_isUsablePosition(LatLon position)
{
    if (!(position.latitude >= -90.0 && position.latitude <= 90.0 && position.longitude >= -180.0 &&
          position.longitude <= 180.0))
        return false;
    return !(position.latitude >= 0.0 && position.latitude <= 0.0009 && position.longitude >= 0.0 &&
             position.longitude <= 0.05);
}

LatLon lf_readPosition(const BglWords& data, std::size_t longitudeOffset)
{
    return {lf_bglLatitude(data.u32At(longitudeOffset + 4)), lf_bglLongitude(data.u32At(longitudeOffset))};
}

std::string lf_positionText(LatLon position)
{
    std::string text;
    gf_formatLatLon(position, text);
    return text;
}

// Degrees to radians; 0 (and a value that is no number) stands for north and is kept as 2 pi.
double lf_bglHeading(float degrees)
{
    if (degrees == 0.0f || !std::isfinite(degrees))
        return geo::kTwoPi;
    return degrees * geo::kDegToRad;
}

// The name itself, or with the first free suffix letter; false when all six letters are taken.
bool lf_makeUniqueName(BglAirportDecoding& decoding, BglStand& stand)
{
    if (decoding.usedNames.insert(stand.name).second)
        return true;
    decoding.airport.nameClash = true;
    stand.nameSuffixed = true;
    for (const char letter : kSuffixLetters) {
        std::string candidate = stand.name + letter;
        if (decoding.usedNames.insert(candidate).second) {
            stand.name = std::move(candidate);
            stand.suffix = std::string(1, letter);
            return true;
        }
    }
    return false;
}

struct ParkingItem {
    std::uint32_t bits = 0;
    float radius = 0.0f;
    float heading = 0.0f;
    LatLon position;
};

ParkingItem lf_readParkingItem(const BglWords& data, std::size_t item)
{
    return {data.u32At(item), data.floatAt(item + 4), data.floatAt(item + 8), lf_readPosition(data, item + 28)};
}

void lf_decodeOneParking(const BglWords& data, std::size_t item, BglAirportDecoding& decoding,
                         const std::filesystem::path& bglPath)
{
    const ParkingItem parking = lf_readParkingItem(data, item);
    if (!(parking.radius > 1.0f && parking.radius < 200.0f)) {
        gf_addScanMessage(fmt::format("skipped position with radius {:.1F} meters, in {}", parking.radius,
                                      bglPath.string()));
        return;
    }
    BglStand stand;
    stand.nameCode = parking.bits & 0x3Fu;
    stand.parkingType = (parking.bits >> 8) & 0xFu;
    stand.number = (parking.bits >> 12) & 0xFFFu;
    stand.name = lf_parkingNamePrefix(stand.nameCode) + std::to_string(stand.number);
    if (stand.parkingType < 1 || stand.parkingType > 11)
        return; // fuel, vehicles and unknown kinds: no aircraft parks there
    if (!lf_isUsablePosition(parking.position)) {
        gf_addScanMessage(fmt::format("lat/lon: {}, incorrect (skipped) ", lf_positionText(parking.position)));
        return;
    }
    const std::string plainName = stand.name;
    if (!lf_makeUniqueName(decoding, stand)) {
        gf_addScanMessage(fmt::format("{}Warning more then 6 the same ids {}, in {}", "===> ", plainName,
                                      bglPath.string()));
        return;
    }
    stand.latitude = parking.position.latitude;
    stand.longitude = parking.position.longitude;
    stand.heading = lf_bglHeading(parking.heading);
    stand.radiusMetres = parking.radius;
    stand.cargo = stand.parkingType == 5;
    stand.ramp = stand.parkingType < 8;
    decoding.airport.stands.push_back(std::move(stand));
}

} // namespace

BglIdentifier lf_decodeIdentifierOrRegionCode(std::uint32_t packed)
{
    BglIdentifier result;
    bool blank = false;
    try {
        std::uint32_t value = packed >> 5;
        if (value < 38)
            value = 0; // a single digit is no code at all
        for (; value > 0; value /= 38) {
            const std::uint32_t digit = value % 38;
            char character = ' ';
            if (digit == 0)
                blank = true;
            else if (digit >= 2 && digit <= 11)
                character = static_cast<char>(digit + 46);
            else
                character = static_cast<char>(digit + 53);
            result.text.insert(result.text.begin(), character);
        }
    } catch (const std::exception&) {
        gf_log(fmt::format("! Exception in {}", "lf_decodeIdentifierOrRegionCode"));
    }
    result.accepted = result.text.size() == 4 && !blank;
    return result;
}

std::string lf_decodeAirportNAME(const BglWords& data, std::size_t subrecord)
{
    try {
        const int declared = static_cast<int>(data.u16At(subrecord + 2)) - static_cast<int>(kSubrecordHeader);
        const std::size_t length = static_cast<std::size_t>(std::clamp(declared, 0, static_cast<int>(kMaxNameBytes)));
        const std::size_t first = subrecord + kSubrecordHeader;
        if (first + length > data.bytes.size()) {
            gf_log(fmt::format("! o3: {} of d out of range nrDWORDS: {}", subrecord / 4, data.wordCount()));
            return {};
        }
        std::string name(reinterpret_cast<const char*>(data.bytes.data() + first), length);
        while (!name.empty() && name.back() == '\0')
            name.pop_back();
        return name;
    } catch (const std::exception&) {
        gf_log(std::string("lf_decodeAirportNAME") + "EXCEPTION");
        return {};
    }
}

void lf_decodeHelipads(const BglWords& data, std::size_t subrecord, BglAirportDecoding& decoding)
{
    const float width = data.floatAt(subrecord + 28);
    const LatLon position = lf_readPosition(data, subrecord + 12);
    if (!lf_isUsablePosition(position)) {
        gf_addScanMessage("lat/lon helipad incorrect (skipped): " + lf_positionText(position));
        return;
    }
    const auto same = [&](LatLon taken) {
        return taken.latitude == position.latitude && taken.longitude == position.longitude;
    };
    if (std::any_of(decoding.helipadPositions.begin(), decoding.helipadPositions.end(), same)) {
        gf_addScanMessage("double helipad " + decoding.airport.name + " (skipped) " + lf_positionText(position));
        return;
    }
    if (!std::isfinite(width))
        return; // no size to give it a circle
    decoding.helipadPositions.push_back(position);
    BglStand stand;
    stand.number = decoding.helipadCounter++;
    stand.name = fmt::format("helipad{}", stand.number);
    stand.latitude = position.latitude;
    stand.longitude = position.longitude;
    stand.heading = lf_bglHeading(data.floatAt(subrecord + 32)); // after surface, colour, position, length, width
    stand.radiusMetres = width * 0.5;
    stand.heli = true;
    decoding.airport.stands.push_back(std::move(stand));
}

void lf_decodeParkings(const BglWords& data, std::size_t subrecord, BglAirportDecoding& decoding, bool newLayout,
                       const std::filesystem::path& bglPath)
{
    const std::uint32_t count = data.u16At(subrecord + 6);
    const std::int32_t size = data.i32At(subrecord + 2);
    const std::size_t end = subrecord + static_cast<std::size_t>(std::max(size, 0));
    const std::size_t fixedPart = newLayout ? 40 : 36;
    std::size_t item = subrecord + 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (item + fixedPart > end)
            break; // the list claims more spots than it holds
        lf_decodeOneParking(data, item, decoding, bglPath);
        item += fixedPart + 4 * static_cast<std::size_t>(data.u8At(item + 3)); // plus its airline codes
    }
}

std::string lf_parkingNamePrefix(std::uint32_t code)
{
    if (code < kNamePrefixes.size())
        return kNamePrefixes[code];
    return std::string(1, static_cast<char>((code & 0x3Fu) + 53));
}

std::int32_t gf_bglAltitudeFeet(std::int32_t millimetres)
{
    const double feet = std::round(millimetres * 3.2808399 / 1000.0);
    if (feet < -20.0 || feet > 10000.0)
        return 0;
    return static_cast<std::int32_t>(feet);
}

BglAirport gf_decodeBglAirport(const BglWords& data, std::size_t record, bool newLayout, std::string code,
                               const std::filesystem::path& bglPath)
{
    BglAirportDecoding decoding;
    BglAirport& airport = decoding.airport;
    airport.code = std::move(code);
    airport.newLayout = newLayout;
    airport.bglPath = bglPath;
    airport.position = lf_readPosition(data, record + 12);
    airport.elevationFeet = gf_bglAltitudeFeet(data.i32At(record + 20));

    const std::size_t end = record + static_cast<std::size_t>(std::max(data.i32At(record + 2), 0));
    const std::uint16_t parkingsId = newLayout ? kParkingsNew : kParkingsOld;
    for (std::size_t sub = record + (newLayout ? 60 : 56); sub < end;) {
        const std::uint16_t id = data.u16At(sub);
        const std::int32_t size = data.i32At(sub + 2);
        if (id == kNameSubrecord) {
            std::string name = lf_decodeAirportNAME(data, sub);
            airport.names.push_back(name);
            if (airport.name.empty())
                airport.name = std::move(name);
            else if (airport.name != name)
                airport.name.clear(); // two different names: the record does not say which
        } else if (id == kHelipadSubrecord) {
            lf_decodeHelipads(data, sub, decoding);
        } else if (id == parkingsId) {
            lf_decodeParkings(data, sub, decoding, newLayout, bglPath);
            break; // later parking lists are not looked at
        }
        if (size < static_cast<std::int32_t>(kSubrecordHeader))
            break; // a subrecord that does not advance would hold the walk for ever
        sub += static_cast<std::size_t>(size);
    }
    airport.helipadCount = decoding.helipadCounter - 1;
    return std::move(decoding.airport);
}
