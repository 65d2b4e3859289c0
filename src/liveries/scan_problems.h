#pragma once
// What a livery scan rejects or changes, one line per problem, collected from all scan tasks at
// once and written to the scan reports when the scan ends. Each list has its own lock, taken for
// one append; the report writer and the clearing run after every task has ended.

#include <filesystem>
#include <list>
#include <mutex>
#include <string>
#include <vector>

template <typename Lines>
struct ScanProblemList {
    std::mutex mutex;
    Lines lines;

    void append(std::string line)
    {
        const std::lock_guard lock(mutex);
        lines.push_back(std::move(line));
    }
};

extern ScanProblemList<std::list<std::string>> invalidAircraftCfgFiles;  // numbering, no atc_model
extern ScanProblemList<std::list<std::string>> emptyAircraftCfgFiles;    // no [fltsim.N] header
extern ScanProblemList<std::list<std::string>> incompleteFltsimSections; // rejected sections
extern ScanProblemList<std::list<std::string>> invalidAirlineCodes;
extern ScanProblemList<std::list<std::string>> invalidModelCodes;
extern ScanProblemList<std::vector<std::string>> codeFixes;               // model codes corrected

// Liveries whose cargo flag, airline or model the data base corrected; start-up thread only.
extern std::vector<std::string> airlineModelConversions;

// Titles the scan must drop; filled from the registration-code lists before the folders are
// scanned and only read while scan tasks run.
extern std::vector<std::string> titlesNotToUse;

void lf_addInvalidCfgFile(std::string line);
void lf_addIncompleteSection(std::string line);
void lf_addCodeFix(std::string line);
// "{:12} in {} " of code and file, then the section's header line.
void lf_addInvalidAirline(const std::string& code, const std::filesystem::path& file, const std::string& header);
// "{:16} in {}" of code and file.
void lf_addInvalidModel(const std::string& code, const std::filesystem::path& file);

// Empties every list above and the scan's claimed titles; for a scan that has ended.
void lf_clearScanCollections();
