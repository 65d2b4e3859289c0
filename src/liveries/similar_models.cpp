#include "liveries/similar_models.h"

#include "core/log.h"
#include "params/random.h"
#include "core/text.h"
#include "liveries/dbase.h"
#include "liveries/livery_tables.h"
#include "liveries/model_classes.h"

#include <algorithm>
#include <fmt/format.h>

std::unordered_map<std::string, std::vector<std::string>> SimilarModels;
std::unordered_map<std::string, std::unordered_map<std::string, std::vector<std::string>>> AirlineSimilarModels;

namespace {

const std::vector<std::string> noSimilarTypes;
std::vector<std::string> singleSimilarType;

// "m,other1,other2" for every member m whose group has other members with liveries.
std::vector<std::string> lf_similarLines()
{
    std::vector<std::string> lines;
    for (const std::vector<std::string>& group : dbaseTables.SimilarGroups) {
        for (const std::string& member : group) {
            std::string line = member;
            for (const std::string& other : group)
                if (&other != &member && lf_modelHasLiveries(other))
                    line += "," + other;
            if (line.find(',') != std::string::npos)
                lines.push_back(std::move(line));
        }
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

std::unordered_map<std::string, std::vector<std::string>> lf_airlineSimilarModels(const std::string& airline)
{
    std::unordered_map<std::string, std::vector<std::string>> inner;
    for (const auto& [model, similar] : SimilarModels) {
        if (lf_airlineHasModel(airline, model))
            continue;
        std::vector<std::string> owned;
        for (const std::string& other : similar)
            if (lf_airlineHasModel(airline, other))
                owned.push_back(other);
        if (!owned.empty())
            inner.emplace(model, std::move(owned));
    }
    return inner;
}

} // namespace

void gf_buildSimilarModelGroups()
{
    for (const std::string& line : lf_similarLines()) {
        std::vector<std::string> items = gf_splitAtComma(line);
        std::string model = std::move(items.front());
        items.erase(items.begin());
        SimilarModels.try_emplace(std::move(model), std::move(items));
    }
    for (const std::string& airline : lf_listLiveryAirlines()) {
        auto inner = lf_airlineSimilarModels(airline);
        if (!inner.empty())
            AirlineSimilarModels.try_emplace(airline, std::move(inner));
    }
    gf_log(fmt::format("{} similar model definitions", SimilarModels.size()));
}

void gf_clearSimilarModelGroups()
{
    SimilarModels.clear();
    AirlineSimilarModels.clear();
}

const std::vector<std::string>& gf_getSimilarTypes(const std::string& model)
{
    if (const auto it = SimilarModels.find(model); it != SimilarModels.end()) {
        gf_shuffleIfRandom(it->second);
        return it->second;
    }
    const std::vector<std::string>* classList = gf_classModelList(gf_modelSizeClass(model));
    if (classList == nullptr || classList->empty())
        return noSimilarTypes;
    const std::string& pick = (*classList)[static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(classList->size())))];
    if (pick.empty())
        return noSimilarTypes;
    singleSimilarType.assign(1, pick);
    return singleSimilarType;
}

const std::vector<std::string>& gf_getSimilarTypesForAirline(const AcDescription& ac)
{
    const auto airline = AirlineSimilarModels.find(ac.airline);
    if (airline == AirlineSimilarModels.end())
        return noSimilarTypes;
    const auto model = airline->second.find(ac.type);
    if (model == airline->second.end())
        return noSimilarTypes;
    gf_shuffleIfRandom(model->second);
    return model->second;
}
