#pragma once
// Registrations looked up in the data base's registration table. A registration may be written
// with or without the dash after its one- or two-letter nationality prefix (GABCD, G-ABCD,
// GA-BCD), so a lookup tries a fixed list of written forms. Only reads a table that does not
// change after start-up: any thread may ask.

#include "liveries/dbase.h"

#include <optional>
#include <string>
#include <vector>

// The written forms to try, in order: for a dashless registration of at least 5 characters that
// does not begin with 'N', the two-letter-prefix form, the one-letter-prefix form, then the
// registration itself; otherwise the registration alone.
std::vector<std::string> gf_regcodeVariants(const std::string& regcode);

// When `writtenForm` is a key of the table, copies its record into `record` and returns true;
// otherwise leaves `record` as it was.
bool gf_findRegcodeRecord(std::optional<DbaseRegRecord>& record, const std::string& writtenForm);

// The record of the first written form that is a key; absent for the empty registration.
std::optional<DbaseRegRecord> gf_regcodeLookup(const std::string& regcode);
// One field of that record; empty when none is found.
std::string gf_regcodeAirline(const std::string& regcode);
std::string gf_regcodeModel(const std::string& regcode);
std::string gf_regcodeOperatorCode(const std::string& regcode);
void gf_destroyRegcodeRecord(std::optional<DbaseRegRecord>& record);

// A registration of a private ("PVT") aircraft, shorter than 5 characters, that occurs in the
// text (a livery title); empty when there is none.
std::string lf_findPvtRegcodeInTitle(const std::string& text);
