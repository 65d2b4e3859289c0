#pragma once
// The livery folders of the automatic scan, from the simulator's own add-on configuration: the
// per-user add-ons.cfg names add-on packages, each package's add-on.xml its SimObjects
// components, and the simulator-wide simobjects.cfg further SimObjects folders. The three files
// are read as text lines and searched with plain, case-sensitive substring tests.
//
// The folders are appended as paths of this system: the simulator's Windows path texts are
// mapped into the Wine prefix (a relative text stays relative to the working folder).

#include <filesystem>
#include <string>
#include <vector>

// Appends the SimObjects folders of the add-on packages; never throws.
void lf_readP3DAddOnsAircraft(std::vector<std::string>& folders);
// Appends the SimObjects components of one package's add-on.xml (a Windows path text).
void lf_readAddOnXml(std::vector<std::string>& folders, const std::string& packageFolder);
// Appends the folders of simobjects.cfg; a failing existence test of the file throws.
void lf_readSimObjectsCfg(std::vector<std::string>& folders);
