#include "airports/bgl_file.h"

#include "core/log.h"
#include "core/scan_throttle.h"
#include "core/scan_workers.h"

#include <array>
#include <cstdint>
#include <exception>
#include <fmt/format.h>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

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

// What one walk of a file has seen. Section and subsection counts and record chains come from the
// file itself: a damaged or hostile file could send the walk through the same records again and
// again, so every subsection entry and every record is visited once per file, every airport is
// handed on once per file and no two decoded airports share bytes, which keeps the walk linear in
// the file's size.
struct BglWalk {
    const BglWords& data;
    const std::filesystem::path& path;
    const BglAirportHandler& handler;
    std::vector<bool> seenRecords = std::vector<bool>(data.bytes.size());
    std::vector<bool> seenSubsections = std::vector<bool>(data.bytes.size());
    std::set<std::string> handedOn;
    std::map<std::size_t, std::size_t> airportBytes; // first byte -> end of each decoded airport

    BglWalk(const BglWords& words, const std::filesystem::path& file, const BglAirportHandler& onAirport)
        : data(words), path(file), handler(onAirport)
    {
    }

    // False when the offset lies outside the file or was marked before.
    static bool firstVisit(std::vector<bool>& seen, std::size_t offset)
    {
        if (offset >= seen.size() || seen[offset])
            return false;
        seen[offset] = true;
        return true;
    }
};

// A scan worker keeps its buffer from one file to the next instead of giving the memory back
// to the system and asking for it again; one that a very large file made large is given back.
constexpr std::size_t kLargestKeptBuffer = 16u << 20;

// The words of one file, read into the running scan worker's buffer when there is one.
class WorkerWords {
public:
    WorkerWords() : kept(gf_scanWorkerBuffer())
    {
        if (kept != nullptr)
            words.bytes.swap(*kept);
    }
    ~WorkerWords()
    {
        if (kept != nullptr && words.bytes.capacity() <= kLargestKeptBuffer)
            kept->swap(words.bytes);
    }
    WorkerWords(const WorkerWords&) = delete;
    WorkerWords& operator=(const WorkerWords&) = delete;

    BglWords words;

private:
    std::vector<std::uint8_t>* kept;
};

// Airport records of a sound file never overlap; one that overlaps an airport decoded before is
// left out, so that all decoding together reads each byte once.
bool lf_claimAirportBytes(BglWalk& walk, std::size_t record)
{
    const std::size_t end = record + static_cast<std::size_t>(std::max(walk.data.i32At(record + 2), 1));
    const auto next = walk.airportBytes.lower_bound(record);
    if (next != walk.airportBytes.end() && next->first < end)
        return false;
    if (next != walk.airportBytes.begin() && std::prev(next)->second > record)
        return false;
    walk.airportBytes.emplace(record, end);
    return true;
}

void lf_handOnAirport(BglWalk& walk, std::size_t record, std::uint16_t id)
{
    BglIdentifier code = lf_decodeIdentifierOrRegionCode(walk.data.u32At(record + 40));
    if (!code.accepted || walk.handedOn.contains(code.text) || !lf_claimAirportBytes(walk, record))
        return;
    walk.handedOn.insert(code.text);
    walk.handler(gf_decodeBglAirport(walk.data, record, id == kBglAirportNew, std::move(code.text), walk.path));
}

// The records of one subsection, bounded by the subsection's own size, so that the walk never
// runs on into the records of the next subsection or section.
void lf_walkAirportRecords(BglWalk& walk, std::size_t first, std::size_t size)
{
    const std::size_t end = first + size;
    for (std::size_t record = first; record < end && BglWalk::firstVisit(walk.seenRecords, record);) {
        const std::uint16_t id = walk.data.u16At(record);
        if (id == kBglAirportOld || id == kBglAirportNew)
            lf_handOnAirport(walk, record, id);
        const std::int32_t recordSize = walk.data.i32At(record + 2);
        if (recordSize < 4)
            break;
        record += static_cast<std::size_t>(recordSize); // whole bytes: a size off the word grid still finds the next record
    }
}

