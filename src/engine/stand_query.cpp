#include "engine/stand_query.h"

#include "engine/park_options.h"

std::string gf_getStandAtPosition(LatLon position)
{
    return lf_standNameAtPosition(position);
}
