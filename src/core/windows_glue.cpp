#include "core/windows_glue.h"

#include "core/exceptions.h"
#include "core/log.h"
#include "platform/paths.h"
#include "platform/utf16.h"

#include <fmt/format.h>
#include <limits>

namespace {

constexpr std::size_t kMaxUnits = static_cast<std::size_t>(std::numeric_limits<int>::max());

const char* lf_conversionMessage(std::uint32_t error, std::uint32_t direction, bool lengthQuery)
{
    if (error == win32::kErrorNoUnicodeTranslation)
        return direction == win32::kDirectionUtf16ToUtf8 ? "Invalid UTF-16 sequence found in input string."
                                                         : "Invalid UTF-8 sequence found in input string.";
    if (direction == win32::kDirectionUtf16ToUtf8)
        return lengthQuery ? "Cannot get result string length when converting from UTF-16 to UTF-8 (WideCharToMultiByte failed)."
                           : "Cannot convert from UTF-16 to UTF-8 (WideCharToMultiByte failed).";
    return lengthQuery ? "Cannot get result string length when converting from UTF-8 to UTF-16 (MultiByteToWideChar failed)."
                       : "Cannot convert from UTF-8 to UTF-16 (MultiByteToWideChar failed).";
}

std::u16string lf_p3dKey(int simVersion)
{
    return simVersion == 6 ? u"SOFTWARE\\Lockheed Martin\\Prepar3D v6" : u"SOFTWARE\\Lockheed Martin\\Prepar3D v5";
}

RegKeyHolder lf_openP3dKey(int simVersion)
{
    RegKeyHolder key;
    const long result = platform::regOpenKey(platform::RegRoot::LocalMachine, lf_p3dKey(simVersion), key);
    if (result != platform::kErrorSuccess)
        lf_throwRegException(result, "RegOpenKeyExW failed.");
    return key;
}

} // namespace

std::u16string gf_utf8ToUtf16(std::string_view text)
{
    if (text.empty())
        return {};
    if (text.size() > kMaxUnits)
        throw gf_makeLengthOverflowError();
    std::uint32_t error = 0;
    const std::size_t length = platform::utf8ToUtf16(text, nullptr, 0, error);
    if (length == 0)
        throw win32::Utf8ConversionException(lf_conversionMessage(error, win32::kDirectionUtf8ToUtf16, true),
                                             error, win32::kDirectionUtf8ToUtf16);
    std::u16string result(length, u'\0');
    if (platform::utf8ToUtf16(text, result.data(), result.size(), error) == 0)
        throw win32::Utf8ConversionException(lf_conversionMessage(error, win32::kDirectionUtf8ToUtf16, false),
                                             error, win32::kDirectionUtf8ToUtf16);
    return result;
}

std::string gf_utf16ToUtf8(std::u16string_view text)
{
    if (text.empty())
        return {};
    if (text.size() > kMaxUnits)
        throw gf_makeLengthOverflowError();
    std::uint32_t error = 0;
    const std::size_t length = platform::utf16ToUtf8(text, nullptr, 0, error);
    if (length == 0)
        throw win32::Utf8ConversionException(lf_conversionMessage(error, win32::kDirectionUtf16ToUtf8, true),
                                             error, win32::kDirectionUtf16ToUtf8);
    std::string result(length, '\0');
    if (platform::utf16ToUtf8(text, result.data(), result.size(), error) == 0)
        throw win32::Utf8ConversionException(lf_conversionMessage(error, win32::kDirectionUtf16ToUtf8, false),
                                             error, win32::kDirectionUtf16ToUtf8);
    return result;
}

void lf_throwRegException(long errorCode, const char* message)
{
    throw winreg::RegException(errorCode, message);
}

void lf_closeRegKey(RegKeyHolder& key)
{
    key.reset();
}

std::u16string lf_regGetString(const platform::RegKey& key, std::u16string_view valueName)
{
    std::uint32_t size = 0;
    long result = platform::regGetString(key, valueName, nullptr, size);
    if (result != platform::kErrorSuccess)
        lf_throwRegException(result, "Cannot get size of string value: RegGetValueW failed.");
    std::u16string text(size / 2, u' ');
    result = platform::regGetString(key, valueName, text.data(), size);
    if (result != platform::kErrorSuccess)
        lf_throwRegException(result, "Cannot get string value: RegGetValueW failed.");
    text.resize(size / 2 - 1);
    return text;
}

bool gf_isP3DInstalled(int simVersion)
{
    try {
        RegKeyHolder key = lf_openP3dKey(simVersion);
        lf_closeRegKey(key);
        return true;
    } catch (const winreg::RegException&) {
        return false;
    }
}

std::filesystem::path gf_getP3DSetupPath(int simVersion)
{
    RegKeyHolder key;
    try {
        key = lf_openP3dKey(simVersion);
        const std::string setupPath = gf_utf16ToUtf8(lf_regGetString(*key, u"SetupPath"));
        lf_closeRegKey(key);
        return platform::windowsPathToLocal(setupPath);
    } catch (const winreg::RegException&) {
        lf_closeRegKey(key);
        return {};
    } catch (const win32::Utf8ConversionException& e) {
        // A damaged value is no install path: the simulator counts as not found.
        gf_logWarning(fmt::format("SetupPath of Prepar3D v{} in the registry is unreadable: {}", simVersion, e.what()));
        lf_closeRegKey(key);
        return {};
    }
}

std::filesystem::path gf_appDataFolder()
{
    return platform::appDataFolder();
}
