#include "datums.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace fakesim {

namespace {

// Values travel between the object and the wire in base units: radians, metres, metres per
// second, seconds; dimensionless datums (bool, mask, number, percent) as they are.
enum class Dim { None, Angle, Length, Speed, Time };

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr double kFoot = 0.3048;
constexpr double kKnot = 1852.0 / 3600.0;
constexpr double kFootPerMinute = kFoot / 60.0;

struct UnitInfo {
    std::string_view name;
    Dim dim;
    double factor;  // base units per unit
};

constexpr UnitInfo kUnits[] = {
    {"radian", Dim::Angle, 1.0},
    {"radians", Dim::Angle, 1.0},
    {"degree", Dim::Angle, kDeg},
    {"degrees", Dim::Angle, kDeg},
    {"degree latitude", Dim::Angle, kDeg},
    {"degrees latitude", Dim::Angle, kDeg},
    {"degree longitude", Dim::Angle, kDeg},
    {"degrees longitude", Dim::Angle, kDeg},
    {"meter", Dim::Length, 1.0},
    {"meters", Dim::Length, 1.0},
    {"metre", Dim::Length, 1.0},
    {"metres", Dim::Length, 1.0},
    {"m", Dim::Length, 1.0},
    {"foot", Dim::Length, kFoot},
    {"feet", Dim::Length, kFoot},
    {"ft", Dim::Length, kFoot},
    {"kilometer", Dim::Length, 1000.0},
    {"kilometers", Dim::Length, 1000.0},
    {"km", Dim::Length, 1000.0},
    {"nautical mile", Dim::Length, 1852.0},
    {"nautical miles", Dim::Length, 1852.0},
    {"nmile", Dim::Length, 1852.0},
    {"nmiles", Dim::Length, 1852.0},
    {"meters per second", Dim::Speed, 1.0},
    {"meter per second", Dim::Speed, 1.0},
    {"m/s", Dim::Speed, 1.0},
    {"knot", Dim::Speed, kKnot},
    {"knots", Dim::Speed, kKnot},
    {"kt", Dim::Speed, kKnot},
    {"kts", Dim::Speed, kKnot},
    {"feet per second", Dim::Speed, kFoot},
    {"foot per second", Dim::Speed, kFoot},
    {"feet/second", Dim::Speed, kFoot},
    {"ft/s", Dim::Speed, kFoot},
    {"feet per minute", Dim::Speed, kFootPerMinute},
    {"feet/minute", Dim::Speed, kFootPerMinute},
    {"ft/min", Dim::Speed, kFootPerMinute},
    {"kilometers per hour", Dim::Speed, 1.0 / 3.6},
    {"km/h", Dim::Speed, 1.0 / 3.6},
    {"miles per hour", Dim::Speed, 0.44704},
    {"second", Dim::Time, 1.0},
    {"seconds", Dim::Time, 1.0},
    {"minutes", Dim::Time, 60.0},
    {"hours", Dim::Time, 3600.0},
};

using Getter = double (*)(const SimObject&, const ZuluTime&);
using Setter = void (*)(SimObject&, double);

struct NumericDatum {
    std::string_view name;
    Dim dim;
    double nativeFactor;  // base units per native unit (used when the client's units do not fit)
    Getter get;
    Setter set;           // nullptr: written values are only kept
};

const NumericDatum kNumericDatums[] = {
    {"PLANE LATITUDE", Dim::Angle, 1.0, [](const SimObject& o, const ZuluTime&) { return o.pose.latitudeDeg * kDeg; },
     [](SimObject& o, double v) { o.pose.latitudeDeg = v / kDeg; }},
    {"PLANE LONGITUDE", Dim::Angle, 1.0,
     [](const SimObject& o, const ZuluTime&) { return o.pose.longitudeDeg * kDeg; },
     [](SimObject& o, double v) { o.pose.longitudeDeg = v / kDeg; }},
    {"PLANE ALTITUDE", Dim::Length, kFoot,
     [](const SimObject& o, const ZuluTime&) { return o.pose.altitudeFt * kFoot; },
     [](SimObject& o, double v) { o.pose.altitudeFt = v / kFoot; }},
    {"PLANE PITCH DEGREES", Dim::Angle, 1.0, [](const SimObject& o, const ZuluTime&) { return o.pose.pitchDeg * kDeg; },
     [](SimObject& o, double v) { o.pose.pitchDeg = v / kDeg; }},
    {"PLANE BANK DEGREES", Dim::Angle, 1.0, [](const SimObject& o, const ZuluTime&) { return o.pose.bankDeg * kDeg; },
     [](SimObject& o, double v) { o.pose.bankDeg = v / kDeg; }},
    {"PLANE HEADING DEGREES TRUE", Dim::Angle, 1.0,
     [](const SimObject& o, const ZuluTime&) { return o.pose.headingDeg * kDeg; },
     [](SimObject& o, double v) { o.pose.headingDeg = v / kDeg; }},
    {"PLANE HEADING DEGREES MAGNETIC", Dim::Angle, 1.0,
     [](const SimObject& o, const ZuluTime&) { return o.pose.headingDeg * kDeg; },
     [](SimObject& o, double v) { o.pose.headingDeg = v / kDeg; }},
    {"PLANE ALT ABOVE GROUND", Dim::Length, kFoot,
     [](const SimObject& o, const ZuluTime&) { return o.altAboveGroundFt() * kFoot; }, nullptr},
    {"GROUND ALTITUDE", Dim::Length, 1.0,
     [](const SimObject& o, const ZuluTime&) { return o.groundElevationFt * kFoot; }, nullptr},
    {"GROUND VELOCITY", Dim::Speed, kKnot,
     [](const SimObject& o, const ZuluTime&) { return o.pose.groundSpeedKt * kKnot; },
     [](SimObject& o, double v) { o.pose.groundSpeedKt = v / kKnot; }},
    {"AIRSPEED TRUE", Dim::Speed, kKnot,
     [](const SimObject& o, const ZuluTime&) { return o.pose.trueAirspeedKt * kKnot; },
     [](SimObject& o, double v) {
         o.pose.trueAirspeedKt = v / kKnot;
         o.pose.groundSpeedKt = v / kKnot;
     }},
    {"AIRSPEED INDICATED", Dim::Speed, kKnot,
     [](const SimObject& o, const ZuluTime&) { return o.pose.trueAirspeedKt * kKnot; }, nullptr},
    {"VERTICAL SPEED", Dim::Speed, kFoot,
     [](const SimObject& o, const ZuluTime&) { return o.pose.verticalSpeedFpm * kFootPerMinute; },
     [](SimObject& o, double v) { o.pose.verticalSpeedFpm = v / kFootPerMinute; }},
    {"SIM ON GROUND", Dim::None, 1.0,
     [](const SimObject& o, const ZuluTime&) { return o.pose.onGround ? 1.0 : 0.0; }, nullptr},
    {"ZULU TIME", Dim::Time, 1.0,
     [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.secondsOfDay()); }, nullptr},
    {"LOCAL TIME", Dim::Time, 1.0,
     [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.secondsOfDay()); }, nullptr},
    {"ABSOLUTE TIME", Dim::Time, 1.0,
     [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.unixSeconds + 62135596800); }, nullptr},
    {"ZULU DAY OF YEAR", Dim::None, 1.0,
     [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.dayOfYear()); }, nullptr},
    {"ZULU YEAR", Dim::None, 1.0, [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.year()); },
     nullptr},
    {"ZULU MONTH OF YEAR", Dim::None, 1.0,
     [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.month()); }, nullptr},
    {"ZULU DAY OF MONTH", Dim::None, 1.0,
     [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.dayOfMonth()); }, nullptr},
    {"ZULU DAY OF WEEK", Dim::None, 1.0,
     [](const SimObject&, const ZuluTime& z) { return static_cast<double>(z.dayOfWeek()); }, nullptr},
    {"LIGHT STATES", Dim::None, 1.0,
     [](const SimObject& o, const ZuluTime&) { return static_cast<double>(o.lightStates); }, nullptr},
    {"LIGHT ON STATES", Dim::None, 1.0,
     [](const SimObject& o, const ZuluTime&) { return static_cast<double>(o.lightStates); }, nullptr},
    {"STATIC CG TO GROUND", Dim::Length, kFoot,
     [](const SimObject& o, const ZuluTime&) { return o.staticCgFt * kFoot; }, nullptr},
    {"STATIC PITCH", Dim::Angle, 1.0, [](const SimObject& o, const ZuluTime&) { return o.staticPitchDeg * kDeg; },
     nullptr},
};

