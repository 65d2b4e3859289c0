#include "engine/neighbour_services.h"

#include "airports/stand.h"
#include "airports/static_parking_calc.h"

#include <algorithm>

void gf_occupyStand(StaticAc& ac, Stand& stand)
{
    ac.standLat = stand.lat;
    ac.standLon = stand.lon;
    ac.standHeading = stand.heading;
    ac.standId = stand.id;
    ac.cargoStand = stand.cargo ? 1 : 0;
    stand.occupied = true;
    ac.standHeld = 1;
}

void gf_freeStand(StaticAc& ac)
{
    if (ac.standHeld == 0)
        return;
    ac.standHeld = 0;
    if (Stand* stand = gf_findStandById(ac.standId))
        stand->occupied = false;
}

void gf_giveUpStand(StaticAc& ac)
{
    gf_freeStand(ac);
    ac.standLat = ac.standLon = ac.standHeading = 0.0;
    ac.standId = 0;
    ac.cargoStand = 0;
}

bool gf_staticCandidatesWaiting()
{
    return !staticCandidates.empty();
}

void gf_dropStaticCandidatesForStand(std::uint32_t standId)
{
    std::erase_if(staticCandidates, [standId](const StaticCandidate& c) { return c.standId == standId; });
}
