// What both registry readers share: the copy of a key's values and the lookups in it.

#include "platform/registry.h"

#include "platform/ascii_case.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::u16string regValueKey(std::u16string_view name)
{
    std::u16string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), asciiLower<char16_t>);
    return lower;
}

long regGetString(const RegKey& key, std::u16string_view valueName, char16_t* buffer, std::uint32_t& byteSize)
{
    const auto it = key.values.find(regValueKey(valueName));
    if (it == key.values.end())
        return kErrorFileNotFound;
    const RegValue& value = it->second;
    if (value.type != RegValue::Type::String && value.type != RegValue::Type::ExpandString)
        return kErrorUnsupportedType;
    // Data stored with its terminating null gets no second one, as RegGetValueW does.
    std::u16string_view text = value.text;
    if (!text.empty() && text.back() == u'\0')
        text.remove_suffix(1);
    const auto needed = static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t));
    if (buffer == nullptr) {
        byteSize = needed;
        return kErrorSuccess;
    }
    if (byteSize < needed) {
        byteSize = needed;
        return kErrorMoreData;
    }
    std::memcpy(buffer, text.data(), text.size() * sizeof(char16_t));
    buffer[text.size()] = u'\0';
    byteSize = needed;
    return kErrorSuccess;
}

long regGetDword(const RegKey& key, std::u16string_view valueName, std::uint32_t& value)
{
    const auto it = key.values.find(regValueKey(valueName));
    if (it == key.values.end())
        return kErrorFileNotFound;
    if (it->second.type != RegValue::Type::Dword)
        return kErrorUnsupportedType;
    value = it->second.dword;
    return kErrorSuccess;
}

} // namespace platform
