#include "engine/ac_identity.h"

#include "core/geodesy.h"
#include "core/log.h"
#include "params/random.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"

#include <array>
#include <fmt/format.h>

namespace {

// What every aircraft of a category does on take-off and landing: passes of the flare, the
// touchdown, the rotation and the climb, and the rotation and climb angles (degrees, negative
// is nose up).
struct CategoryManoeuvres {
    std::uint32_t flarePasses;
    std::uint32_t touchdownPasses;
    std::uint32_t rotationPasses;
    std::uint32_t climbPasses;
    double rotationAngle;
    double climbAngle;
};

constexpr std::array<CategoryManoeuvres, kCategoryCount> kManoeuvres{{
    {250, 250, 100, 200, -9.0, -15.0},  // Light
    {300, 300, 200, 250, -8.0, -18.0},  // Buzjets
    {400, 350, 200, 300, -6.0, -16.5},  // Large
    {450, 450, 250, 400, -5.0, -12.5},  // Heavy
    {150, 150, 100, 200, -6.0, -20.0},  // HighPerf
    {100, 100, 100, 100, -20.0, -30.0}, // Rotorcraft
}};

std::string lf_routeText(const AcDescription& desc)
{
    if (desc.origin.empty() && desc.destination.empty())
        return std::string(8, ' ');
    return fmt::format("{:3}->{:3}", desc.origin, desc.destination);
}

} // namespace

AcDescription gf_makeAircraftDescription(const AcIdentity& identity)
{
    AcDescription desc;
    desc.airline = identity.airline;
    desc.type = identity.type;
    desc.origin = identity.departure;
    desc.destination = identity.destination;
    desc.callsign = identity.callsign;
    desc.cs = identity.coupledCallsign1;
    desc.csSuffix = identity.coupledCallsign2;
    desc.registration = identity.registration;
    desc.flag = identity.flag;
    desc.category = gf_categoryOf(gf_modelSizeClass(desc.type));
    desc.halfWingspan = gf_wingspanOf(desc.type);
    const CategoryManoeuvres& row = gf_categoryEntry(kManoeuvres, desc.category);
    desc.flarePasses = row.flarePasses;
    desc.touchdownPasses = row.touchdownPasses;
    desc.rotationPasses = row.rotationPasses;
    desc.climbPasses = row.climbPasses;
    desc.rotationPitch = gf_randomVariation(row.rotationAngle, 2.5) * geo::kDegToRad;
    desc.climbPitch = gf_randomVariation(row.climbAngle, 5.0) * geo::kDegToRad;
    return desc;
}

bool gf_isCallsignUsable(const AcDescription& desc)
{
    return !desc.callsign.empty() && desc.callsign != "@@@@@@@@" && desc.callsign.size() <= 8;
}

bool gf_sameKeyPair(const KeyPair& a, const KeyPair& b)
{
    return a.first == b.first && a.second == b.second;
}

bool gf_sameKeyPair(const AcDescription& a, const AcDescription& b)
{
    return gf_sameKeyPair(KeyPair{a.airline, a.type}, KeyPair{b.airline, b.type});
}

std::string gf_aimoKey(std::string_view airline, std::string_view type)
{
    return fmt::format("{:3} {:4}", airline, type);
}

std::string gf_aimoKey(const AcDescription& desc)
{
    return gf_aimoKey(desc.airline, desc.type);
}

std::string gf_flightKeyWithSuffix(const AcDescription& desc)
{
    return fmt::format("{} {}", gf_aimoKey(desc), desc.registration);
}

std::string lf_aircraftLabelText(const AcDescription& desc)
{
    return fmt::format("{:8} {:8} {}", desc.callsign, desc.registration, lf_routeText(desc));
}

std::string gf_aircraftLabel(const AcDescription& desc)
{
    return fmt::format("{} {}", lf_aircraftLabelText(desc), gf_aimoKey(desc));
}

std::string gf_aircraftLabelAt(const AcDescription& desc)
{
    return gf_aircraftLabel(desc);
}

std::string gf_aircraftShortLabel(const AcDescription& desc)
{
    return fmt::format("{:8} {} {}", desc.callsign, desc.registration, gf_aimoKey(desc));
}

bool gf_isGhostCallsign(std::string_view callsign)
{
    return !callsign.empty() && callsign.back() == '_';
}

std::string gf_withoutGhostMark(std::string_view callsign)
{
    while (gf_isGhostCallsign(callsign))
        callsign.remove_suffix(1);
    return std::string(callsign);
}

bool lf_detail()
{
    return LOG.value.load();
}

void lf_logDetail(const std::string& line)
{
    if (lf_detail())
        gf_log(line);
}

std::string_view gf_callsignWithoutLast(std::string_view callsign)
{
    return callsign.empty() ? callsign : callsign.substr(0, callsign.size() - 1);
}
