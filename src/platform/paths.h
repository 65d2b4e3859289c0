#pragma once
// Where the Windows folders of the program lie on this system, and the mapping of Windows path
// texts (from the registry or the simulator's files) into the Wine prefix.

#include <filesystem>
#include <string_view>

namespace platform {

std::filesystem::path homeFolder();
std::filesystem::path winePrefix();        // $WINEPREFIX, else ~/.wine
std::filesystem::path appDataFolder();     // $XDG_CONFIG_HOME, else ~/.config; created; empty on failure
std::filesystem::path programDataFolder(); // <prefix>/drive_c/ProgramData (Windows: CSIDL_COMMON_APPDATA)
std::filesystem::path documentsFolder();   // $XDG_DOCUMENTS_DIR, else ~/Documents
// The documents folder that all users share (Windows: FOLDERID_PublicDocuments). Linux has none:
// the home folder stands in for it.
std::filesystem::path publicDocumentsFolder();
std::filesystem::path runtimeFolder();     // $XDG_RUNTIME_DIR, else the temp folder

// Resolves `relative` below `base` one name at a time: an existing entry whose name equals the
// wanted one ignoring ASCII case is taken, and a name without extension also matches "name." as
// Windows does. Names that match nothing are kept as written. Backslashes and slashes both
// separate names; empty names are dropped, and the result has the native separator only.
std::filesystem::path findCaseInsensitive(const std::filesystem::path& base, std::string_view relative);

// "C:\Program Files\X" -> <prefix>/drive_c/Program Files/X (other drives: <prefix>/dosdevices/d:);
// a text without drive letter is taken relative to the working folder. Backslashes and slashes
// both separate names; every name is looked up case-insensitively. Windows: the path as written,
// with '\' between its names and no separator at its end ("D:/Sims//P3D\" -> "D:\Sims\P3D").
std::filesystem::path windowsPathToLocal(std::string_view windowsPath);

} // namespace platform
