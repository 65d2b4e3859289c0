#pragma once
// Loading the park airport's stand file into standTable: fetched from the server when it lies
// there, checked, read, merged with its learned file, numbered and neighbour-linked, and shown.

#include "airports/apf_state.h"

#include <cstdint>
#include <string>

// Reads the airport file at `path` (a local path beginning with "airports", else a server path)
// into standTable, which the caller has emptied. Returns an error text, empty on success;
// qmx::UserErrorException 65 (no altitude) and 94 (a stand id twice) pass through.
std::string gf_readApf(const std::string& path, ApfInfo& info, std::uint64_t& qualityFactors);
