#pragma once
// The installed simulator's major version, as the install path or the P3D_VERSION setting tells.

#include <string>

// "5" or "6"; throws qmx::UserErrorException 77 when neither the install path nor P3D_VERSION
// tells.
std::string gf_p3dVersionFromPath();
