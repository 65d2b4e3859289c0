#pragma once
// One airport record of a BGL file decoded into plain data: its code, position, elevation, name
// and the parking spots and helipads that can take a parked aircraft. Problems with single spots
// and helipads become airport scan messages; the decoding goes on without them.

#include "airports/bgl_words.h"
#include "core/geodesy.h"

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Airport records: the older layout (fixed part 56 bytes) and the newer one (60 bytes).
inline constexpr std::uint16_t kBglAirportOld = 0x003C;
inline constexpr std::uint16_t kBglAirportNew = 0x00AB;

// One parking spot or helipad of a decoded airport.
struct BglStand {
    std::string name;          // prefix + number + suffix ("g12", "A5b"), or "helipad{n}"
    std::uint32_t nameCode = 0;    // 0..63, parkings only
    std::uint32_t number = 0;      // parking number, or the helipad's number within the airport
    std::string suffix;        // the letter that made the name unique, else empty
    std::uint32_t parkingType = 0; // 1..11 for parkings, 0 for helipads
    double latitude = 0.0;     // degrees
    double longitude = 0.0;    // degrees
    double heading = 0.0;      // radians; a heading of 0 is kept as 2 pi
    double radiusMetres = 0.0; // half the width for a helipad
    bool cargo = false;
    bool ramp = false;
    bool heli = false;
    bool nameSuffixed = false; // a letter was appended to make the name unique
};

struct BglAirport {
    std::string code;          // four-character identifier
    LatLon position;
    std::int32_t elevationFeet = 0; // 0 when the record's altitude is out of the plausible range
    std::string name;          // empty when the record names the airport differently twice
    std::vector<std::string> names; // every name subrecord, in record order
    std::vector<BglStand> stands;   // in decoding order: as the record lists them
    std::uint32_t helipadCount = 0;
    bool nameClash = false;    // some stand names needed a suffix letter
    bool newLayout = false;
    std::filesystem::path bglPath;
    // The file's place in the scan, in scenery order: of two files with the airport, the later
    // one's generated file is kept, as the later scenery layer is the one the simulator shows.
    std::uint64_t sceneryOrder = 0;
};

// The state of one airport record while its subrecords are decoded; made afresh per record.
struct BglAirportDecoding {
    BglAirport airport;
    std::set<std::string> usedNames;
    std::uint32_t helipadCounter = 1;
    std::vector<LatLon> helipadPositions;
};

struct BglIdentifier {
    std::string text;
    bool accepted = false; // exactly four characters, none of them blank
};

// The base-38 packed identifier of an airport (the low 5 bits are not part of it).
BglIdentifier lf_decodeIdentifierOrRegionCode(std::uint32_t packed);

// The name of a 0x0019 subrecord at byte offset `subrecord`: at most 44 characters, trailing
// zero bytes removed; empty (and logged) when the name would run past the end of the file.
std::string lf_decodeAirportNAME(const BglWords& data, std::size_t subrecord);

// One 0x0026 subrecord: appends zero or one helipad stand.
void lf_decodeHelipads(const BglWords& data, std::size_t subrecord, BglAirportDecoding& decoding);

// One 0x003D / 0x00AD parking list: appends one stand per usable parking spot.
void lf_decodeParkings(const BglWords& data, std::size_t subrecord, BglAirportDecoding& decoding, bool newLayout,
                       const std::filesystem::path& bglPath);

// The name prefix of a parking name code 0..63.
std::string lf_parkingNamePrefix(std::uint32_t code);

// Millimetres of the airport record to whole feet, halves away from zero; 0 outside -20..10000.
std::int32_t gf_bglAltitudeFeet(std::int32_t millimetres);

// Decodes the airport record at byte offset `record` whose identifier has been accepted: the
// fixed part and the subrecords up to and including the first parking list.
BglAirport gf_decodeBglAirport(const BglWords& data, std::size_t record, bool newLayout, std::string code,
                               const std::filesystem::path& bglPath);
