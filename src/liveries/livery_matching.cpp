#include "liveries/livery_matching.h"

#include "core/log.h"
#include "liveries/aircraft_labels.h"
#include "liveries/livery_tables.h"
#include "liveries/match_summary.h"
#include "liveries/model_classes.h"
#include "liveries/regcode_lists.h"
#include "liveries/registrations.h"
#include "liveries/similar_models.h"
#include "params/parameters.h"
#include "params/random.h"

#include <algorithm>
#include <fmt/format.h>

std::array<std::uint64_t, kMatchSteps> MatchStepCounters{};

namespace {

constexpr std::size_t kSpecialTests = 5;
const std::string kGenericAirline = "ZZZ";
const std::string kPrivateAirline = "PVT";

bool lf_isSpecialTitle(std::string_view title)
{
    return std::find(SpecialTitles.begin(), SpecialTitles.end(), title) != SpecialTitles.end();
}

std::string_view lf_randomTitle(const std::vector<std::string_view>& titles)
{
    return titles[static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(titles.size())))];
}

// Passenger liveries for a passenger aircraft; cargo liveries first, then passenger ones, for a
// cargo aircraft.
bool lf_lookupWithCargoPreference(AcDescription& ac, const std::string& airline, const std::string& model)
{
    const std::pair<std::string, std::string> key{airline, model};
    lf_lookupAirlineModel(ac, key, ac.cargo != 0 ? kCargoSlot : kPaxSlot);
    if (ac.liveryTitle.empty() && ac.cargo != 0)
        lf_lookupAirlineModel(ac, key, kPaxSlot);
    return !ac.liveryTitle.empty();
}

std::int32_t lf_sizeClass(const AcDescription& ac)
{
    return static_cast<std::int32_t>(ac.category);
}

bool lf_isSmallClass(std::int32_t sizeClass)
{
    return sizeClass == 0 || sizeClass == 1 || sizeClass == 5;
}

// The aircraft's similar models (of its own size class for a live aircraft) under `airline`.
bool lf_walkSimilarModels(AcDescription& ac, const std::string& airline, bool anyClass)
{
    for (const std::string& model : gf_getSimilarTypesForAirline(ac)) {
        if (!anyClass && gf_modelSizeClass(model) != lf_sizeClass(ac))
            continue;
        if (lf_lookupWithCargoPreference(ac, airline, model))
            return true;
    }
    return false;
}

bool lf_registrationHasOperator(const AcDescription& ac)
{
    return !gf_regcodeOperatorCode(ac.registration).empty();
}

bool lf_matchAirlineModel(AcDescription& ac)
{
    if (lf_lookupWithCargoPreference(ac, ac.airline, ac.type))
        return true;
    return lf_registrationHasOperator(ac) &&
           lf_lookupWithCargoPreference(ac, gf_regcodeAirline(ac.registration), ac.type);
}

bool lf_matchSimilarModel(AcDescription& ac, bool staticAc)
{
    if (lf_walkSimilarModels(ac, ac.airline, staticAc))
        return true;
    return lf_registrationHasOperator(ac) && lf_walkSimilarModels(ac, gf_regcodeAirline(ac.registration), staticAc);
}

} // namespace

// Steps 2 to 6 after a failed step 1; the step that found the title, 0 for none. A static
// aircraft without airline still runs steps 2 and 3, over all size classes in step 3.
std::int32_t lf_matchAfterRegcode(AcDescription& ac, bool staticAc)
{
    const std::int32_t depth = MATCHING_DEPTH.value.load();
    if (depth < 2)
        return 0;
    if (ac.airline == kPrivateAirline && lf_lookupWithCargoPreference(ac, kGenericAirline, ac.type))
        return 4;
    const bool byAirline = staticAc || !ac.airline.empty();
    if (byAirline && lf_matchAirlineModel(ac))
        return 2;
    if (depth < 3)
        return 0;
    if (byAirline && lf_matchSimilarModel(ac, staticAc))
        return 3;
    std::int32_t step = 0;
    lf_matchFallbackSteps(ac, step);
    return step;
}

void lf_logMatch(const AcDescription& ac, char stepMark)
{
    if (LOG.value.load())
        gf_log(fmt::format("          {} ={}= {}", gf_aircraftLabel(ac), stepMark, ac.liveryTitle));
}

// A refused title makes the whole match fail.
void lf_dropCreateFailure(AcDescription& ac)
{
    if (!ac.liveryTitle.empty() && gf_isCreateFailure(ac.liveryTitle))
        ac.liveryTitle.clear();
}

void lf_pickLivery(AcDescription& ac, const std::vector<std::string_view>& titles)
{
    if (titles.empty())
        return;
    std::string_view title = lf_randomTitle(titles);
    for (std::size_t tested = 1; !SpecialTitles.empty() && lf_isSpecialTitle(title); ++tested) {
        if (tested == kSpecialTests) {
            std::vector<std::string_view> ordinary;
            std::copy_if(titles.begin(), titles.end(), std::back_inserter(ordinary),
                         [](std::string_view t) { return !lf_isSpecialTitle(t); });
            title = ordinary.empty() ? std::string_view() : lf_randomTitle(ordinary);
            break;
        }
        title = lf_randomTitle(titles);
    }
    ac.liveryTitle = title;
}

bool lf_matchByRegcode(AcDescription& ac)
{
    if (ac.registration.empty())
        return false;
    for (const std::string& form : gf_regcodeVariants(ac.registration)) {
        if (const auto it = RegcodeMap.find(form); it != RegcodeMap.end()) {
            ac.liveryTitle = it->second;
            break;
        }
    }
    return !ac.liveryTitle.empty();
}

void lf_lookupAirlineModel(AcDescription& ac, const std::pair<std::string, std::string>& key, std::size_t slot)
{
    const AirlineModelTitles& table = AirlineModelTables.at(slot);
    const auto airline = table.find(key.first);
    if (airline == table.end())
        return;
    const auto model = airline->second.find(key.second);
    if (model != airline->second.end())
        lf_pickLivery(ac, model->second);
}

bool lf_lookupModel(AcDescription& ac, const std::string& model)
{
    const ModelTitles& table = ModelTables[ac.cargo != 0 ? kCargoSlot : kPaxSlot];
    if (const auto it = table.find(model); it != table.end())
        lf_pickLivery(ac, it->second);
    return !ac.liveryTitle.empty();
}

void lf_matchFallbackSteps(AcDescription& ac, std::int32_t& step)
{
    const std::int32_t depth = MATCHING_DEPTH.value.load();
    if (depth == 4 && lf_lookupWithCargoPreference(ac, kGenericAirline, ac.type)) {
        step = 4;
        return;
    }
    if (!lf_isSmallClass(lf_sizeClass(ac)))
        return; // large, heavy and high-performance aircraft go no further
    if (depth >= 3 && ac.airline != kPrivateAirline && lf_lookupWithCargoPreference(ac, kGenericAirline, ac.type)) {
        step = 4;
        return;
    }
    if (lf_lookupModel(ac, ac.type)) {
        step = 5;
        return;
    }
    for (const std::string& model : gf_getSimilarTypes(ac.type)) {
        if (lf_lookupModel(ac, model)) {
            step = 6;
            return;
        }
    }
}
