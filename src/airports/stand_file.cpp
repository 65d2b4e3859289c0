#include "airports/stand_file.h"

#include "airports/apf_state.h"
#include "core/files.h"
#include "core/log.h"
#include "core/xml.h"
#include "params/xml_meta.h"
#include "liveries/registrations.h"
#include "params/parameter_store.h"
#include "params/parameters.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fmt/format.h>

namespace {

constexpr std::string_view kGeneratedMark = "generated";
constexpr std::string_view kGeneratedByScan = "add-on airport scan";

constexpr double kMetresPerNm = 1852.0;

const char* lf_boolText(bool value)
{
    return value ? "true" : "false";
}

// A number in fixed notation with `decimals` decimals, the text that fmt's "{:.Nf}" gives (both
// round the exact binary value), at a third of its cost: a generated file holds four per stand.
// Infinity and not-a-number are written in upper case when `upperCase`, as "{:.NF}" does.
class FixedText {
public:
    FixedText(double value, int decimals, bool upperCase = false)
    {
        if (std::isfinite(value)) {
            *std::to_chars(text.data(), text.data() + text.size() - 1, value, std::chars_format::fixed, decimals).ptr = '\0';
            return;
        }
        const std::string written = upperCase ? fmt::format("{:.{}F}", value, decimals) : fmt::format("{:.{}f}", value, decimals);
        *std::copy(written.begin(), written.end(), text.data()) = '\0';
    }
    const char* c_str() const { return text.data(); }

private:
    std::array<char, 336> text; // room for the largest double: 309 digits, sign, point, decimals
};

void lf_writeParameter(XmlTextWriter& xml, std::string_view name, std::string_view value)
{
    xml.start("parameter");
    xml.attribute("name", name);
    xml.attribute("value", value);
    xml.end();
}

void lf_writeIntParameter(XmlTextWriter& xml, std::string_view name, std::int64_t value)
{
    lf_writeParameter(xml, name, fmt::format("{}", value));
}

void lf_appendSettings(XmlTextWriter& xml)
{
    lf_writeIntParameter(xml, LATERAL_RANGE.name, LATERAL_RANGE.value.load());
    lf_writeParameter(xml, AUTO_RANGE.name, lf_boolText(AUTO_RANGE.value.load()));
    lf_writeParameter(xml, WEEK.name, lf_boolText(WEEK.value.load()));
    lf_writeParameter(xml, PARK_FAKE.name, lf_boolText(PARK_FAKE.value.load()));
    lf_writeParameter(xml, PARK_SOFT.name, lf_boolText(PARK_SOFT.value.load()));
    lf_writeIntParameter(xml, parking_percentage.name, parking_percentage.value.load());
    lf_writeParameter(xml, INITIAL_LOAD_ONLY.name, lf_boolText(INITIAL_LOAD_ONLY.value.load()));
    lf_writeIntParameter(xml, MAX_FIT.name, MAX_FIT.value.load());
    // -1 stands for no limit and is left out.
    if (MAX_LIVE.value.load() >= 0)
        lf_writeIntParameter(xml, MAX_LIVE.name, MAX_LIVE.value.load());
    lf_writeParameter(xml, LEARN_SOFT.name, lf_boolText(LEARN_SOFT.value.load()));
}

void lf_writeFullStand(XmlTextWriter& xml, const Stand& stand)
{
    xml.attribute("latitude", FixedText(stand.lat, 6).c_str());
    xml.attribute("longitude", FixedText(stand.lon, 6).c_str());
    xml.attribute("heading", FixedText(stand.heading * geo::kRadToDeg, 1, true).c_str());
    xml.attribute("radius", FixedText(stand.radius * kMetresPerNm, 1, true).c_str());
    if (stand.heli)
        xml.attribute("heli", "true");
    else
        xml.attribute("cargo", lf_boolText(stand.cargo));
    xml.attribute("ramp", lf_boolText(stand.ramp));
    if (stand.manual)
        xml.attribute("manual", "true");
}

void lf_writeStandChanges(XmlTextWriter& xml, const Stand& stand)
{
    if (stand.radiusChange) {
        xml.attribute("radius_change", "true");
        xml.attribute("radius", FixedText(stand.radius * kMetresPerNm, 1, true).c_str());
    }
    if (stand.cargoChange) {
        xml.attribute("cargo_change", "true");
        xml.attribute("cargo", lf_boolText(stand.cargo));
    }
}

pugi::xml_node lf_findParameter(const pugi::xml_document& document, std::string_view name)
{
    return document.select_node(gf_parameterQuery(name).c_str()).node();
}

} // namespace

