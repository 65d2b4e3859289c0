#pragma once
// Read-only registry over the registry files of a Wine prefix: system.reg holds
// HKEY_LOCAL_MACHINE, user.reg HKEY_CURRENT_USER. A missing file, key or value is "not found".
// Calls return 0 or a Windows error code, as the registry functions of Windows do.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

enum class RegRoot { LocalMachine, CurrentUser };

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorUnsupportedType = 1630;

struct RegValue {
    enum class Type { String, ExpandString, Dword, Other } type = Type::Other;
    std::u16string text;     // String and ExpandString, without terminating null
    std::uint32_t dword = 0; // Dword
};

// An open key: a copy of its values, by lower-case name ("" is the default value).
struct RegKey {
    std::map<std::u16string, RegValue> values;
};

// The name a value is kept under in RegKey: names ignore case, as the registry's own lookups do.
std::u16string regValueKey(std::u16string_view name);

long regOpenKey(RegRoot root, std::u16string_view subKey, std::unique_ptr<RegKey>& key);

// RegGetValueW for a string value: with buffer null only the size is returned; byteSize is the
// size in bytes including the terminating null, also when the buffer is too small (234).
long regGetString(const RegKey& key, std::u16string_view valueName, char16_t* buffer, std::uint32_t& byteSize);

long regGetDword(const RegKey& key, std::u16string_view valueName, std::uint32_t& value);

} // namespace platform
