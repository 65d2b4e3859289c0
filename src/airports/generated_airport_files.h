#pragma once
// What becomes of one airport that the add-on scenery scan decoded from a BGL file. When the
// maker's archive holds a file for it, a link file in airports/my_ORBX (ORBX scenery) or
// airports/my_thirdparty (other publishers) points to the archived file; when the archive has
// none, or the scenery has more stands than the archived file, the decoded stands are written as
// a generated airport file into the same folder. Every outcome becomes a line of the scan log.
//
// Called from the parallel scan tasks: the archive lookups and link-file writes are serialised
// by the classification mutex; everything else works on the airport's own records.

#include "airports/bgl_airport.h"
#include "airports/stand_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The handler of the BGL walk: classifies the airport, names and sorts its stands and writes
// its link file and/or generated airport file. Throws the file system's error when the folder
// of a generated file cannot be created (the scan task catches it).
void lf_processBglAirport(BglAirport&& airport);

// The decoded airport as an airport file: code, name, altitude and its stands; the BGL path and
// the publisher are left to the classification.
AirportFile lf_airportFileFromBgl(const BglAirport& airport);

// Sets the file's BGLpath and publisher, links the airport to the archive when the archive has
// it and sets archivedCount (the stands of the archived file, 0 when unknown). True when linked.
bool lf_classifyScannedAirport(AirportFile& file, std::uint32_t& archivedCount, const std::filesystem::path& bglPath);

// "archive/simaddon/CODE.xml" when the data base lists the code as an ORBX airport.
std::optional<std::string> lf_findSimaddonArchive(std::string_view ICAO);
bool lf_linkSimaddonAirport(const AirportFile& file);

// "archive/thirdparty/PUBLISHER/CODE.xml" (blanks as %20) when the publisher's airport list of
// the data base holds the code; archivedCount := the number of stands that list gives.
std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, std::string_view ICAO,
                                                    std::uint32_t& archivedCount);
bool lf_linkThirdpartyAirport(const std::string& publisher, const AirportFile& file, std::uint32_t& archivedCount);

// Stands whose names the decoder had to suffix: within each group (base, base+"a" .. base+"f")
// the largest stand takes the plain name, the next ones the letters in order of size.
void lf_sortAndNameStands(AirportFile& file);
// The name of the group member at `rank` (0 = largest): base, then base + "a" .. "f".
std::string lf_makeUniqueStandName(const std::string& base, std::size_t rank);

// Writes the stands, sorted by name, as a generated airport file; nothing for an airport
// without stands. Of the files of one airport from several BGL files, the one of the latest
// sceneryOrder is kept whatever order the scan tasks end in; the other is logged.
void lf_generateAirportFile(AirportFile& file, std::uint32_t helipadCount, std::uint64_t sceneryOrder = 0);
// Forgets which BGL file generated each airport: at the start of every scan.
void gf_forgetGeneratedAirports();

// Whether a file of the airport folders was made by the scan: a generated airport file (its meta
// block says so) or a link file that leads into the archive. Any other file there is the user's,
// which the scan never overwrites nor removes.
bool gf_isScanMadeFile(const std::filesystem::path& file);

// The folder of the airport's link and generated files.
const std::filesystem::path& gf_generatedAirportFolder(std::string_view publisher);
