#pragma once
// The choice of an installed livery for an aircraft the engine is about to create: up to six
// steps from the aircraft's own registration to any livery of a similar model, as far as
// MATCHING_DEPTH allows. Reads the livery tables without locks: work thread only.

#include "engine/ac_records.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

struct Stand;

inline constexpr std::size_t kMatchSteps = 6;
// Live-aircraft matches per step (index step - 1), for the whole process.
extern std::array<std::uint64_t, kMatchSteps> MatchStepCounters;

// Sets the live aircraft's livery title, or leaves it empty when no livery fits.
void gf_matchLiveLivery(LiveAc& ac);
// Whether the static aircraft has a title on return; its cargo flag follows the stand's.
bool gf_matchStaticLivery(StaticAc& ac, const Stand& stand);

// The family of steps both use.
bool lf_matchByRegcode(AcDescription& ac);
void lf_lookupAirlineModel(AcDescription& ac, const std::pair<std::string, std::string>& key, std::size_t slot);
bool lf_lookupModel(AcDescription& ac, const std::string& model);
void lf_pickLivery(AcDescription& ac, const std::vector<std::string_view>& titles);
void lf_matchFallbackSteps(AcDescription& ac, std::int32_t& step);
