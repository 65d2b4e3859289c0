// The platform layer on Windows, against the system's own registry, mutexes and folders.

#include "core/windows_glue.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/single_instance.h"
#include "support/temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

// A key of the current user's registry that lives as long as the test.
class ScratchKey {
public:
    explicit ScratchKey(std::wstring path, HKEY root = HKEY_CURRENT_USER) : root_(root), path_(std::move(path))
    {
        ::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key_,
                          nullptr);
    }
    ~ScratchKey()
    {
        ::RegCloseKey(key_);
        ::RegDeleteKeyExW(root_, path_.c_str(), KEY_WOW64_64KEY, 0);
    }
    void set(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }

private:
    HKEY root_;
    std::wstring path_;
    HKEY key_ = nullptr;
};

TEST(WindowsRegistry, ReadsTheValuesOfTheSystemRegistry)
{
    const std::wstring path = L"Software\\Orvanta_P3D tests\\" + std::to_wstring(::GetCurrentProcessId());
    ScratchKey scratch(path);
    const wchar_t setupPath[] = L"C:\\Program Files\\Prepar3D v5\\";
    scratch.set(L"SetupPath", REG_SZ, setupPath, sizeof setupPath);
    const DWORD port = 500;
    scratch.set(L"Port", REG_DWORD, &port, sizeof port);
    const BYTE blob[] = {1, 2, 3};
    scratch.set(L"Blob", REG_BINARY, blob, sizeof blob);

    std::unique_ptr<platform::RegKey> key;
    ASSERT_EQ(platform::regOpenKey(platform::RegRoot::CurrentUser, std::u16string(path.begin(), path.end()), key),
              platform::kErrorSuccess);
    char16_t text[64] = {};
    std::uint32_t size = sizeof text;
    ASSERT_EQ(platform::regGetString(*key, u"setuppath", text, size), platform::kErrorSuccess) << "names ignore case";
    EXPECT_EQ(std::u16string(text), u"C:\\Program Files\\Prepar3D v5\\");
    EXPECT_EQ(size, sizeof setupPath) << "one terminating null, stored with the data";
    std::uint32_t value = 0;
    EXPECT_EQ(platform::regGetDword(*key, u"Port", value), platform::kErrorSuccess);
    EXPECT_EQ(value, 500u);
    EXPECT_EQ(platform::regGetDword(*key, u"Blob", value), platform::kErrorUnsupportedType);
    EXPECT_EQ(platform::regGetString(*key, u"Missing", text, size), platform::kErrorFileNotFound);
    EXPECT_EQ(platform::regOpenKey(platform::RegRoot::LocalMachine, u"SOFTWARE\\Orvanta_P3D no such key", key),
              platform::kErrorFileNotFound);
}

TEST(WindowsRegistry, TheSetupPathOfTheSimulatorIsANativePath)
{
    EXPECT_FALSE(gf_isP3DInstalled(6));
    ScratchKey scratch(L"SOFTWARE\\Lockheed Martin\\Prepar3D v6", HKEY_LOCAL_MACHINE);
    const wchar_t setupPath[] = L"D:\\Sims\\Prepar3D v6\\";
    scratch.set(L"SetupPath", REG_SZ, setupPath, sizeof setupPath);
    EXPECT_TRUE(gf_isP3DInstalled(6));
    EXPECT_EQ(gf_getP3DSetupPath(6).wstring(), L"D:\\Sims\\Prepar3D v6") << "shown without the separator at its end";
}

TEST(WindowsSingleInstance, OnlyTheFirstHolderOfANameGetsIt)
{
    const std::string name = "Local\\$Orvanta_P3D test " + std::to_string(::GetCurrentProcessId()) + "$";
    EXPECT_TRUE(gf_acquireSingleInstance(name));
    EXPECT_FALSE(gf_acquireSingleInstance(name)) << "held for the life of the process";
    EXPECT_TRUE(gf_acquireSingleInstance(name + " other")) << "another name is another guard";

    // A first instance run as administrator leaves a mutex that this user may not open: an
    // empty access list stands for it.
    SECURITY_DESCRIPTOR denied;
    ACL noAccess;
    ASSERT_TRUE(::InitializeSecurityDescriptor(&denied, SECURITY_DESCRIPTOR_REVISION) &&
                ::InitializeAcl(&noAccess, sizeof noAccess, ACL_REVISION) &&
                ::SetSecurityDescriptorDacl(&denied, TRUE, &noAccess, FALSE));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &denied, FALSE};
    const HANDLE adminMutex = ::CreateMutexA(&attributes, FALSE, (name + " admin").c_str());
    ASSERT_NE(adminMutex, nullptr);
    EXPECT_FALSE(gf_acquireSingleInstance(name + " admin")) << "a mutex that may not be opened is held";
    ::CloseHandle(adminMutex);
}

TEST(WindowsPaths, WindowsPathsAreUsedAsTheyAre)
{
    EXPECT_TRUE(std::filesystem::is_directory(platform::windowsPathToLocal("C:\\Windows\\System32")));
    testsupport::TempFolder folder;
    std::filesystem::create_directories(folder.path() / "Sub");
    std::ofstream(folder.path() / "Sub" / "name.txt") << "x";
    EXPECT_TRUE(std::filesystem::exists(platform::findCaseInsensitive(folder.path(), "SUB\\Name.TXT")));
    EXPECT_TRUE(std::filesystem::exists(platform::findCaseInsensitive(folder.path(), "sub/name.txt")));
    // Paths are shown and compared as Windows writes them: a backslash between names, none at the end.
    EXPECT_EQ(platform::findCaseInsensitive(folder.path(), "Sub//name.txt/").wstring(),
              folder.path().wstring() + L"\\Sub\\name.txt");
    EXPECT_EQ(platform::windowsPathToLocal("D:/Sims//P3D v6\\").wstring(), L"D:\\Sims\\P3D v6");
    EXPECT_EQ(platform::windowsPathToLocal("\\\\server/share\\AI").wstring(), L"\\\\server\\share\\AI");
    EXPECT_EQ(platform::windowsPathToLocal("Scenery/World").wstring(), L"Scenery\\World");
    EXPECT_TRUE(std::filesystem::is_directory(platform::appDataFolder()));
    EXPECT_TRUE(std::filesystem::is_directory(platform::documentsFolder()));
}

} // namespace
