#pragma once
// The livery of an aircraft the engine is about to create, chosen by the livery matching
// (liveries/livery_matching.h) for the aircraft's description. Work thread only.

#include "airports/stand.h"
#include "engine/ac_records.h"

// Sets the live aircraft's livery title, or leaves it empty when no livery fits.
void gf_matchLiveLivery(LiveAc& ac);
// Whether the static aircraft has a title on return; its cargo flag follows the stand's.
bool gf_matchStaticLivery(StaticAc& ac, const Stand& stand);
