#include "airports/airport_services.h"

void gf_scanAddonAirports() {}
