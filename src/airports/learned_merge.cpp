#include "airports/learned_merge.h"

#include "airports/airport_file_locator.h"
#include "airports/shell_services.h"
#include "airports/stand_file.h"
#include "core/clock.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "core/xml.h"
#include "params/names.h"
#include "params/xml_meta.h"
#include "simlink/sim_state.h"

#include <algorithm>
#include <fmt/format.h>
#include <set>
#include <stdexcept>
#include <unordered_map>

namespace {

void lf_replaceFirst(std::string& text, std::string_view what, std::string_view with)
{
    if (const std::size_t at = text.find(what); at != std::string::npos)
        text.replace(at, what.size(), with);
}

void lf_replaceAll(std::string& text, std::string_view what, std::string_view with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

void lf_logSetting(std::string_view name, const auto& value)
{
    gf_logIndented(fmt::format("{:24}: {}", name, value));
}

void lf_readBoolSetting(const pugi::xml_document& document, CheckBox& box)
{
    if (const std::optional<bool> value = lf_getBoolParameter(document, box.name)) {
        box.value = *value;
        gf_setCheckMark(box, *value);
        lf_logSetting(box.name, *value);
    }
}

void lf_readMaxLive(const pugi::xml_document& document)
{
    if (const std::optional<std::int32_t> value = lf_getIntParameter(document, MAX_LIVE.name)) {
        MAX_LIVE.setValue(*value);
        lf_logSetting(MAX_LIVE.name, *value);
    } else {
        MAX_LIVE.setValue(-1);
    }
    gf_updateTextBoxFormatted(MAX_LIVE);
}

void lf_readLateralRange(const pugi::xml_document& document)
{
    const std::optional<std::int32_t> value = lf_getIntParameter(document, LATERAL_RANGE.name);
    if (!value)
        return;
    gf_setTrafficRangeNm(*value);
    gf_updateTextBoxFormatted(LATERAL_RANGE);
    gf_enableControl(LATERAL_RANGE);
    lf_logSetting(LATERAL_RANGE.name, *value);
}

void lf_readAutoRange(const pugi::xml_document& document)
{
    const std::optional<bool> value = lf_getBoolParameter(document, AUTO_RANGE.name);
    if (!value)
        return;
    AUTO_RANGE.value = *value;
    gf_setCheckMark(AUTO_RANGE, *value);
    lf_logSetting(AUTO_RANGE.name, *value);
    if (!*value) {
        gf_enableControl(LATERAL_RANGE);
        LATERAL_RANGE.setValue(manualTrafficRange.load());
        gf_setTrafficRangeNm(LATERAL_RANGE.value.load());
        gf_withdrawMessage();
    } else {
        manualTrafficRange = LATERAL_RANGE.value.load();
        gf_chooseTrafficRange({userOnGround.load(), userAc.altitude, {userAc.latitude, userAc.longitude}});
        gf_disableControl(LATERAL_RANGE);
    }
    gf_updateTextBoxFormatted(LATERAL_RANGE);
    groundRangeFlag = *value && trafficRangeNm.load() == 10.0;
}

void lf_readParkingPercentage(const pugi::xml_document& document)
{
    if (const std::optional<std::int32_t> value = lf_getIntParameter(document, parking_percentage.name)) {
        parking_percentage.setValue(*value);
        lf_logSetting(parking_percentage.name, *value);
    } else {
        parking_percentage.setValue(30);
    }
    gf_updateTextBoxFormatted(parking_percentage);
}

void lf_readMaxFit(const pugi::xml_document& document)
{
    const std::optional<std::int32_t> value = lf_getIntParameter(document, MAX_FIT.name);
    if (!value)
        return;
    MAX_FIT.setValue(*value);
    const float hours = static_cast<float>(MAX_FIT.value.load()) * 0.5f + 0.5f;
    MAX_FIT_FL.value = hours;
    gf_updateTextBoxInt(MAX_FIT_FL);
    gf_logIndented(fmt::format("{:24}: {} (max number of half hours, is {} hrs decimal)", MAX_FIT.name,
                               MAX_FIT.value.load(), gf_formatNumber(hours)));
}

void lf_readLearnedSettings(const pugi::xml_document& document)
{
    lf_readBoolSetting(document, LEARN_SOFT);
    lf_readMaxLive(document);
    lf_readLateralRange(document);
    lf_readAutoRange(document);
    lf_readBoolSetting(document, PARK_FAKE);
    lf_readBoolSetting(document, WEEK);
    lf_readBoolSetting(document, PARK_SOFT);
    lf_readParkingPercentage(document);
    lf_readBoolSetting(document, INITIAL_LOAD_ONLY);
    lf_readMaxFit(document);
}

// The stands of a table by name, the first of a name in table order; stands that the merge
// appends are taken in as they come. A large airport's learned file names every stand, and a
// search of the table for each would cost the square of its stands.
class StandsByName {
public:
    explicit StandsByName(std::vector<Stand>& table) : table_(table) {}
    Stand* find(const std::string& name)
    {
        for (; indexed_ < table_.size(); ++indexed_)
            index_.emplace(table_[indexed_].name, indexed_);
        const auto it = index_.find(name);
        return it == index_.end() ? nullptr : &table_[it->second];
    }

private:
    std::vector<Stand>& table_;
    std::unordered_map<std::string, std::size_t> index_;
    std::size_t indexed_ = 0;
};

void lf_mergeManualStand(StandsByName& stands, std::vector<Stand>& table, const pugi::xml_node& parkpos,
                         const std::string& id, const std::string& learnedPath)
{
    if (stands.find(id) != nullptr) {
        gf_logWarning(fmt::format("manually created standid {} already exists in {}", id, learnedPath));
        return;
    }
    const LatLon position{gf_xmlAttributeAsDouble(parkpos, "latitude"), gf_xmlAttributeAsDouble(parkpos, "longitude")};
    if (!lf_isPlausiblePosition(position) || gf_xmlAttributeAsDouble(parkpos, "radius") == 0.0) {
        gf_logWarning(fmt::format("manually created standid {} misses correct attributes in {}", id, learnedPath));
        return;
    }
    if (lf_readParkPositions(table, parkpos, id, 0, learnedPath))
        table.back().manual = true;
}

void lf_mergeLearnedStands(std::vector<Stand>& table, const pugi::xml_document& document,
                           const std::string& learnedPath)
{
    StandsByName stands(table);
    for (const pugi::xml_node parkpos : document.child("parkpositions").children("parkpos")) {
        const std::string id = parkpos.attribute("id").value();
        if (lf_boolAttribute(parkpos, "manual")) {
            lf_mergeManualStand(stands, table, parkpos, id, learnedPath);
            continue;
        }
        Stand* stand = stands.find(id);
        if (stand == nullptr || !lf_applyLearnedChanges(parkpos, id, *stand))
            gf_log(fmt::format("learned stand {} in {} not found?", id, learnedPath));
    }
}

std::string lf_optionKey(const ParkPosOption& o)
{
    std::string key = o.reg;
    key.append(1, '\0').append(o.airl).append(1, '\0').append(o.type).append(1, '\0');
    key.append(std::to_string(o.day)).append(1, o.real == 0 ? 's' : 'r');
    return key;
}

bool lf_sameOption(const ParkPosOption& a, const ParkPosOption& b)
{
    return a.day == b.day && a.real == b.real && a.reg == b.reg && a.airl == b.airl && a.type == b.type &&
           (a.hours & b.hours).any();
}

void lf_keepCorruptCopy(const std::string& learnedPath, const char* description)
{
    std::string copy = learnedPath;
    const std::size_t dot = copy.rfind('.');
    copy.insert(dot == std::string::npos ? copy.size() : dot, "0");
    fs::copy_file(learnedPath, copy, fs::copy_options::overwrite_existing);
    gf_log(fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}", learnedPath, description));
}

// The settings, messages and log lines of the merge in their order, the stands' part taken from
// the merge done before.
void lf_mergeLearned(const std::string& learnedPath, const pugi::xml_document& document,
                     const pugi::xml_parse_result& result, const ApfInfo& info, const LearnedStandsMerge& stands)
{
    if (!result) {
        lf_keepCorruptCopy(learnedPath, result.description());
        return;
    }
    gf_log(fmt::format("Read from learned airport file: \"{}\"", learnedPath));
    if (!gf_checkMetaBlock(document))
        return;
    const std::string name = lf_getStringParameter(document, "airport_name").value_or("");
    if (name != info.airport_name)
        gf_reportMessage(fmt::format("Warning: learned file airport name: \"{}\" differs from archived file airport "
                                   "name: \"{}\"",
                                   name, info.airport_name),
                       true);
    lf_readLearnedSettings(document);
    const std::optional<std::string> handmade = lf_getStringParameter(document, "handmade");
    handmadeOverrule = handmade.has_value();
    gf_logHeldLines(stands.lines);
    if (!stands.failure.empty())
        throw std::runtime_error(stands.failure);
    if (handmade)
        lf_logSetting("handmade", *handmade);
}

} // namespace

std::string lf_publisherFolderName(const std::string& publisher)
{
    std::string name = publisher;
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    if (name.empty() || name == "." || name == "..")
        return "unknown";
    return name;
}

std::string lf_learnedApfPath(const std::string& apfPath, const std::string& publisher)
{
    std::string path = apfPath;
    const std::string learned = g_learnedFolder.string();
    if (path.find("archive") != std::string::npos) {
        lf_replaceFirst(path, "archive", learned);
        std::replace(path.begin(), path.end(), '/', static_cast<char>(fs::path::preferred_separator));
        lf_replaceAll(path, "%20", " ");
        return path;
    }
    if (path.size() < 8 || !path.starts_with("airports"))
        return path;
    lf_replaceFirst(path, "airports", learned);
    const std::string byPublisher = (fs::path("thirdparty") / lf_publisherFolderName(publisher)).string();
    if (path.find("my_thirdparty2024") != std::string::npos)
        lf_replaceFirst(path, "my_thirdparty2024", byPublisher);
    else
        lf_replaceFirst(path, "my_thirdparty", byPublisher);
    return path;
}

std::string lf_publisherLearnedPath(const std::string& publisher, std::string_view code)
{
    fs::path folder = g_learnedThirdpartyFolder / lf_publisherFolderName(publisher);
    if (publisher == "stock")
        folder = g_learnedStockFolder;
    else if (publisher == "simaddon")
        folder = g_learnedSimaddonFolder;
    return (folder / gf_airportXmlPath(code)).string();
}

std::string lf_learnedFileOf(const std::string& apfPath, const std::string& publisher, std::string_view code)
{
    std::string path = lf_learnedApfPath(apfPath, publisher);
    if (!path.starts_with(g_learnedFolder.string() + static_cast<char>(fs::path::preferred_separator)))
        path = lf_publisherLearnedPath(publisher, code);
    return path;
}

void lf_readUniqueParkPositions(std::vector<Stand>& table, const pugi::xml_document& document, std::uint32_t fixed,
                                std::string_view file)
{
    std::set<std::string> ids;
    for (const pugi::xml_node parkpos : document.child("parkpositions").children("parkpos")) {
        const std::string id = parkpos.attribute("id").value();
        if (!ids.insert(id).second)
            throw qmx::UserErrorException(94, "Parking position " + id + " appears more than once?");
        lf_readParkPositions(table, parkpos, id, fixed, file);
    }
}

void lf_readUniqueParkPositions(const pugi::xml_document& document, std::uint32_t fixed, std::string_view file)
{
    lf_readUniqueParkPositions(standTable, document, fixed, file);
}

LearnedStandsMerge lf_mergeLearnedStandsInto(std::vector<Stand>& table, const std::string& learnedPath,
                                             const pugi::xml_document& document, const pugi::xml_parse_result& result)
{
    LearnedStandsMerge merge;
    // The merge in its turn says what the file's parse and meta block were.
    if (!result || !gf_metaBlockComplete(document))
        return merge;
    LogHold hold;
    try {
        if (lf_getStringParameter(document, "handmade")) {
            table.clear();
            lf_readUniqueParkPositions(table, document, 1, learnedPath);
        } else {
            lf_mergeLearnedStands(table, document, learnedPath);
        }
    } catch (const std::exception& e) {
        merge.failure = e.what();
    }
    merge.lines = hold.take();
    return merge;
}

bool lf_applyLearnedChanges(const pugi::xml_node& parkpos, const std::string& id, Stand& stand)
{
    if (stand.name != id)
        return false;
    if (lf_boolAttribute(parkpos, "radius_change") && lf_unusableStandAttribute(parkpos) != "radius") {
        stand.radius = gf_xmlAttributeAsDouble(parkpos, "radius") * kNmPerMetre;
        stand.radiusChange = true;
    }
    if (lf_boolAttribute(parkpos, "cargo_change")) {
        stand.cargo = lf_boolAttribute(parkpos, "cargo");
        stand.cargoChange = true;
    }
    std::uint32_t number = stand.opts.empty() ? 1 : stand.opts.back().number + 1;
    // The options by aircraft and day, so that a stand of many learned options is not searched
    // whole for each of them.
    std::unordered_multimap<std::string, std::size_t> known;
    for (std::size_t i = 0; i < stand.opts.size(); ++i)
        known.emplace(lf_optionKey(stand.opts[i]), i);
    for (const pugi::xml_node opt : parkpos.children("opt")) {
        ParkPosOption option = lf_readOption(opt, number, 0);
        std::string key = lf_optionKey(option);
        const auto [first, last] = known.equal_range(key);
        if (std::any_of(first, last, [&](const auto& entry) { return lf_sameOption(stand.opts[entry.second], option); }))
            continue;
        known.emplace(std::move(key), stand.opts.size());
        stand.opts.push_back(std::move(option));
        ++number;
    }
    return true;
}

void lf_readLearned(const std::string& learnedPath, const pugi::xml_document& document,
                    const pugi::xml_parse_result& result, const ApfInfo& info, const LearnedStandsMerge& stands)
{
    try {
        lf_mergeLearned(learnedPath, document, result, info, stands);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "lf_readLearned", e.what()));
    }
}
