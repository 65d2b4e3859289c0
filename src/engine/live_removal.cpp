#include "engine/live_removal.h"

void gf_removeAllLiveAc()
{
    // No live aircraft exist before the engine's tables are built.
}
