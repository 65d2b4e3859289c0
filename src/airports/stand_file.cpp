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

bool lf_appendSettings(pugi::xml_node parameters)
{
    bool ok = gf_appendIntParameter(parameters, LATERAL_RANGE.name, LATERAL_RANGE.value.load()) &&
              gf_appendBoolParameter(parameters, AUTO_RANGE.name, AUTO_RANGE.value.load()) &&
              gf_appendBoolParameter(parameters, WEEK.name, WEEK.value.load()) &&
              gf_appendBoolParameter(parameters, PARK_FAKE.name, PARK_FAKE.value.load()) &&
              gf_appendBoolParameter(parameters, PARK_SOFT.name, PARK_SOFT.value.load()) &&
              gf_appendIntParameter(parameters, parking_percentage.name, parking_percentage.value.load()) &&
              gf_appendBoolParameter(parameters, INITIAL_LOAD_ONLY.name, INITIAL_LOAD_ONLY.value.load()) &&
              gf_appendIntParameter(parameters, MAX_FIT.name, MAX_FIT.value.load());
    // -1 stands for no limit and is left out.
    if (ok && MAX_LIVE.value.load() >= 0)
        ok = gf_appendIntParameter(parameters, MAX_LIVE.name, MAX_LIVE.value.load());
    return ok && gf_appendBoolParameter(parameters, LEARN_SOFT.name, LEARN_SOFT.value.load());
}

void lf_writeFullStand(pugi::xml_node parkpos, const Stand& stand)
{
    parkpos.append_attribute("latitude") = FixedText(stand.lat, 6).c_str();
    parkpos.append_attribute("longitude") = FixedText(stand.lon, 6).c_str();
    parkpos.append_attribute("heading") = FixedText(stand.heading * geo::kRadToDeg, 1, true).c_str();
    parkpos.append_attribute("radius") = FixedText(stand.radius * kMetresPerNm, 1, true).c_str();
    if (stand.heli)
        parkpos.append_attribute("heli") = "true";
    else
        parkpos.append_attribute("cargo") = lf_boolText(stand.cargo);
    parkpos.append_attribute("ramp") = lf_boolText(stand.ramp);
    if (stand.manual)
        parkpos.append_attribute("manual") = "true";
}

void lf_writeStandChanges(pugi::xml_node parkpos, const Stand& stand)
{
    if (stand.radiusChange) {
        parkpos.append_attribute("radius_change") = "true";
        parkpos.append_attribute("radius") = FixedText(stand.radius * kMetresPerNm, 1, true).c_str();
    }
    if (stand.cargoChange) {
        parkpos.append_attribute("cargo_change") = "true";
        parkpos.append_attribute("cargo") = lf_boolText(stand.cargo);
    }
}

pugi::xml_node lf_findParameter(const pugi::xml_document& document, std::string_view name)
{
    return document.select_node(gf_parameterQuery(name).c_str()).node();
}