std::string lf_upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string lf_lowerTrimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "GENERAL ENG THROTTLE LEVER POSITION:1" is looked up without its index.
std::string lf_baseName(std::string_view name)
{
    std::string upper = lf_upper(name);
    while (!upper.empty() && upper.back() == ' ')
        upper.pop_back();
    const auto colon = upper.find(':');
    return colon == std::string::npos ? upper : upper.substr(0, colon);
}

const NumericDatum* lf_findNumeric(std::string_view baseName)
{
    for (const auto& d : kNumericDatums)
        if (d.name == baseName)
            return &d;
    return nullptr;
}

// The text datums; nullptr for others.
template <typename Object>
auto lf_textField(Object& object, std::string_view baseName) -> decltype(&object.title)
{
    if (baseName == "TITLE")
        return &object.title;
    if (baseName == "ATC ID")
        return &object.atcId;
    if (baseName == "ATC MODEL")
        return &object.atcModel;
    if (baseName == "ATC TYPE")
        return &object.atcType;
    if (baseName == "ATC AIRLINE")
        return &object.atcAirline;
    if (baseName == "ATC FLIGHT NUMBER")
        return &object.atcFlightNumber;
    return nullptr;
}

double lf_factor(const DatumDef& datum, const NumericDatum& known)
{
    if (known.dim == Dim::None)
        return 1.0;
    const std::string units = lf_lowerTrimmed(datum.units);
    for (const auto& unit : kUnits)
        if (unit.name == units && unit.dim == known.dim)
            return unit.factor;
    return known.nativeFactor;
}

