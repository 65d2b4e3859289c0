#pragma once
// Airport stand files: three top-level elements `meta`, `parameters` and `parkpositions`, the
// latter with one `parkpos` per stand and its learned `opt` children. The same format serves the
// archived stock files, the user's files, the generated files of the scenery scan and the learned
// files that keep what the program learned about an airport.

#include "airports/stand.h"
#include "core/xml.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

struct AirportFile {
    std::string ICAO;
    std::string airport_name;
    std::string BGLpath;
    std::string publisher;
    std::uint32_t RT_traffic_week = 0; // archived files carry it; never written
    std::int32_t Qf_real = 0;
    std::int32_t Qf_soft = 0;
    std::int32_t altitude = 0; // feet
    std::vector<Stand> stands;
};

enum class ApfWriteMode : int {
    LearnedSave = 0, // what was learned, the stands changed by hand and the parking settings
    Generated = 1,   // every stand in full, no options
};

// Writes `file` to `path` (whose folder must exist) through a temporary file; true when saved.
// Logs nothing: callers report the outcome.
bool gf_writeApf(const AirportFile& file, const std::filesystem::path& path, ApfWriteMode mode);
// Whether the file is one the add-on airport scan generated (its meta block says so).
bool gf_isGeneratedApf(const std::filesystem::path& path);
void lf_writeAirportParameters(XmlTextWriter& xml, const AirportFile& file, ApfWriteMode mode);
void lf_writeParkpos(XmlTextWriter& xml, const Stand& stand, ApfWriteMode mode);
void lf_writeOpt(XmlTextWriter& xml, const ParkPosOption& option);

// An option whose registration the data base knows is written without airline and type, which
// are taken from the data base when it is read back.

// Element readers. A missing number reads 0, a missing boolean false, a missing text empty.
struct OptIdentity {
    std::string cs;
    std::string csSuffix;
    std::string airl;
    std::string type;
};
OptIdentity lf_readOpt(const pugi::xml_node& opt);
struct AirlineAndType {
    std::string airl;
    std::string type;
};
AirlineAndType lf_readAirlineAttributes(const pugi::xml_node& opt);
// True when the text begins with 1, t, T, y or Y.
bool lf_isTrueText(std::string_view text);
bool lf_boolAttribute(const pugi::xml_node& node, const char* name);
// One option of a `parkpos`, numbered by the caller.
ParkPosOption lf_readOption(const pugi::xml_node& opt, std::uint32_t number, std::uint32_t fixed);
// Turns one `parkpos` into a Stand named `name` and appends it to `table` (standTable when not
// given). A stand whose position, heading or radius is no finite number, or whose radius is
// negative, is refused with a warning that names `file` and the stand: false, and the table is
// left as it was.
bool lf_readParkPositions(std::vector<Stand>& table, const pugi::xml_node& parkpos, const std::string& name,
                          std::uint32_t fixed, std::string_view file);
bool lf_readParkPositions(const pugi::xml_node& parkpos, const std::string& name, std::uint32_t fixed,
                          std::string_view file);
// The name of the first of those attributes a stand cannot take; empty when all are usable.
std::string lf_unusableStandAttribute(const pugi::xml_node& parkpos);

// Parameters of the `parameters` element; none when the file lacks the parameter.
std::optional<bool> lf_getBoolParameter(const pugi::xml_document& document, std::string_view name);
std::optional<std::int32_t> lf_getIntParameter(const pugi::xml_document& document, std::string_view name);
std::optional<std::uint32_t> lf_getUintParameter(const pugi::xml_document& document); // RT_traffic_week
std::optional<std::string> lf_getStringParameter(const pugi::xml_document& document, std::string_view name);