// A generated file says so in its meta block, so that a later scan removes it and nothing else.
bool lf_markGenerated(pugi::xml_document& document, ApfWriteMode mode)
{
    if (mode != ApfWriteMode::Generated)
        return true;
    pugi::xml_node info = document.child("meta").append_child("info");
    return info && info.append_attribute("name").set_value(kGeneratedMark.data()) &&
           info.append_attribute("value").set_value(kGeneratedByScan.data());
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

bool gf_appendParameter(pugi::xml_node node, std::string_view name, std::uint32_t value)
{
    pugi::xml_node parameter = node.append_child("parameter");
    if (!parameter)
        return false;
    pugi::xml_attribute nameAttribute = parameter.append_attribute("name");
    pugi::xml_attribute valueAttribute = parameter.append_attribute("value");
    return nameAttribute && valueAttribute && nameAttribute.set_value(std::string(name).c_str()) &&
           valueAttribute.set_value(value);
}

bool lf_writeAirportParameters(pugi::xml_node document, const AirportFile& file, ApfWriteMode mode)
{
    pugi::xml_node parameters = document.append_child("parameters");
    if (!parameters)
        return false;
    bool ok = gf_appendStringParameter(parameters, "airport_name", file.airport_name) &&
              gf_appendStringParameter(parameters, "publisher", file.publisher);
    if (ok && handmadeOverrule)
        ok = gf_appendBoolParameter(parameters, "handmade", true);
    if (ok && (handmadeOverrule || mode == ApfWriteMode::Generated))
        ok = gf_appendStringParameter(parameters, "altitude", fmt::format("{}", file.altitude));
    if (ok)
        ok = gf_appendParameter(parameters, "num_parkpos", static_cast<std::uint32_t>(file.stands.size()));
    if (ok && handmadeOverrule)
        ok = gf_appendIntParameter(parameters, "Qf_real", file.Qf_real) &&
             gf_appendIntParameter(parameters, "Qf_soft", file.Qf_soft);
    if (ok && file.publisher == "unknown")
        ok = gf_appendStringParameter(parameters, "BGLpath", file.BGLpath);
    if (ok && mode == ApfWriteMode::LearnedSave)
        ok = lf_appendSettings(parameters);
    return ok;
}

void lf_writeParkpos(pugi::xml_node parkpositions, const Stand& stand, ApfWriteMode mode)
{
    pugi::xml_node parkpos = parkpositions.append_child("parkpos");
    parkpos.append_attribute("id") = stand.name.c_str();
    if (mode == ApfWriteMode::Generated) {
        lf_writeFullStand(parkpos, stand);
        return;
    }
    if ((stand.radiusChange || stand.cargoChange) && !stand.manual)
        lf_writeStandChanges(parkpos, stand);
    else if (stand.manual || handmadeOverrule)
        lf_writeFullStand(parkpos, stand);
    for (const ParkPosOption& option : stand.opts)
        lf_writeOpt(parkpos, option);
}

void lf_writeOpt(pugi::xml_node parkpos, const ParkPosOption& option)
{
    if (option.number == 0)
        return;
    pugi::xml_node opt = parkpos.append_child("opt");
    opt.append_attribute("reg") = option.reg.c_str();
    if (!gf_regcodeLookup(option.reg)) {
        opt.append_attribute("airl") = option.airl.c_str();
        opt.append_attribute("type") = option.type.c_str();
    }
    if (option.real == 0)
        opt.append_attribute("soft") = "true";
    opt.append_attribute("day") = option.day;
    opt.append_attribute("hh") = gf_bitset2hours(option.hours).c_str();
    const std::string cs = option.csSuffix.empty() ? option.cs : option.cs + ":" + option.csSuffix;
    if (!cs.empty())
        opt.append_attribute("cs") = cs.c_str();
}

bool gf_writeApf(const AirportFile& file, const std::filesystem::path& path, ApfWriteMode mode)
{
    pugi::xml_document document;
    if (!gf_addMetaBlock(document) || !lf_markGenerated(document, mode) ||
        !lf_writeAirportParameters(document, file, mode))
        return false;
    pugi::xml_node parkpositions = document.append_child("parkpositions");
    for (const Stand& stand : file.stands)
        lf_writeParkpos(parkpositions, stand, mode);
    const SaveDurability durability =
        mode == ApfWriteMode::Generated ? SaveDurability::Regenerable : SaveDurability::FlushedBeforeRename;
    return gf_saveFileAtomically(
        path,
        [&](std::ostream& out) {
            document.save(out);
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

bool lf_readParkPositions(const pugi::xml_node& parkpos, const std::string& name, std::uint32_t fixed,
                          std::string_view file)
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
    standTable.emplace_back(name, std::move(options), StandPlacement{latitude, longitude, heading}, radiusMetres,
                            !cargo, !ramp, !heli);
    return true;
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
