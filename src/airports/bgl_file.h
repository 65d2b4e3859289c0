#pragma once
// The walk from a BGL file's header through its airport sections to its airport records. Each
// airport record with a four-character identifier is decoded and handed on at once, so that the
// airports found before a damaged part of a file are kept.

#include "airports/bgl_airport.h"
#include "airports/bgl_words.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>

using BglAirportHandler = std::function<void(BglAirport&& airport)>;

// A BGL file opened once: the scan's walk reads its header and section table for the quick test
// and hands it, still open, to the file's scan task, which reads it whole.
class OpenBglFile {
public:
    // A file that cannot be opened reads as one without airports.
    explicit OpenBglFile(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    // The file's section table lists an airport section. Reads only the header and the section
    // table; never fails.
    bool hasAirportSection();
    // The whole file from its first byte; false when it cannot be opened or read.
    bool readWords(BglWords& out);

private:
    // The file's size; -1 when it is not open.
    std::streamoff size();
    // The next read at the first byte; false when the file is not open.
    bool toFirstByte();

    std::filesystem::path path_;
    std::ifstream in_;
    std::streamoff size_ = -1; // not asked yet
    bool moved_ = false;       // the position may be elsewhere than the first byte
};

// ".BGL" or ".bgl" exactly (with the dot).
bool lf_isBglFile(std::string_view extension);

// The quick test on the scanning thread: the file's section table lists an airport section.
// Reads only the header and the section table; never fails.
bool lf_hasAirportSection(const std::filesystem::path& path);

// Decodes every airport record of the file and hands each to `handler`, in file order. A file
// that cannot be opened, or has another header size, yields nothing. Throws std::out_of_range
// when the file is too short for what its header and records say.
void gf_readBglAirports(const std::filesystem::path& path, const BglAirportHandler& handler);
void gf_readBglAirports(OpenBglFile& file, const BglAirportHandler& handler);

// The body of one airport scan task: gf_readBglAirports with every failure caught and logged,
// and the task's scan slot released at the end in every case.
void lf_toParkingPositions(const std::filesystem::path& path, const BglAirportHandler& handler);
void lf_toParkingPositions(OpenBglFile& file, const BglAirportHandler& handler);
