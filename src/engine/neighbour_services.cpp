#include "engine/neighbour_services.h"

std::string gf_regcodeModel(std::string_view /*registration*/)
{
    return {};
}

void gf_matchLiveLivery(LiveAc& /*ac*/) {}

bool gf_isCreateFailure(std::string_view /*liveryTitle*/)
{
    return false;
}

void gf_clearStandOccupied(std::uint32_t /*standId*/) {}

bool gf_staticCandidatesWaiting()
{
    return false;
}

void gf_dropStaticCandidatesForStand(std::uint32_t /*standId*/) {}
