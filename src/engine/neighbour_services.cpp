#include "engine/neighbour_services.h"

#include "airports/stand.h"
#include "airports/static_parking_calc.h"

#include <algorithm>

void gf_matchLiveLivery(LiveAc& /*ac*/) {}

bool gf_isCreateFailure(std::string_view /*liveryTitle*/)
{
    return false;
}

void gf_clearStandOccupied(std::uint32_t standId)
{
    const auto it =
        std::find_if(standTable.begin(), standTable.end(), [standId](const Stand& s) { return s.id == standId; });
    if (it != standTable.end())
        it->occupied = false;
}

bool gf_staticCandidatesWaiting()
{
    return !staticCandidates.empty();
}

void gf_dropStaticCandidatesForStand(std::uint32_t standId)
{
    std::erase_if(staticCandidates, [standId](const StaticCandidate& c) { return c.standId == standId; });
}
