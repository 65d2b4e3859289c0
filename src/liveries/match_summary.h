#pragma once
// Liveries the simulator refused to create, never handed out again, and the log reports of the
// matching: the per-step summary and the live aircraft without a livery. Work thread, and the
// exit thread for the final reports once the main loop has stopped.

#include "liveries/ac_description.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kCreateFailureLimit = 20;

// The refused titles (own copies: they outlive a rebuild of the livery tables) and one
// "type airline" text per refusal.
struct CreateFailureLists {
    std::vector<std::string> titles;
    std::vector<std::string> texts;
};
extern CreateFailureLists CreateFailures;

// Records the aircraft's title as refused and tells the user; from the 20th refused title on
// throws qmx::UserErrorException 81.
void gf_registerCreateFailure(const AcDescription& ac);
// The simulator refused this title before.
bool gf_isCreateFailure(std::string_view liveryTitle);

// The distinct failure texts, each after two blanks, ascending.
std::vector<std::string> lf_formatCreateFailures();
// Flight keys (gf_flightKeyWithSuffix) of live aircraft without a livery; work thread only.
extern std::set<std::string> NoMatchList;
void gf_logNoMatchList();
void gf_clearNoMatchList();
void gf_logMatchingSummary();
