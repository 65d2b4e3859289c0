#pragma once
// Registration-code lists: they tie installed livery titles to the registrations of the aircraft
// they are painted for. Three sources feed one map, in rising precedence: the atc_id
// registrations of the scanned aircraft.cfg sections, the downloaded AIG-regcodes.xml and the
// user's text files in input/my_regcodes. The same lists mark special liveries (handed out only
// for their own registrations) and titles that must not be used at all (entries without
// registrations), which the livery scan drops. Start-up work thread only.

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct RegcodeEntry {
    std::string title;
    std::vector<std::string> regcodes; // in the order given; none given: a title not to use
    bool special = false;
    // Registrations were given but none could be read: the livery stays usable.
    bool regcodesUnreadable = false;
};

// Registration (as written) -> view of a title stored in AirlineIndex.
extern std::unordered_map<std::string, std::string_view> RegcodeMap;
// Titles of special entries in merge order (a title may occur more than once).
extern std::vector<std::string_view> SpecialTitles;
// The lines of output/info/OfflineRegcodes.txt of the last processing.
extern std::vector<std::string> offlineRegcodeReport;

// Appends the entries of every *.txt list directly in `folder`; false when a line was malformed
// or the folder could not be read.
bool gf_readRegcodeFolder(const std::filesystem::path& folder, std::vector<RegcodeEntry>& entries);

struct RegcodeLineContext {
    const std::filesystem::path& file;
    std::vector<RegcodeEntry>& entries;
    bool& success;
};
void lf_parseRegcodeLine(RegcodeLineContext& context, const std::string& line);
// Appends `regcode` to `kept` when it has 3 to 12 characters, else warns and clears success.
void lf_appendValidRegcodes(RegcodeLineContext& context, const std::string& regcode, std::vector<std::string>& kept);

// Appends the <livery> entries of AIG-regcodes.xml; false only when the file cannot be loaded.
bool gf_readAigRegcodesXml(const std::filesystem::path& path, std::vector<RegcodeEntry>& entries);

// Enters the atc_id registrations of ScannedLiveries into RegcodeMap and reports the clashes.
void lf_reportInlineRegcodeClashes();
// Downloads and merges AIG-regcodes.xml, merges input/my_regcodes, writes OfflineRegcodes.txt.
// False, having done nothing more, when the exit (or a restart) stopped the download: the list is
// then missing, not known to be unavailable.
bool lf_processRegcodes();
void lf_processRegcodeFile(const std::filesystem::path& path);
void lf_processRegcodeFolder();
void lf_mergeRegcodeEntries(const std::vector<RegcodeEntry>& entries);

// Before a livery scan: fills titlesNotToUse from both lists.
void lf_readAigRegcodes();
void lf_readDontUseTitlesXml(const std::filesystem::path& path);
void lf_readDontUseTitlesFolder();
