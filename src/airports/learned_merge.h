#pragma once
// The learned file of an airport file: the same format, kept below airports/learned, holding
// what the program learned at the airport (options, changed radii and cargo flags, stands made
// by hand) and the parking settings in force. Merged into the stand table when the park
// airport's file is loaded.

#include "airports/apf_state.h"
#include "airports/stand.h"

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

// The learned file's path for an airport file's path: a server path "archive/…" maps below the
// learned folder with "%20" made blanks; a local file of my_thirdparty is filed by publisher;
// other local files keep their folder name; any other text stays as it is.
std::string lf_learnedApfPath(const std::string& apfPath, const std::string& publisher);

// The learned file of the airport `code` filed by publisher alone: stock and simaddon have their
// folders, any other publisher a folder of its own below thirdparty. Learned files were once
// saved only there, so the loader still reads them when the file's own learned file is missing.
std::string lf_publisherLearnedPath(const std::string& publisher, std::string_view code);

// The one learned file of an airport file, for the merge and the save alike: lf_learnedApfPath
// when that leads below the learned folder, else the publisher's learned file. Keeping it by the
// file's place keeps two stand files of one airport (a user's copy and the stock file) apart.
std::string lf_learnedFileOf(const std::string& apfPath, const std::string& publisher, std::string_view code);

// The publisher as one folder name below the learned thirdparty folder: separators become '_',
// and a name that would leave the folder ("", ".", "..") becomes "unknown".
std::string lf_publisherFolderName(const std::string& publisher);

// What the merge of a learned file's stands did to a table, worked out before the merge is taken
// in (on the stand-file reader's thread): the lines it logged and, when it ended early, why.
struct LearnedStandsMerge {
    std::vector<std::string> lines;
    std::string failure; // empty when every stand was merged
};

// The stands' half of the merge, on any thread: the learned file's stands, read into `document`
// with `result`, replace the table (a handmade file) or amend it stand by stand. Nothing for a
// file that could not be parsed or whose meta block is wrong.
LearnedStandsMerge lf_mergeLearnedStandsInto(std::vector<Stand>& table, const std::string& learnedPath,
                                             const pugi::xml_document& document, const pugi::xml_parse_result& result);

// Merges the learned file at `learnedPath`, read into `document` with `result`: its settings
// replace the running ones, and the lines and failure of its stands' merge (`stands`, done
// before) are logged in their turn. A file that could not be parsed is kept as *.0.xml; failures
// are logged and end the merge where it stood.
void lf_readLearned(const std::string& learnedPath, const pugi::xml_document& document,
                    const pugi::xml_parse_result& result, const ApfInfo& info, const LearnedStandsMerge& stands);

// Applies one learned `parkpos` to the stand when its name is `id`; false for another stand.
bool lf_applyLearnedChanges(const pugi::xml_node& parkpos, const std::string& id, Stand& stand);

// Visits the `parkpos` children of the first `parkpositions` element as every stand reader
// does: an id met twice raises qmx::UserErrorException 94; each is appended with `fixed` to
// `table` (standTable when not given).
void lf_readUniqueParkPositions(std::vector<Stand>& table, const pugi::xml_document& document, std::uint32_t fixed,
                                std::string_view file);
void lf_readUniqueParkPositions(const pugi::xml_document& document, std::uint32_t fixed, std::string_view file);
