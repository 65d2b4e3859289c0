#include "engine/stand_query.h"

std::string gf_getStandAtPosition(LatLon /*position*/)
{
    return {};
}
