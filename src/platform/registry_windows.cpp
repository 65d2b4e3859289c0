#include "platform/registry.h"

#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

namespace platform {
namespace {

RegValue lf_value(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    RegValue value;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        value.type = type == REG_SZ ? RegValue::Type::String : RegValue::Type::ExpandString;
        value.text.resize(size / sizeof(char16_t));
        std::memcpy(value.text.data(), data.data(), value.text.size() * sizeof(char16_t));
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        value.type = RegValue::Type::Dword;
        std::memcpy(&value.dword, data.data(), sizeof(DWORD));
    }
    return value;
}

// Every value of an open key, read one after the other.
long lf_readValues(HKEY handle, RegKey& key)
{
    DWORD nameCapacity = 0;
    DWORD dataCapacity = 0;
    LSTATUS status = ::RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        &nameCapacity, &dataCapacity, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<wchar_t> name(nameCapacity + 1);
    std::vector<BYTE> data(dataCapacity + sizeof(wchar_t));
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        status = ::RegEnumValueW(handle, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS)
            return status;
        const std::u16string_view valueName(reinterpret_cast<const char16_t*>(name.data()), nameLength);
        key.values[regValueKey(valueName)] = lf_value(type, data, size);
    }
}

} // namespace

long regOpenKey(RegRoot root, std::u16string_view subKey, std::unique_ptr<RegKey>& key)
{
    const std::wstring path(subKey.begin(), subKey.end());
    HKEY handle = nullptr;
    // The simulator is a 64-bit program: its keys are read in the 64-bit view.
    LSTATUS status = ::RegOpenKeyExW(root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                     path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle);
    if (status != ERROR_SUCCESS)
        return status;
    auto result = std::make_unique<RegKey>();
    status = lf_readValues(handle, *result);
    ::RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return status;
    key = std::move(result);
    return kErrorSuccess;
}

} // namespace platform
