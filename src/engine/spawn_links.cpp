#include "engine/spawn_links.h"

bool lf_cancelQueuedStaticCreation(std::string_view /*callsign*/)
{
    return false;
}
