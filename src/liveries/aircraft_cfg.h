#pragma once
// Reading one aircraft.cfg (or sim.cfg) of an AI aircraft into livery records: one record per
// [fltsim.N] section that passes every rule. Each call is one scan task; many run at once, and
// everything they reject goes, one line per problem, into the scan's problem lists.

#include "liveries/livery_data.h"

#include <cstdint>
#include <filesystem>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

// Key lines, matched as a whole and ignoring letter case: blanks, the key, blanks, '=', blanks,
// a value that is not empty, blanks. Each reader sets `value` (without those blanks) and answers
// true only for a line of its key.
bool lf_readKeyTitle(const std::string& line, std::string& value);
bool lf_readKeySim(const std::string& line, std::string& value);
bool lf_readKeyModel(const std::string& line, std::string& value);
bool lf_readKeyTexture(const std::string& line, std::string& value);
bool lf_readKeyAtcId(const std::string& line, std::string& value);
// The first comma field of the value, which may be empty.
bool lf_readKeyParkingCodes(const std::string& line, std::string& value);
bool lf_readKeyParkingTypes(const std::string& line, std::string& value);
std::string lf_readKeyAtcModel(const std::string& line);
// The number of a [fltsim.N] header as text; "10000" for a malformed header that still names
// [fltsim. or [FLTSIM.; "" for any other line, also for a header commented out with "//".
std::string lf_readFltSimHeader(const std::string& line);
bool lf_hasAtcIdKey(const std::string& line);        // holds "atc_id="
bool lf_hasParkingTypesKey(const std::string& line); // holds "atc_parking_types"
// Index of the first `c`, or -1.
std::int32_t lf_findChar(const std::string& text, char c);

// The [fltsim.N] numbers must be exactly 0..n-1 in any order. A file without any header is
// listed as empty and still passes; a file that fails is listed with its problem.
bool lf_checkFltSimNumbers(const std::vector<std::string>& lines, const std::filesystem::path& file);

// The per-task state of one file while its lines are cut into sections.
struct FltSimContext {
    bool inSection = false;
    std::int32_t priority = 0;
    std::vector<std::string> section;
    std::list<qmx::LiveryData> result;
    std::string model;
    std::filesystem::path file;
    std::string folder;
};
void lf_collectFltSimLine(FltSimContext& context, const std::string& line);
// Zero or one record of one section (its header is the first line).
std::list<qmx::LiveryData> lf_procesFltSimSection(std::int32_t priority, std::vector<std::string>& section,
                                                  const std::string& model, const std::filesystem::path& file,
                                                  const std::string& folder);
// The scan task of one file; gives its scan slot back when it ends, also by an exception, which
// then reaches the scan through the task's future.
std::list<qmx::LiveryData> lf_searchLiveriesinFile(std::int32_t priority, const std::filesystem::path& file);

// ---- shared with the IVAO reader ----

// The file's path text up to its last separator; "" when it has none.
std::string lf_cfgFolderText(const std::filesystem::path& file);
// Drops empty lines and "//" comment lines from the end of a section (never its header).
void lf_dropTrailingSectionLines(std::vector<std::string>& section);
// Whether folder/name exists as a folder (or as a regular file), looked up as Windows would:
// ignoring letter case, and "name." standing for "name". A failing status query throws.
bool lf_simFolderExists(const std::string& folder, const std::string& name);
// While one lives, the thread's lookups of folder entries are each made once: the sections of
// one file mostly name the same model, texture and .air entries.
class FileEntryLookups {
public:
    FileEntryLookups();
    ~FileEntryLookups();
    FileEntryLookups(const FileEntryLookups&) = delete;
    FileEntryLookups& operator=(const FileEntryLookups&) = delete;

private:
    std::unordered_map<std::string, std::filesystem::file_status> statuses_;
};
bool lf_simFileExists(const std::string& folder, const std::string& name);
std::string lf_simEntryText(const std::string& folder, const std::string& name);
bool lf_isTitleNotToUse(const std::string& title);
// The saved scan and the simulator read a title only up to a NUL character: such a title is refused.
bool lf_holdsNul(const std::string& title);
