#pragma once
// The thin layer between the program's UTF-8 strings and the system: UTF-8 <-> UTF-16
// conversion, the simulator's install data in the registry and the per-user data folder.

#include "platform/registry.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

std::u16string gf_utf8ToUtf16(std::string_view text);  // win32::Utf8ConversionException, std::overflow_error
std::string gf_utf16ToUtf8(std::u16string_view text);  // the same

bool gf_isP3DInstalled(int simVersion);                          // 5 or 6
std::filesystem::path gf_getP3DSetupPath(int simVersion);         // empty on any registry failure
std::filesystem::path gf_appDataFolder();                         // empty on failure

// Registry helpers of the layer above; a key holder is empty (null) when nothing is open.
using RegKeyHolder = std::unique_ptr<platform::RegKey>;
std::u16string lf_regGetString(const platform::RegKey& key, std::u16string_view valueName); // winreg::RegException
[[noreturn]] void lf_throwRegException(long errorCode, const char* message);
void lf_closeRegKey(RegKeyHolder& key);
