#include "engine/neighbour_services.h"

#include "airports/stand.h"

#include <algorithm>

void gf_clearStandOccupied(std::uint32_t standId)
{
    const auto it =
        std::find_if(standTable.begin(), standTable.end(), [standId](const Stand& s) { return s.id == standId; });
    if (it != standTable.end())
        it->occupied = false;
}

bool gf_staticCandidatesWaiting()
{
    return false;
}

void gf_dropStaticCandidatesForStand(std::uint32_t /*standId*/) {}
