#pragma once
// Which simulator is installed and where: the install path from the registry when the user set
// none, and the simulator's major version.

#include "params/simulator_version.h"

#include <string>

// Fills ALL_INSTALL_PATH and SIM_INSTALL_PATH from the registry when one simulator version is
// installed; throws qmx::UserErrorException 153 (both installed) or 151 (no path).
void lf_detectP3D();

// gf_p3dVersionFromPath: params/simulator_version.h.
