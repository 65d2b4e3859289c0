#pragma once
// The simulator's major version as the install path (or the P3D_VERSION setting) tells it.

#include <string>

// "5" or "6": the first of "v5", "V5", "v6", "V6" found in SIM_INSTALL_PATH (when it has at
// least two characters), else P3D_VERSION as text when it is 5 or more. Otherwise throws
// qmx::UserErrorException 77.
std::string gf_p3dVersionFromPath();
