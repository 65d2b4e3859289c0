#pragma once
// What the livery scan asks of the model and airline data base: known airlines, the registration
// table and the aircraft type of an aircraft.cfg. Until the scan is joined to the data base these
// answer from the small tables below, which nothing but tests fills; the size class of a model is
// asked of gf_modelSizeClass (liveries/livery_services.h).

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// One entry of the data base's registration table.
struct DbaseRegRecord {
    std::string airline;
    std::string model;
    std::string opr; // operator, when it differs from the airline
    bool cargo = false;
};

struct LiveryLookupTables {
    std::set<std::string> airlines;
    std::map<std::string, DbaseRegRecord> regcodes;
};
extern LiveryLookupTables liveryLookupTables;

// Not empty and a known ICAO airline code (exact, case-sensitive).
bool gf_isKnownAirline(const std::string& code);

// The written forms of a registration to try, in order: GABCD gives GA-BCD, G-ABCD, GABCD;
// registrations beginning with 'N', holding a dash or shorter than 5 are tried as they are.
std::vector<std::string> gf_regcodeVariants(const std::string& regcode);
// Copies the record of one written form into `record`; false (record unchanged) when unknown.
bool gf_findRegcodeRecord(std::optional<DbaseRegRecord>& record, const std::string& writtenForm);
// The record of the first written form the table holds; none for an empty registration.
std::optional<DbaseRegRecord> gf_regcodeLookup(const std::string& regcode);
// A private ("PVT") registration shorter than 5 characters that occurs in the title, or "".
std::string lf_findPvtRegcodeInTitle(const std::string& title);

// The aircraft type of an aircraft.cfg from its first atc_model line; "" when it has none.
std::string lf_fixModelCode(const std::filesystem::path& file, const std::vector<std::string>& lines);
// The aircraft type of an IVAO_MTL/IVAO_<type>/aircraft.cfg from its folder name; "" for any other
// path.
std::string lf_fixIvaoModelCode(const std::filesystem::path& file);