void lf_walkAirportSection(BglWalk& walk, std::size_t entry)
{
    const BglWords& data = walk.data;
    if (data.word(entry) != kAirportSection || lf_subsectionEntrySize(data.word(entry + 1)) != kSubsectionEntryBytes)
        return;
    const std::uint32_t subsections = data.word(entry + 2);
    const std::size_t table = data.word(entry + 3);
    for (std::uint32_t i = 0; i < subsections; ++i) {
        const std::size_t subsection = table + i * kSubsectionEntryBytes;
        if (subsection >= data.bytes.size())
            throw std::out_of_range("BGL subsection table beyond the end of the file");
        if (BglWalk::firstVisit(walk.seenSubsections, subsection))
            lf_walkAirportRecords(walk, data.u32At(subsection + 8), data.u32At(subsection + 12));
    }
}

} // namespace

bool lf_isBglFile(std::string_view extension)
{
    return extension == ".BGL" || extension == ".bgl";
}

OpenBglFile::OpenBglFile(const std::filesystem::path& path) : path_(path), in_(path, std::ios::binary) {}

std::streamoff OpenBglFile::size()
{
    // Asked once: the quick test and the whole read both use it, and each question is a call
    // into the system. It leaves the position at the end.
    if (size_ < 0 && in_.is_open()) {
        size_ = in_.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in);
        moved_ = true;
    }
    return size_;
}

bool OpenBglFile::toFirstByte()
{
    if (!in_.is_open())
        return false;
    in_.clear();
    const bool atStart = !moved_ || in_.rdbuf()->pubseekpos(0, std::ios::in) == 0;
    moved_ = true; // the caller reads on
    return atStart;
}

// The header and the section table are read before the size is asked for: a file too short
// for them is found by the reads themselves. A file no longer than its header and section table
// holds no airport.
bool OpenBglFile::hasAirportSection()
{
    try {
        if (!toFirstByte())
            return false;
        std::array<std::uint32_t, kHeaderWords> header{};
        if (!in_.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(sizeof(header))))
            return false;
        const std::uint64_t sections = header[5]; // the file's words are little-endian, as this machine's
        bool listed = false;
        std::array<std::uint32_t, kSectionEntryWords> entry{};
        for (std::uint64_t i = 0; i < sections && !listed; ++i) {
            if (!in_.read(reinterpret_cast<char*>(entry.data()), static_cast<std::streamsize>(sizeof(entry))))
                return false;
            listed = entry[0] == kAirportSection;
        }
        const std::streamoff bytes = listed ? size() : -1;
        return bytes >= 0 && static_cast<std::uint64_t>(bytes) > kHeaderSize + kSectionEntryBytes * sections;
    } catch (const std::exception&) {
        return false;
    }
}

bool OpenBglFile::readWords(BglWords& out)
{
    const std::streamoff bytes = size();
    if (bytes < 0 || !toFirstByte())
        return false;
    // The bytes are read over what the buffer held before; only the padding to whole words is set.
    out.bytes.resize((static_cast<std::size_t>(bytes) + 3) / 4 * 4);
    std::fill(out.bytes.begin() + bytes, out.bytes.end(), 0);
    return bytes == 0 || static_cast<bool>(in_.read(reinterpret_cast<char*>(out.bytes.data()), bytes));
}

bool lf_hasAirportSection(const std::filesystem::path& path)
{
    return OpenBglFile(path).hasAirportSection();
}

void gf_readBglAirports(const std::filesystem::path& path, const BglAirportHandler& handler)
{
    OpenBglFile file(path);
    gf_readBglAirports(file, handler);
}

void gf_readBglAirports(OpenBglFile& file, const BglAirportHandler& handler)
{
    WorkerWords buffer;
    BglWords& data = buffer.words;
    if (!file.readWords(data))
        return;
    if (data.word(1) != kHeaderSize || data.wordCount() < kHeaderWords + 1)
        return;
    const std::uint32_t sections = data.word(5);
    BglWalk walk{data, file.path(), handler};
    for (std::uint32_t i = 0; i < sections; ++i)
        lf_walkAirportSection(walk, kHeaderWords + kSectionEntryWords * i);
}

void lf_toParkingPositions(const std::filesystem::path& path, const BglAirportHandler& handler)
{
    OpenBglFile file(path);
    lf_toParkingPositions(file, handler);
}

void lf_toParkingPositions(OpenBglFile& file, const BglAirportHandler& handler)
{
    try {
        gf_readBglAirports(file, handler);
    } catch (const std::exception&) {
        gf_logWarning(fmt::format("Exception in lf_toParkingPositions: {}", file.path().string()));
    } catch (...) {
        gf_logWarning(fmt::format("Exception in lf_toParkingPositions: {}", file.path().string()));
    }
    gf_releaseScanSlot();
}
