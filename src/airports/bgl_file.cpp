#include "airports/bgl_file.h"

#include "core/log.h"
#include "core/scan_throttle.h"

#include <array>
#include <cstdint>
#include <exception>
#include <fmt/format.h>
#include <fstream>

namespace {

constexpr std::uint32_t kHeaderSize = 0x38;
constexpr std::size_t kHeaderWords = 14;
constexpr std::size_t kSectionEntryWords = 5;
constexpr std::size_t kSectionEntryBytes = 20;
constexpr std::uint32_t kAirportSection = 3;
constexpr std::size_t kSubsectionEntryBytes = 16;

// Bit 16 of the size flags chooses 20-byte subsection entries over 16-byte ones.
std::uint32_t lf_subsectionEntrySize(std::uint32_t sizeFlags)
{
    return ((sizeFlags & 0x10000u) | 0x40000u) >> 14;
}

// The records of one subsection, bounded by the subsection's own size, so that the walk never
// runs on into the records of the next subsection or section.
void lf_walkAirportRecords(const BglWords& data, std::size_t first, std::size_t size,
                           const std::filesystem::path& path, const BglAirportHandler& handler)
{
    const std::size_t end = first + size;
    for (std::size_t record = first; record < end && record < data.bytes.size();) {
        const std::uint16_t id = data.u16At(record);
        if (id == kBglAirportOld || id == kBglAirportNew) {
            BglIdentifier code = lf_decodeIdentifierOrRegionCode(data.u32At(record + 40));
            if (code.accepted)
                handler(gf_decodeBglAirport(data, record, id == kBglAirportNew, std::move(code.text), path));
        }
        const std::int32_t recordSize = data.i32At(record + 2);
        if (recordSize < 4)
            break;
        record += static_cast<std::size_t>(recordSize); // whole bytes: a size off the word grid still finds the next record
    }
}

void lf_walkAirportSection(const BglWords& data, std::size_t entry, const std::filesystem::path& path,
                           const BglAirportHandler& handler)
{
    if (data.word(entry) != kAirportSection || lf_subsectionEntrySize(data.word(entry + 1)) != kSubsectionEntryBytes)
        return;
    const std::uint32_t subsections = data.word(entry + 2);
    const std::size_t table = data.word(entry + 3);
    for (std::uint32_t i = 0; i < subsections; ++i) {
        const std::size_t subsection = table + i * kSubsectionEntryBytes;
        lf_walkAirportRecords(data, data.u32At(subsection + 8), data.u32At(subsection + 12), path, handler);
    }
}

} // namespace

bool lf_isBglFile(std::string_view extension)
{
    return extension == ".BGL" || extension == ".bgl";
}

bool lf_hasAirportSection(const std::filesystem::path& path)
{
    try {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in)
            return false;
        const std::streamoff size = in.tellg();
        if (size < 15)
            return false;
        std::array<std::uint32_t, kHeaderWords> header{};
        in.seekg(0);
        in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(sizeof(header)));
        in.clear();
        const std::uint64_t sections = header[5]; // the file's words are little-endian, as this machine's
        if (sections == 0 || static_cast<std::uint64_t>(size) <= kHeaderSize + kSectionEntryBytes * sections)
            return false;
        std::array<std::uint32_t, kSectionEntryWords> entry{};
        for (std::uint64_t i = 0; i < sections; ++i) {
            if (!in.read(reinterpret_cast<char*>(entry.data()), static_cast<std::streamsize>(sizeof(entry))))
                return false;
            if (entry[0] == kAirportSection)
                return true;
        }
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

void gf_readBglAirports(const std::filesystem::path& path, const BglAirportHandler& handler)
{
    BglWords data;
    if (!gf_readBglWords(path, data))
        return;
    if (data.word(1) != kHeaderSize || data.wordCount() < kHeaderWords + 1)
        return;
    const std::uint32_t sections = data.word(5);
    for (std::uint32_t i = 0; i < sections; ++i)
        lf_walkAirportSection(data, kHeaderWords + kSectionEntryWords * i, path, handler);
}

void lf_toParkingPositions(const std::filesystem::path& path, const BglAirportHandler& handler)
{
    try {
        gf_readBglAirports(path, handler);
    } catch (const std::exception&) {
        gf_logWarning(fmt::format("Exception in lf_toParkingPositions: {}", path.string()));
    } catch (...) {
        gf_logWarning(fmt::format("Exception in lf_toParkingPositions: {}", path.string()));
    }
    gf_releaseScanSlot();
}
