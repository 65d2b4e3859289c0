#pragma once
// The lookup tables of the installed liveries, built once per process from the saved livery scan
// and read without locks by the matching afterwards. AirlineIndex holds the only stored copy of
// every livery title; every other table here, the registration-code lists and the create
// failures' lookups hold views of those titles, so AirlineIndex is emptied only together with
// all of them (gf_clearLiveryTables).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct IndexedLivery {
    std::string title;
    bool cargo = false;
};

using TitleViews = std::vector<std::string_view>;
// Airline code -> model code -> liveries in scan order (by title).
using AirlineModelLiveries = std::unordered_map<std::string, std::unordered_map<std::string, std::vector<IndexedLivery>>>;
// Airline code -> model code -> title views.
using AirlineModelTitles = std::unordered_map<std::string, std::unordered_map<std::string, TitleViews>>;
// Model code -> title views.
using ModelTitles = std::unordered_map<std::string, TitleViews>;

inline constexpr std::size_t kPaxSlot = 0;
inline constexpr std::size_t kCargoSlot = 1;

extern AirlineModelLiveries AirlineIndex;
extern std::array<AirlineModelTitles, 2> AirlineModelTables; // [kPaxSlot], [kCargoSlot]
extern std::array<ModelTitles, 2> ModelTables;               // [kPaxSlot], [kCargoSlot]
// The models with liveries of size classes 0 (light), 1 (business jets) and 5 (rotorcraft),
// ascending; index 0, 1, 2 in that order.
extern std::array<std::vector<std::string>, 3> ClassModelLists;
extern bool liveryTablesBuilt;

// The class list of size class 0, 1 or 5; null for the other classes.
std::vector<std::string>* gf_classModelList(std::int32_t sizeClass);

// Reads the saved scan and builds every table, the registration-code map and the similar-model
// groups, once per process; a later call only logs that it was done. When the exit stopped the
// registration-code list's download, the tables are left empty and not built, so that the next
// start-up builds them. Always empties ScannedLiveries. The saved-scan reader's user errors pass
// through.
void lf_processScannedLiveries();

// The steps of the processing, in their order.
void lf_buildAirlineIndex();
void lf_buildAirlineModelTables();
void lf_buildModelTables();
void lf_reportGenericLiveries();
void lf_reportLiveryCategories(std::int32_t sizeClass);

// The stored title equal to `title` (exactly), or an empty view.
std::string_view lf_findLiveryTitle(std::string_view title);
bool lf_airlineHasModel(const std::string& airline, const std::string& model);
bool lf_modelHasLiveries(const std::string& model);
// The airline codes of AirlineIndex in its iteration order, each cut to 3 characters.
std::vector<std::string> lf_listLiveryAirlines();

// Reserves the matching lists' room on the first call of the process.
void gf_reserveMatchingTables();
// Empties every table that holds titles or views of them and clears liveryTablesBuilt, so that
// the next livery step builds them again.
void gf_clearLiveryTables();

// "  " followed by up to 20 codes joined by ",", one logged row per 20 codes.
void lf_logModelRows(const std::vector<std::string>& codes);
