#pragma once
// The maker's model and airline data base: model codes with their size classes, similar model
// groups, wingspans, model-code fixes, airline codes, scenery publishers with their airports and
// a registration table. Downloaded as dbase.zip, unpacked to input/temp2.xml and read once per
// process at start-up; afterwards every table is read without locks from any thread and nothing
// writes it. Every code in these tables is plain (unscrambled).

#include "liveries/publishers.h"

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Byte-wise ordered, transparent so that a string_view looks up without a copy.
using CodeSet = std::set<std::string, std::less<>>;

// One entry of the registration table.
struct DbaseRegRecord {
    std::string airline;  // airline code, empty when the data base gives none
    std::string model;    // model (ICAO type) code, empty when none
    std::string operatorCode; // airline code of the operator, empty when none
    bool cargo = false;
};

struct PublisherAirportList {
    std::string publisher;
    std::vector<std::string> airports;
};

inline constexpr int kSizeClassCount = 6; // AcCategory 0..5

struct DbaseTables {
    CodeSet ModelCodes;
    CodeSet HighPerfModels;   // size class 4
    CodeSet HeavyModels;      // size class 3
    CodeSet LargeModels;      // size class 2
    CodeSet BuzjetModels;     // size class 1
    CodeSet RotorcraftModels; // size class 5
    CodeSet CargoModels;
    std::vector<std::vector<std::string>> SimilarGroups; // each group ascending, groups in file order
    CodeSet IcaoAirlines;
    CodeSet CargoOperators;
    // One list per publisher: its name, then its aliases; ordered by the raw names text.
    std::vector<std::vector<std::string>> Publishers;
    // Publishers made ready for matching, list for list and entry for entry; read with them.
    PreparedPublishers PublisherPatterns;
    // Model code -> half wingspan in nautical miles.
    std::map<std::string, double, std::less<>> Wingspans;
    double MaxHalfWingspan = 0.0;
    // Average half wingspan of each size class, nautical miles.
    std::array<double, kSizeClassCount> ClassHalfWingspans{};
    std::unordered_map<std::string, std::string> ModelFixes; // wrong model code -> corrected
    CodeSet SimaddonAirports;
    std::vector<PublisherAirportList> PublisherAirports; // file order, duplicates kept
    std::unordered_map<std::string, DbaseRegRecord> DbaseRegcodes; // registration -> record
};

extern DbaseTables dbaseTables;

// Downloads the data base, reads it into `dbaseTables` and removes the unpacked file; true after
// a complete read. Throws qmx::SysErrorException 23 when the download or unzip failed, and
// whatever gf_readDbaseFile throws.
bool gf_readDbase();

// Reads an unpacked data base into emptied `dbaseTables` and removes the file. Throws
// qmx::UserErrorException 60 (not parsed) and 61 (a required list is empty),
// qmx::SysErrorException 299 (publishers) and 288 (wingspans); the file stays on a throw.
bool gf_readDbaseFile(const std::filesystem::path& path);

// A publisher's names text split into its name and aliases (comma-separated, trimmed).
std::vector<std::string> gf_splitNameList(std::string_view text);

// A yes/no value of the maker's lists: yes when it begins with 1, t, T, y or Y.
bool gf_isYesText(std::string_view text);

// Empties every table, as at program start.
void gf_clearDbaseTables();