// The datum's number in the datum's units; unknown datums give what a client wrote, else 0.
double lf_number(const DatumDef& datum, const SimObject& object, const ZuluTime& zulu)
{
    const std::string baseName = lf_baseName(datum.name);
    if (const NumericDatum* known = lf_findNumeric(baseName))
        return known->get(object, zulu) / lf_factor(datum, *known);
    auto it = object.values.find(lf_upper(datum.name));
    return it == object.values.end() ? 0.0 : it->second;
}

template <typename Int>
Int lf_toInt(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double lo = static_cast<double>(std::numeric_limits<Int>::min());
    const double hi = static_cast<double>(std::numeric_limits<Int>::max());
    if (value <= lo)
        return std::numeric_limits<Int>::min();
    if (value >= hi)
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(value);
}

void lf_encodeInitPosition(wire::Writer& out, const SimObject& object)
{
    out.f64(object.pose.latitudeDeg)
        .f64(object.pose.longitudeDeg)
        .f64(object.pose.altitudeFt)
        .f64(object.pose.pitchDeg)
        .f64(object.pose.bankDeg)
        .f64(object.pose.headingDeg)
        .u32(object.pose.onGround ? 1 : 0)
        .u32(lf_toInt<std::uint32_t>(object.pose.trueAirspeedKt));
}

void lf_applyNumber(const DatumDef& datum, SimObject& object, double value)
{
    const NumericDatum* known = lf_findNumeric(lf_baseName(datum.name));
    if (known != nullptr && known->set != nullptr && std::isfinite(value))
        known->set(object, value * lf_factor(datum, *known));
    else
        object.values[lf_upper(datum.name)] = value;
}

void lf_setLight(SimObject& object, std::uint64_t bit, std::uint32_t on)
{
    if (on != 0)
        object.lightStates |= bit;
    else
        object.lightStates &= ~bit;
}

} // namespace

