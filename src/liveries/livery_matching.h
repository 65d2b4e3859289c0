#pragma once
// The choice of an installed livery for an aircraft the engine is about to create: up to six
// steps from the aircraft's own registration to any livery of a similar model, as far as
// MATCHING_DEPTH allows. Reads the livery tables without locks: work thread only.

#include "liveries/ac_description.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr std::size_t kMatchSteps = 6;
// Live-aircraft matches per step (index step - 1), for the whole process.
extern std::array<std::uint64_t, kMatchSteps> MatchStepCounters;

// The matching of a live or a static aircraft (gf_matchLiveLivery, gf_matchStaticLivery):
// engine/livery_choice.h.

// Steps 2 to 6 after a failed step 1; the step that found the title, 0 for none.
std::int32_t lf_matchAfterRegcode(AcDescription& ac, bool staticAc);
// Logs the chosen title with the step's mark when LOG is on.
void lf_logMatch(const AcDescription& ac, char stepMark);
// A refused title makes the whole match fail.
void lf_dropCreateFailure(AcDescription& ac);
// The family of steps both use.
bool lf_matchByRegcode(AcDescription& ac);
void lf_lookupAirlineModel(AcDescription& ac, const std::pair<std::string, std::string>& key, std::size_t slot);
bool lf_lookupModel(AcDescription& ac, const std::string& model);
void lf_pickLivery(AcDescription& ac, const std::vector<std::string_view>& titles);
void lf_matchFallbackSteps(AcDescription& ac, std::int32_t& step);