bool gf_isGeneratedApf(const std::filesystem::path& path)
{
    pugi::xml_document document;
    if (!document.load_file(path.c_str()))
        return false;
    const std::string query = gf_metaInfoQuery(kGeneratedMark);
    return document.select_node(query.c_str()).node().attribute("value").value() == kGeneratedByScan;
}

void lf_writeAirportParameters(XmlTextWriter& xml, const AirportFile& file, ApfWriteMode mode)
{
    xml.start("parameters");
    lf_writeParameter(xml, "airport_name", file.airport_name);
    lf_writeParameter(xml, "publisher", file.publisher);
    if (handmadeOverrule)
        lf_writeParameter(xml, "handmade", "true");
    if (handmadeOverrule || mode == ApfWriteMode::Generated)
        lf_writeIntParameter(xml, "altitude", file.altitude);
    lf_writeIntParameter(xml, "num_parkpos", static_cast<std::uint32_t>(file.stands.size()));
    if (handmadeOverrule) {
        lf_writeIntParameter(xml, "Qf_real", file.Qf_real);
        lf_writeIntParameter(xml, "Qf_soft", file.Qf_soft);
    }
    if (file.publisher == "unknown")
        lf_writeParameter(xml, "BGLpath", file.BGLpath);
    if (mode == ApfWriteMode::LearnedSave)
        lf_appendSettings(xml);
    xml.end();
}

void lf_writeParkpos(XmlTextWriter& xml, const Stand& stand, ApfWriteMode mode)
{
    xml.start("parkpos");
    xml.attribute("id", stand.name);
    if (mode == ApfWriteMode::Generated) {
        lf_writeFullStand(xml, stand);
    } else {
        if ((stand.radiusChange || stand.cargoChange) && !stand.manual)
            lf_writeStandChanges(xml, stand);
        else if (stand.manual || handmadeOverrule)
            lf_writeFullStand(xml, stand);
        for (const ParkPosOption& option : stand.opts)
            lf_writeOpt(xml, option);
    }
    xml.end();
}

void lf_writeOpt(XmlTextWriter& xml, const ParkPosOption& option)
{
    if (option.number == 0)
        return;
    xml.start("opt");
    xml.attribute("reg", option.reg);
    if (!gf_regcodeLookup(option.reg)) {
        xml.attribute("airl", option.airl);
        xml.attribute("type", option.type);
    }
    if (option.real == 0)
        xml.attribute("soft", "true");
    xml.attribute("day", fmt::format("{}", option.day));
    xml.attribute("hh", gf_bitset2hours(option.hours));
    const std::string cs = option.csSuffix.empty() ? option.cs : option.cs + ":" + option.csSuffix;
    if (!cs.empty())
        xml.attribute("cs", cs);
    xml.end();
}

// Written as text, element by element: a scan writes a generated file for every add-on airport,
// and building a document for each cost more than decoding the airport.
bool gf_writeApf(const AirportFile& file, const std::filesystem::path& path, ApfWriteMode mode)
{
    constexpr std::size_t kHeadBytes = 1024;
    constexpr std::size_t kStandBytes = 160; // a generated stand's line takes about 120
    XmlTextWriter xml;
    xml.reserve(kHeadBytes + kStandBytes * file.stands.size());
    if (mode == ApfWriteMode::Generated) // a generated file says so, so that a later scan removes it and nothing else
        gf_writeMetaBlock(xml, {{kGeneratedMark, kGeneratedByScan}});
    else
        gf_writeMetaBlock(xml);
    lf_writeAirportParameters(xml, file, mode);
    xml.start("parkpositions");
    for (const Stand& stand : file.stands)
        lf_writeParkpos(xml, stand, mode);
    xml.end();
    const SaveDurability durability =
        mode == ApfWriteMode::Generated ? SaveDurability::Regenerable : SaveDurability::FlushedBeforeRename;
    return gf_saveFileAtomically(
        path,
        [&](std::ostream& out) {
            out << xml.text();
            return true;
        },
        durability);
}

bool lf_isTrueText(std::string_view text)
{
    return !text.empty() && std::string_view("1tTyY").find(text.front()) != std::string_view::npos;
}

bool lf_boolAttribute(const pugi::xml_node& node, const char* name)
{
    return lf_isTrueText(node.attribute(name).value());
}

AirlineAndType lf_readAirlineAttributes(const pugi::xml_node& opt)
{
    return {opt.attribute("airl").value(), opt.attribute("type").value()};
}

