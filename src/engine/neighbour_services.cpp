#include "engine/neighbour_services.h"

#include "airports/stand.h"
#include "airports/static_parking_calc.h"

#include <algorithm>

void gf_clearStandOccupied(std::uint32_t standId)
{
    if (Stand* stand = gf_findStandById(standId))
        stand->occupied = false;
}

bool gf_staticCandidatesWaiting()
{
    return !staticCandidates.empty();
}

void gf_dropStaticCandidatesForStand(std::uint32_t standId)
{
    std::erase_if(staticCandidates, [standId](const StaticCandidate& c) { return c.standId == standId; });
}
