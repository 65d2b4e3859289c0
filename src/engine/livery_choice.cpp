#include "engine/livery_choice.h"

#include "core/log.h"
#include "liveries/aircraft_labels.h"
#include "liveries/livery_matching.h"
#include "params/parameters.h"

#include <fmt/format.h>

void gf_matchLiveLivery(LiveAc& live)
{
    AcDescription& ac = live.desc;
    const std::int32_t step = lf_matchByRegcode(ac) ? 1 : lf_matchAfterRegcode(ac, false);
    lf_dropCreateFailure(ac);
    if (ac.liveryTitle.empty() || step < 1)
        return;
    ++MatchStepCounters[static_cast<std::size_t>(step - 1)];
    lf_logMatch(ac, static_cast<char>('0' + step));
    ac.fsltlFlag = ac.liveryTitle.find("FSLTL_") != std::string::npos ? 1 : 0;
}

bool gf_matchStaticLivery(StaticAc& parked, const Stand& stand)
{
    AcDescription& ac = parked.desc;
    if (!ac.liveryTitle.empty()) {
        lf_logMatch(ac, 's');
        return true;
    }
    std::int32_t step = 1;
    if (!lf_matchByRegcode(ac)) {
        ac.cargo = stand.cargo ? 1 : 0;
        step = lf_matchAfterRegcode(ac, true);
    }
    lf_dropCreateFailure(ac);
    if (!ac.liveryTitle.empty()) {
        lf_logMatch(ac, static_cast<char>('0' + step));
        return true;
    }
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: {} no livery match ...", stand.name, gf_aircraftShortLabel(ac)));
    return false;
}