OptIdentity lf_readOpt(const pugi::xml_node& opt)
{
    OptIdentity identity;
    const std::string cs = opt.attribute("cs").value();
    const std::size_t colon = cs.find(':');
    identity.cs = cs.substr(0, colon);
    if (colon != std::string::npos && cs.find(':', colon + 1) == std::string::npos)
        identity.csSuffix = cs.substr(colon + 1);
    const std::string reg = opt.attribute("reg").value();
    if (const std::optional<DbaseRegRecord> codes = gf_regcodeLookup(reg)) {
        identity.airl = codes->operatorCode.empty() ? codes->airline : codes->operatorCode;
        identity.type = codes->model;
        return identity;
    }
    AirlineAndType codes = lf_readAirlineAttributes(opt);
    identity.airl = std::move(codes.airl);
    identity.type = std::move(codes.type);
    return identity;
}

ParkPosOption lf_readOption(const pugi::xml_node& opt, std::uint32_t number, std::uint32_t fixed)
{
    OptIdentity identity = lf_readOpt(opt);
    ParkPosOption option;
    option.airl = std::move(identity.airl);
    option.type = std::move(identity.type);
    option.reg = opt.attribute("reg").value();
    option.cs = std::move(identity.cs);
    option.csSuffix = std::move(identity.csSuffix);
    option.hours = lf_hours2bitset(opt.attribute("hh").value());
    option.number = number;
    option.day = opt.attribute("day").as_uint(0);
    option.fixed = fixed;
    option.real = lf_boolAttribute(opt, "soft") ? 0 : 1;
    return option;
}

std::string lf_unusableStandAttribute(const pugi::xml_node& parkpos)
{
    // The texts are tested themselves: "nan" or "inf" must not pass as a number of the table.
    for (const char* name : {"latitude", "longitude", "heading", "radius"}) {
        if (!std::isfinite(std::strtod(parkpos.attribute(name).value(), nullptr)))
            return name;
    }
    return gf_xmlAttributeAsDouble(parkpos, "radius") < 0.0 ? "radius" : "";
}

bool lf_readParkPositions(std::vector<Stand>& table, const pugi::xml_node& parkpos, const std::string& name,
                          std::uint32_t fixed, std::string_view file)
{
    if (const std::string attribute = lf_unusableStandAttribute(parkpos); !attribute.empty()) {
        gf_logWarning(fmt::format("{}: stand {} refused, its {} is \"{}\"", file, name, attribute,
                                  parkpos.attribute(attribute.c_str()).value()));
        return false;
    }
    const double latitude = gf_xmlAttributeAsDouble(parkpos, "latitude");
    const double longitude = gf_xmlAttributeAsDouble(parkpos, "longitude");
    const double radiusMetres = gf_xmlAttributeAsDouble(parkpos, "radius");
    std::vector<ParkPosOption> options;
    options.reserve(256);
    std::uint32_t number = 1;
    for (const pugi::xml_node opt : parkpos.children("opt"))
        options.push_back(lf_readOption(opt, number++, fixed));
    const bool heli = lf_boolAttribute(parkpos, "heli");
    const bool ramp = lf_boolAttribute(parkpos, "ramp");
    const bool cargo = lf_boolAttribute(parkpos, "cargo");
    const double heading = gf_xmlAttributeAsDouble(parkpos, "heading") * geo::kDegToRad;
    table.emplace_back(name, std::move(options), StandPlacement{latitude, longitude, heading}, radiusMetres, !cargo,
                       !ramp, !heli);
    return true;
}

bool lf_readParkPositions(const pugi::xml_node& parkpos, const std::string& name, std::uint32_t fixed,
                          std::string_view file)
{
    return lf_readParkPositions(standTable, parkpos, name, fixed, file);
}

std::optional<bool> lf_getBoolParameter(const pugi::xml_document& document, std::string_view name)
{
    const pugi::xml_node parameter = lf_findParameter(document, name);
    if (!parameter)
        return std::nullopt;
    return lf_isTrueText(parameter.attribute("value").value());
}

std::optional<std::int32_t> lf_getIntParameter(const pugi::xml_document& document, std::string_view name)
{
    const pugi::xml_node parameter = lf_findParameter(document, name);
    if (!parameter)
        return std::nullopt;
    return parameter.attribute("value").as_int(0);
}

std::optional<std::uint32_t> lf_getUintParameter(const pugi::xml_document& document)
{
    const pugi::xml_node parameter = lf_findParameter(document, "RT_traffic_week");
    if (!parameter)
        return std::nullopt;
    return parameter.attribute("value").as_uint(0);
}

std::optional<std::string> lf_getStringParameter(const pugi::xml_document& document, std::string_view name)
{
    const pugi::xml_node parameter = lf_findParameter(document, name);
    if (!parameter)
        return std::nullopt;
    return std::string(parameter.attribute("value").value());
}
