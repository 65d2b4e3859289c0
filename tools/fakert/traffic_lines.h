#pragma once
// The recorded RTTFC lines that fakert replays, and the shift of their time stamps to the present.
// A line is sent byte for byte as recorded, except its time stamp field.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakert {

// Indexes among the comma-separated fields; field 0 is "RTTFC".
inline constexpr std::size_t kHexIdField = 1;     // the aircraft address, decimal
inline constexpr std::size_t kCallsignField = 9;
inline constexpr std::size_t kTimeStampField = 14; // Unix seconds, UTC

// The traffic lines of a capture: one per text line, a trailing '\r' dropped; empty lines and the
// weather records of the capture (lines beginning with '{') are left out.
std::vector<std::string> gf_trafficLines(std::string_view text);

// gf_trafficLines of a file's contents; throws std::runtime_error when it cannot be read.
std::vector<std::string> gf_readTrafficFile(const std::filesystem::path& path);

// A time stamp field as the capture holds it: digits, optionally a point and 1..9 decimals,
// kept as a whole number of units of 10^-decimals seconds, so that shifting it is exact.
struct TimeStamp {
    std::int64_t units = 0;
    int decimals = 0;

    double seconds() const;
};

// The time stamp of a line; absent when the line has too few fields or the field is no plain
// non-negative decimal number.
std::optional<TimeStamp> gf_lineTimeStamp(std::string_view line);

// The line with its time stamp moved by offsetMs milliseconds, written with the same number of
// decimals (the offset is rounded to that precision); every other byte stays. A line without a
// time stamp is returned unchanged.
std::string gf_shiftTimeStamp(std::string_view line, std::int64_t offsetMs);

// The line as another aircraft flying the same track: generation 0 leaves it as it is; any other
// moves the hex id by a generation's stride (inside 24 bits, above 10000) and marks the callsign
// with the generation in letters ("A" for 1, "Z" for 26, "AA" for 27), appended while the callsign
// stays within 8 characters, else in place of its last ones. A hex id field that is no decimal
// number, an empty callsign and "null" stay as they are.
std::string gf_freshIdentity(std::string_view line, std::uint32_t generation);

// The QNH datagram, in the shape of the client's weather records: {"ICAO": ..., "QNH": "<qnh>", ...}.
std::string gf_qnhDatagram(std::string_view qnh);

} // namespace fakert
