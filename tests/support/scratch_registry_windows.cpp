#include "support/scratch_registry.h"

#include "core/windows_glue.h"

#include <stdexcept>
#include <windows.h>

namespace testsupport {
namespace {

std::wstring lf_wide(const std::string& text)
{
    const std::u16string utf16 = gf_utf8ToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

void lf_check(LSTATUS status, const char* call)
{
    if (status != ERROR_SUCCESS)
        throw std::runtime_error(std::string(call) + " failed with " + std::to_string(status));
}

HKEY lf_createKey(HKEY parent, const std::wstring& path)
{
    HKEY key = nullptr;
    lf_check(::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
             "RegCreateKeyExW");
    return key;
}

// A fresh key: what an earlier process of the same id left behind (it ended inside a test) goes.
HKEY lf_createEmptyKey(HKEY parent, const std::wstring& path)
{
    ::RegDeleteTreeW(parent, path.c_str());
    return lf_createKey(parent, path);
}

} // namespace

// The keys below HKEY_CURRENT_USER\Software\Orvanta_P3D tests\<process id> that stand for the
// two roots while the scratch registry lives.
struct ScratchRegistry::Keys {
    Keys()
        : base(L"Software\\Orvanta_P3D tests\\" + std::to_wstring(::GetCurrentProcessId())),
          machine(lf_createEmptyKey(HKEY_CURRENT_USER, base + L"\\Machine")),
          user(lf_createEmptyKey(HKEY_CURRENT_USER, base + L"\\User"))
    {
        lf_check(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine), "RegOverridePredefKey");
        lf_check(::RegOverridePredefKey(HKEY_CURRENT_USER, user), "RegOverridePredefKey");
    }
    ~Keys()
    {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegCloseKey(machine);
        ::RegCloseKey(user);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
    }
    HKEY root(platform::RegRoot which) const { return which == platform::RegRoot::LocalMachine ? machine : user; }

    std::wstring base;
    HKEY machine;
    HKEY user;
};

ScratchRegistry::ScratchRegistry(const std::filesystem::path&) : keys_(std::make_unique<Keys>()) {}

ScratchRegistry::~ScratchRegistry() = default;

void ScratchRegistry::setString(platform::RegRoot root, const std::string& key, const std::string& name,
                                const std::string& value)
{
    const HKEY opened = lf_createKey(keys_->root(root), lf_wide(key));
    const std::wstring text = lf_wide(value);
    const LSTATUS status = ::RegSetValueExW(opened, lf_wide(name).c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(opened);
    lf_check(status, "RegSetValueExW");
}

void ScratchRegistry::clear()
{
    lf_check(::RegDeleteTreeW(keys_->machine, nullptr), "RegDeleteTreeW");
    lf_check(::RegDeleteTreeW(keys_->user, nullptr), "RegDeleteTreeW");
}

} // namespace testsupport
