#include "liveries/livery_tables.h"

#include "core/log.h"
#include "core/shell_port.h"
#include "liveries/livery_data.h"
#include "liveries/model_classes.h"
#include "liveries/plural.h"
#include "liveries/regcode_lists.h"
#include "liveries/scanned_liveries_file.h"
#include "liveries/similar_models.h"
#include "params/control_port.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "params/window_fields.h"
#include "simlink/ac_category.h"

#include <algorithm>
#include <fmt/format.h>
#include <tuple>
#include <unordered_set>

AirlineModelLiveries AirlineIndex;
std::array<AirlineModelTitles, 2> AirlineModelTables;
std::array<ModelTitles, 2> ModelTables;
std::array<std::vector<std::string>, 3> ClassModelLists;
bool liveryTablesBuilt = false;

namespace {

constexpr std::size_t kRowCodes = 20;

// Every title of AirlineIndex, for the title lookups of the registration lists; rebuilt with
// AirlineIndex, emptied with it.
std::unordered_set<std::string_view> TitleIndex;

void lf_indexTitles()
{
    TitleIndex.clear();
    for (const auto& [airline, models] : AirlineIndex)
        for (const auto& [model, liveries] : models)
            for (const IndexedLivery& livery : liveries)
                TitleIndex.emplace(livery.title);
}

template <typename Vector>
void lf_storeTrimmed(Vector& pending, std::unordered_map<std::string, Vector>& into, const std::string& key)
{
    if (pending.empty())
        return;
    into.try_emplace(key, pending); // the copy takes the exact size
    pending.clear();
}

void lf_sortUnique(std::vector<std::string>& codes)
{
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
}

// The switchable class of a size class with its log text; null for classes 1 to 3.
struct ClassSwitch {
    CheckBox* box;
    const char* offText;
};

ClassSwitch lf_classSwitch(std::int32_t sizeClass)
{
    switch (sizeClass) {
    case 0: return {&LIGHT_AIRCRAFT, "{} temporary switched off because you do not have light aircraft installed"};
    case 4: return {&HIGH_PERF_AIRCRAFT, "{} temporary switched off because you do not have High Perf aircraft installed"};
    case 5: return {&HELICOPTERS, "{} temporary switched off because you do not have Helicopters installed"};
    default: return {nullptr, nullptr};
    }
}

void lf_switchOffEmptyClass(std::int32_t sizeClass)
{
    const ClassSwitch sw = lf_classSwitch(sizeClass);
    if (sw.box == nullptr)
        return;
    if (sw.box->value.load()) {
        sw.box->value = false;
        gf_saveBoolParameter(*sw.box);
        gf_log(fmt::format(fmt::runtime(sw.offText), sw.box->name));
    }
    gf_disableControl(*sw.box);
}

std::string lf_categoryText(std::int32_t sizeClass)
{
    return std::string(gf_categoryName(static_cast<AcCategory>(sizeClass)));
}

} // namespace

std::vector<std::string>* gf_classModelList(std::int32_t sizeClass)
{
    switch (sizeClass) {
    case 0: return &ClassModelLists[0];
    case 1: return &ClassModelLists[1];
    case 5: return &ClassModelLists[2];
    default: return nullptr;
    }
}

void lf_logModelRows(const std::vector<std::string>& codes)
{
    std::string row = "  ";
    std::size_t inRow = 0;
    for (const std::string& code : codes) {
        row += code;
        row += ',';
        if (++inRow == kRowCodes) {
            row.pop_back();
            gf_log(row);
            row = "  ";
            inRow = 0;
        }
    }
    if (inRow > 0) {
        row.pop_back();
        gf_log(row);
    }
}

void lf_buildAirlineIndex()
{
    std::string airline;
    std::string model;
    std::vector<IndexedLivery> pending;
    pending.reserve(4048);
    std::unordered_map<std::string, std::vector<IndexedLivery>> models;
    const auto storeAirline = [&] {
        lf_storeTrimmed(pending, models, model);
        if (!models.empty())
            AirlineIndex.try_emplace(airline, models);
        models.clear();
    };
    for (const qmx::LiveryData& livery : ScannedLiveries) {
        if (livery.model != model) {
            lf_storeTrimmed(pending, models, model);
            model = livery.model;
        }
        if (livery.airline != airline) {
            storeAirline();
            airline = livery.airline;
        }
        IndexedLivery stored{livery.title, livery.cargo};
        stored.title.shrink_to_fit();
        pending.push_back(std::move(stored));
    }
    storeAirline();
    lf_indexTitles();
}

void lf_buildAirlineModelTables()
{
    for (const auto& [airline, models] : AirlineIndex) {
        std::unordered_map<std::string, TitleViews> pax;
        std::unordered_map<std::string, TitleViews> cargo;
        for (const auto& [model, liveries] : models) {
            TitleViews paxTitles;
            TitleViews cargoTitles;
            for (const IndexedLivery& livery : liveries)
                (livery.cargo ? cargoTitles : paxTitles).push_back(livery.title);
            lf_storeTrimmed(cargoTitles, cargo, model);
            lf_storeTrimmed(paxTitles, pax, model);
        }
        if (!cargo.empty())
            AirlineModelTables[kCargoSlot].try_emplace(airline, std::move(cargo));
        if (!pax.empty())
            AirlineModelTables[kPaxSlot].try_emplace(airline, std::move(pax));
    }
}

