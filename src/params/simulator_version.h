#pragma once
// The installed simulator's major version, as the install path or the P3D_VERSION setting tells.

#include <filesystem>
#include <string>

// "5" or "6"; throws qmx::UserErrorException 77 when neither the install path nor P3D_VERSION
// tells.
std::string gf_p3dVersionFromPath();

// The simulator's files shared by its users, scenery.cfg and simobjects.cfg among them:
// ProgramData\Lockheed Martin\Prepar3D v5 or v6 (the system's ProgramData folder, which need not
// lie on C:). Throws as gf_p3dVersionFromPath.
std::filesystem::path gf_simulatorDataFolder();