void encodeDatum(wire::Writer& out, const DatumDef& datum, const SimObject& object, const ZuluTime& zulu)
{
    using namespace wire::datatype;
    const std::string baseName = lf_baseName(datum.name);
    std::string text;
    if (const auto* field = lf_textField(object, baseName))
        text = *field;
    switch (datum.type) {
    case kInt32:
        out.i32(lf_toInt<std::int32_t>(lf_number(datum, object, zulu)));
        return;
    case kInt64:
        out.i64(lf_toInt<std::int64_t>(lf_number(datum, object, zulu)));
        return;
    case kFloat32:
        out.f32(static_cast<float>(lf_number(datum, object, zulu)));
        return;
    case kFloat64:
        out.f64(lf_number(datum, object, zulu));
        return;
    case kStringV: {
        const std::size_t before = out.size();
        out.raw(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())).zeros(1);
        out.zeros((4 - (out.size() - before) % 4) % 4);
        return;
    }
    case kInitPosition:
        lf_encodeInitPosition(out, object);
        return;
    case kLatLonAlt:
        out.f64(object.pose.latitudeDeg).f64(object.pose.longitudeDeg).f64(object.pose.altitudeFt * kFoot);
        return;
    default:
        if (wire::datumTypeIsString(datum.type))
            out.fixedString(text, wire::datumSize(datum.type));
        else
            out.zeros(wire::datumSize(datum.type));
    }
}

std::vector<std::uint8_t> encodeDefinition(std::span<const DatumDef> datums, const SimObject& object,
                                           const ZuluTime& zulu)
{
    wire::Writer out;
    for (const auto& datum : datums)
        encodeDatum(out, datum, object, zulu);
    return out.take();
}

bool applyDatum(wire::Reader& in, const DatumDef& datum, SimObject& object)
{
    using namespace wire::datatype;
    double number = 0.0;
    switch (datum.type) {
    case kInt32:
        number = in.i32();
        break;
    case kInt64:
        number = static_cast<double>(static_cast<std::int64_t>(in.u64()));
        break;
    case kFloat32:
        number = in.f32();
        break;
    case kFloat64:
        number = in.f64();
        break;
    case kInitPosition: {
        wire::Reader part(in.bytes(56));
        if (in.failed())
            return false;
        Pose& p = object.pose;
        p.latitudeDeg = part.f64();
        p.longitudeDeg = part.f64();
        p.altitudeFt = part.f64();
        p.pitchDeg = part.f64();
        p.bankDeg = part.f64();
        p.headingDeg = part.f64();
        p.onGround = part.u32() != 0;
        p.trueAirspeedKt = part.u32();
        return true;
    }
    case kLatLonAlt: {
        wire::Reader part(in.bytes(24));
        if (in.failed())
            return false;
        object.pose.latitudeDeg = part.f64();
        object.pose.longitudeDeg = part.f64();
        object.pose.altitudeFt = part.f64() / kFoot;
        return true;
    }
    default: {
        const std::size_t size = wire::datumSize(datum.type);
        if (!wire::datumTypeIsString(datum.type) || size == 0) {
            in.skip(size);
            return !in.failed();
        }
        std::string text = in.fixedString(size);
        if (in.failed())
            return false;
        if (std::string* field = lf_textField(object, lf_baseName(datum.name)))
            *field = std::move(text);
        return true;
    }
    }
    if (in.failed())
        return false;
    lf_applyNumber(datum, object, number);
    return true;
}

void applyClientEvent(SimObject& object, const std::string& eventName, std::uint32_t data)
{
    object.events[eventName] = data;
    static constexpr std::array<std::pair<std::string_view, std::uint64_t>, 8> kLights{{
        {"NAV_LIGHTS_SET", 0x0001},
        {"BEACON_LIGHTS_SET", 0x0002},
        {"LANDING_LIGHTS_SET", 0x0004},
        {"TAXI_LIGHTS_SET", 0x0008},
        {"STROBES_SET", 0x0010},
        {"PANEL_LIGHTS_SET", 0x0020},
        {"LOGO_LIGHTS_SET", 0x0100},
        {"CABIN_LIGHTS_SET", 0x0200},
    }};
    const std::string upper = lf_upper(eventName);
    for (const auto& [name, bit] : kLights)
        if (upper == name)
            lf_setLight(object, bit, data);
}

double datumNumber(const DatumDef& datum, const SimObject& object, const ZuluTime& zulu)
{
    if (wire::datumTypeIsString(datum.type))
        return 0.0;
    return lf_number(datum, object, zulu);
}

} // namespace fakesim