void lf_buildModelTables()
{
    struct Row {
        std::string_view model;
        std::string_view title;
        bool cargo;
    };
    std::vector<Row> rows;
    for (const auto& [airline, models] : AirlineIndex)
        for (const auto& [model, liveries] : models)
            for (const IndexedLivery& livery : liveries)
                rows.push_back({model, livery.title, livery.cargo});
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.model < b.model; });
    std::string model;
    TitleViews pax;
    TitleViews cargo;
    pax.reserve(15000);
    cargo.reserve(15000);
    const auto store = [&] {
        lf_storeTrimmed(cargo, ModelTables[kCargoSlot], model);
        lf_storeTrimmed(pax, ModelTables[kPaxSlot], model);
    };
    for (const Row& row : rows) {
        if (row.model != model) {
            store();
            model = row.model;
        }
        (row.cargo ? cargo : pax).push_back(row.title);
    }
    store();
}

void lf_reportGenericLiveries()
{
    const auto it = AirlineIndex.find("ZZZ");
    if (it == AirlineIndex.end()) {
        gf_log("No generic liveries");
        return;
    }
    std::vector<std::string> codes;
    for (const auto& entry : it->second)
        codes.push_back(entry.first);
    lf_sortUnique(codes);
    gf_log(fmt::format("{} model{} have a generic livery", codes.size(), gf_plural(codes.size())));
    lf_logModelRows(codes);
}

void lf_reportLiveryCategories(std::int32_t sizeClass)
{
    std::array<std::size_t, 2> counts{};
    std::vector<std::string> codes;
    for (std::size_t slot : {kPaxSlot, kCargoSlot}) {
        for (const auto& [model, titles] : ModelTables[slot]) {
            if (gf_modelSizeClass(model) != sizeClass)
                continue;
            counts[slot] += titles.size();
            codes.insert(codes.end(), titles.size(), model);
        }
    }
    if (counts[kPaxSlot] + counts[kCargoSlot] == 0) {
        gf_log(fmt::format("Category {}: No livery found", lf_categoryText(sizeClass)));
        lf_switchOffEmptyClass(sizeClass);
        return;
    }
    std::string line = fmt::format("Category {}: {} pax liverie{}", lf_categoryText(sizeClass), counts[kPaxSlot],
                                   gf_plural(counts[kPaxSlot]));
    if (counts[kCargoSlot] != 0)
        line += fmt::format(" and {} cargo liverie{}", counts[kCargoSlot], gf_plural(counts[kCargoSlot]));
    gf_log(line);
    lf_sortUnique(codes);
    lf_logModelRows(codes);
    if (std::vector<std::string>* list = gf_classModelList(sizeClass))
        list->insert(list->end(), codes.begin(), codes.end());
    if (const ClassSwitch sw = lf_classSwitch(sizeClass); sw.box != nullptr)
        gf_enableControl(*sw.box);
}

void lf_processScannedLiveries()
{
    if (liveryTablesBuilt) {
        gf_log("Processing scanned liveries skipped; already done in previous start-up");
        ScannedLiveries.clear();
        return;
    }
    try {
        lf_readLiveriesScanned();
    } catch (...) {
        ScannedLiveries.clear();
        throw;
    }
    g_mainWindow.liveryCount = ScannedLiveries.size();
    gf_invalidateStatusArea();
    lf_buildAirlineIndex();
    lf_buildAirlineModelTables();
    lf_reportInlineRegcodeClashes();
    if (!lf_processRegcodes()) {
        // Tables without the registration-code list would serve the whole session: they are not
        // built, and the restart's start-up builds them again from the saved scan.
        gf_log("Processing scanned liveries stopped: the download of the registration codes was stopped");
        gf_clearLiveryTables();
        ScannedLiveries.clear();
        return;
    }
    gf_log(fmt::format("{} registration codes", RegcodeMap.size()));
    lf_buildModelTables();
    gf_log(fmt::format("{} airlines, {} pax aircraft models and {} cargo aircraft models", AirlineIndex.size(),
                       ModelTables[kPaxSlot].size(), ModelTables[kCargoSlot].size()));
    gf_buildSimilarModelGroups();
    lf_reportGenericLiveries();
    for (std::int32_t sizeClass = 0; sizeClass < 6; ++sizeClass)
        lf_reportLiveryCategories(sizeClass);
    liveryTablesBuilt = true;
    gf_invalidateStatusArea();
    ScannedLiveries.clear();
}

std::string_view lf_findLiveryTitle(std::string_view title)
{
    const auto found = TitleIndex.find(title);
    return found == TitleIndex.end() ? std::string_view() : *found;
}

bool lf_airlineHasModel(const std::string& airline, const std::string& model)
{
    const auto it = AirlineIndex.find(airline);
    return it != AirlineIndex.end() && it->second.count(model) != 0;
}

bool lf_modelHasLiveries(const std::string& model)
{
    return ModelTables[kPaxSlot].count(model) != 0 || ModelTables[kCargoSlot].count(model) != 0;
}

std::vector<std::string> lf_listLiveryAirlines()
{
    std::vector<std::string> airlines;
    airlines.reserve(AirlineIndex.size());
    for (const auto& entry : AirlineIndex)
        airlines.push_back(entry.first.substr(0, 3));
    return airlines;
}

void gf_reserveMatchingTables()
{
    static bool reserved = false;
    if (reserved)
        return;
    reserved = true;
    SpecialTitles.reserve(4096);
    ClassModelLists[0].reserve(64);
    ClassModelLists[1].reserve(128);
    ClassModelLists[2].reserve(32);
}

void gf_clearLiveryTables()
{
    for (std::vector<std::string>& list : ClassModelLists)
        list.clear();
    SpecialTitles.clear();
    RegcodeMap.clear();
    for (std::size_t slot : {kPaxSlot, kCargoSlot}) {
        ModelTables[slot].clear();
        AirlineModelTables[slot].clear();
    }
    gf_clearSimilarModelGroups();
    TitleIndex.clear();
    AirlineIndex.clear();
    liveryTablesBuilt = false;
}
