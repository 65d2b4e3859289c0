#pragma once
// Loading the park airport's stand file into standTable: fetched from the server when it lies
// there, checked, read, merged with its learned file, numbered and neighbour-linked, and shown.
// The load has two halves: reading the files (the disk, the server) needs nothing of the work
// thread and may run on a thread of its own; taking them in is the work thread's.

#include "airports/apf_state.h"
#include "airports/learned_merge.h"
#include "airports/stand.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <pugixml.hpp>
#include <string>

// The files of one stand-file load, read and parsed.
struct StandFileSource {
    std::string path;    // as asked for: a local path beginning with "airports", else a server path
    std::string code;    // the airport
    std::string failure; // why the stand file could not be had; empty when it was read
    pugi::xml_document document;
    pugi::xml_parse_result result;
    // The learned file found for it (its own, else the publisher's); empty when there is none.
    std::string learnedPath;
    pugi::xml_document learned;
    pugi::xml_parse_result learnedResult;
    // The stand table the files make, read, merged, numbered and linked with the files: the take-in
    // swaps it in whole, so that the work thread's pass never reads a large file's stands itself.
    // Beside it what its reading logged and, when a stand file's reading failed, the failure.
    std::vector<Stand> stands;
    std::vector<std::string> standLines;
    std::exception_ptr standFailure;
    LearnedStandsMerge learnedStands;
};

// Reads the stand file at `path` of the airport `code` and its learned file; any thread.
std::unique_ptr<StandFileSource> gf_readStandFileSource(const std::string& path, const std::string& code);
// Takes the read files into standTable, which the caller has emptied; the park airport must still
// be `source.code`. Returns an error text, empty on success; as gf_readApf.
std::string gf_takeInStandFile(StandFileSource& source, ApfInfo& info, std::uint64_t& qualityFactors);

// Reads the airport file at `path` (a local path beginning with "airports", else a server path)
// into standTable, which the caller has emptied. Returns an error text, empty on success;
// qmx::UserErrorException 65 (no altitude) and 94 (a stand id twice) pass through.
std::string gf_readApf(const std::string& path, ApfInfo& info, std::uint64_t& qualityFactors);
