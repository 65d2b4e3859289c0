#pragma once
// The stand at a position, asked by the work thread (and by the simulator connection's user-stand
// bookkeeping, which the work thread runs).

#include "simlink/user_stand_services.h"

// gf_getStandAtPosition: simlink/user_stand_services.h.
