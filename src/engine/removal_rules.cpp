#include "engine/removal_rules.h"

#include "airports/airport_services.h"
#include "airports/park_airport_list.h"
#include "airports/stand.h"
#include "core/log.h"
#include "core/run_state.h"
#include "engine/ac_identity.h"
#include "engine/live_removal.h"
#include "engine/park_options.h"
#include "params/parameters.h"

#include <algorithm>
#include <fmt/format.h>

namespace {

bool lf_beingRemoved(const StaticAc& ac)
{
    return ac.state == AcState::Removing || ac.erase != 0;
}

bool lf_isCoupledCallsign(const StaticAc& st, std::string_view callsign)
{
    return !callsign.empty() && (callsign == st.desc.cs || callsign == st.desc.csSuffix);
}

const char* lf_whereText(bool groundMode)
{
    return groundMode ? "on ground" : "airborne";
}

} // namespace

void lf_ghostCheck(const std::string& callsign)
{
    const std::string ghost = callsign + "_";
    LiveAc* const it = liveAcTable.findByCallsign(ghost, [](const LiveAc& ac) { return !lf_beingRemoved(ac); });
    if (it == nullptr)
        return;
    if (lf_detail()) {
        if (it->phase == AcPhase::Parked)
            gf_log(fmt::format("{:8}: {:8} is a ghost and will be removed, continue with {}", gf_standName(it->standId),
                               ghost, callsign));
        else
            gf_log(fmt::format("          {:8} is a ghost and will be removed, continue with {}", ghost, callsign));
    }
    if (std::find(ghostCallsigns.begin(), ghostCallsigns.end(), ghost) == ghostCallsigns.end())
        ghostCallsigns.push_back(ghost);
    gf_removeAc(*it);
}

bool lf_ghostOwnerExists(std::string_view callsign)
{
    if (!gf_isGhostCallsign(callsign))
        return false;
    const std::string owner(gf_callsignWithoutLast(callsign));
    return liveAcTable.findByCallsign(owner, [](const LiveAc& ac) { return !lf_beingRemoved(ac); }) != nullptr;
}

bool gf_replaceSameRegOrCallsign(const StaticAc& st, const LiveAc& live, std::string_view key, bool groundMode)
{
    if (st.state != AcState::InSim)
        return false;
    const AcDescription& l = live.desc;
    if (!l.registration.empty() && l.registration == st.desc.registration) {
        if (lf_detail())
            gf_log(fmt::format("{:8}: {:8} {} removed, new {} {} has same regcode {}", gf_standName(st.standId),
                               st.desc.callsign, st.desc.registration, lf_whereText(groundMode), l.callsign,
                               l.registration));
        return true;
    }
    const bool coupled = lf_isCoupledCallsign(st, l.callsign) || lf_isCoupledCallsign(st, l.csSuffix) ||
                         (gf_isGhostCallsign(l.callsign) && lf_isCoupledCallsign(st, key));
    if (!coupled)
        return false;
    if (lf_detail())
        gf_log(fmt::format("{:8}: {:8} \"{} {}\" removed, new {} {} \"{} {}\" has {} callsign",
                           gf_standName(st.standId), st.desc.callsign, st.desc.cs, st.desc.csSuffix,
                           lf_whereText(groundMode), l.callsign, l.cs, l.csSuffix,
                           st.desc.cs == l.callsign ? "same" : "coupled"));
    return true;
}

void gf_checkSpawnedLiveAc(LiveAc& live)
{
    if (live.desc.flag == 0) {
        lf_searchForCoupledCsAroundThisTime(currentDaySlot.load(), live);
        live.desc.flag = 1;
    }
    if (live.desc.callsign.empty())
        return;
    const std::string key(gf_callsignWithoutLast(live.desc.callsign));
    for (StaticAc& st : staticAcTable) {
        if (gf_replaceSameRegOrCallsign(st, live, key, live.groundMode != 0)) {
            gf_removeAc(st);
            return;
        }
    }
}

void gf_removeStaticTwin(const LiveAc& live)
{
    if (live.state != AcState::InSim || live.groundMode == 0)
        return;
    const std::string twin = live.desc.callsign + "*";
    const std::string& registration = live.desc.registration;
    const auto it = std::find_if(staticAcTable.begin(), staticAcTable.end(), [&](const StaticAc& st) {
        return st.state == AcState::InSim &&
               (st.desc.callsign == twin || (!registration.empty() && st.desc.registration == registration));
    });
    if (it != staticAcTable.end())
        gf_removeAc(*it);
}

void gf_clearReservedStand()
{
    const Stand* stand = reservedStand.empty() ? nullptr : gf_findStandByName(reservedStand);
    if (stand == nullptr)
        return;
    const std::uint32_t id = stand->id;
    for (StaticAc& st : staticAcTable) {
        if (st.state == AcState::InSim && st.standId == id) {
            gf_removeAc(st);
            return;
        }
    }
    for (LiveAc& ac : liveAcTable) {
        if (ac.phase == AcPhase::Parked && ac.standId == id && !lf_beingRemoved(ac)) {
            gf_removeAc(ac);
            return;
        }
    }
}

