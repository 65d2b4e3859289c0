#pragma once
// Which scenery folders the add-on airport scan walks: in automatic mode the active local areas
// of the simulator's scenery.cfg and the paths of its scenery_add-ons.xml, in manual mode the
// user's folders afolder0..afolder9. The simulator's stock scenery is never scanned.
//
// The list holds folder texts of this system: Windows path texts of the simulator's files are
// mapped into the Wine prefix as they are read, so that the stock-path test and the walk see the
// same texts.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using SceneryFolders = std::vector<std::string>;
using SceneryFolderWalk = std::function<void(const std::filesystem::path& folder)>;

// Appends the local folders of the active areas of scenery.cfg, in area order.
void lf_readSceneryCfg(SceneryFolders& folders);

// Appends the texts between <Path> and </Path> of scenery_add-ons.xml, line by line.
void lf_readSceneryAddOnsXml(SceneryFolders& folders);

// Appends every non-empty afolder0..afolder9 in key order; throws qmx::UserErrorException 42
// for the first one that points into the stock scenery.
void lf_checkAfolderNotStock(SceneryFolders& folders);

// Checks one folder of the list and walks it with `walk` when it is an add-on folder. A missing
// folder or a file is reported on the message line and skipped; a failure to ask the file system
// throws its std::filesystem::filesystem_error.
void lf_checkAfolders(const std::string& folder, const SceneryFolderWalk& walk);

// The text names one of the simulator's stock scenery folders (case-sensitive).
bool lf_isStockSceneryPath(std::string_view text);

// The text contains the stock scenery path (an empty stock path is contained in every text).
bool lf_containsStockSceneryPath(std::string_view text);
