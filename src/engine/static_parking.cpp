#include "engine/static_parking.h"

// Static parking is not part of this build yet: no candidate is ever waiting for it.
void lf_parkStatic() {}
