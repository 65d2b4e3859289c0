#include "core/exceptions.h"
#include "core/windows_glue.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::ScopedEnv;
using testsupport::TempFolder;
using testsupport::writeFile;

TEST(Utf, RoundTripsEveryPlane)
{
    const std::string texts[] = {"", "plain ASCII", "Zürich", "東京", "🛫 and 𝄞", "a\0b"};
    for (const std::string& text : texts)
        EXPECT_EQ(gf_utf16ToUtf8(gf_utf8ToUtf16(text)), text);
    EXPECT_EQ(gf_utf8ToUtf16("🛫"), std::u16string(u"\xD83D\xDEEB"));
    EXPECT_TRUE(gf_utf8ToUtf16("").empty());
    EXPECT_TRUE(gf_utf16ToUtf8(u"").empty());
}

TEST(Utf, InvalidInputIsAnErrorNeverReplaced)
{
    struct Case {
        std::string utf8;
    };
    const std::string badUtf8[] = {"\xC3\x28", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "abc\xE2\x82", "\xFF"};
    for (const std::string& bad : badUtf8) {
        try {
            gf_utf8ToUtf16(bad);
            ADD_FAILURE() << "accepted invalid UTF-8";
        } catch (const win32::Utf8ConversionException& e) {
            EXPECT_STREQ(e.what(), "Invalid UTF-8 sequence found in input string.");
            EXPECT_EQ(e.errorCode(), 1113u);
            EXPECT_EQ(e.direction(), 0u);
        }
    }
    const std::u16string badUtf16[] = {u"\xD800", std::u16string(u"a\xDC00z"), std::u16string(u"\xD800\xD800")};
    for (const std::u16string& bad : badUtf16) {
        try {
            gf_utf16ToUtf8(bad);
            ADD_FAILURE() << "accepted a lone surrogate";
        } catch (const win32::Utf8ConversionException& e) {
            EXPECT_STREQ(e.what(), "Invalid UTF-16 sequence found in input string.");
            EXPECT_EQ(e.errorCode(), 1113u);
            EXPECT_EQ(e.direction(), 1u);
        }
    }
}

namespace {

// A Wine prefix with the simulator's version 5 key, written as Wine writes system.reg.
void writeWinePrefix(const fs::path& prefix)
{
    writeFile(prefix / "system.reg",
              "WINE REGISTRY Version 2\n"
              ";; All keys relative to \\\\Machine\n"
              "\n#arch=win64\n\n"
              "[Software\\\\Lockheed Martin\\\\Prepar3D v5] 1700000000\n"
              "#time=1d9a0b0c0d0e0f0\n"
              "\"SetupPath\"=\"C:\\\\Program Files\\\\Lockheed Martin\\\\Prepar3D v5\\\\\"\n"
              "\"Caf\\xe9\"=\"x\"\n"
              "\"Version\"=dword:00000005\n"
              "\n"
              "[Software\\\\Lockheed Martin\\\\Prepar3D v6\\\\Broken] 1700000000\n"
              "\"SetupPath\"=dword:00000001\n");
    writeFile(prefix / "user.reg",
              "WINE REGISTRY Version 2\n"
              "[Software\\\\Lockheed Martin\\\\Prepar3D v5] 1700000000\n"
              "\"SimConnect_Port_IPv4\"=\"500\"\n");
    fs::create_directories(prefix / "drive_c" / "Program Files" / "Lockheed Martin" / "Prepar3D v5");
}

} // namespace

TEST(Registry, ReadsTheSetupPathFromTheWinePrefix)
{
    TempFolder prefix;
    writeWinePrefix(prefix.path());
    ScopedEnv wine("WINEPREFIX", prefix.path().string());

    EXPECT_TRUE(gf_isP3DInstalled(5));
    EXPECT_FALSE(gf_isP3DInstalled(6));
    EXPECT_EQ(gf_getP3DSetupPath(5), prefix.path() / "drive_c" / "Program Files" / "Lockheed Martin" / "Prepar3D v5");
    EXPECT_TRUE(gf_getP3DSetupPath(6).empty());

    RegKeyHolder key;
    ASSERT_EQ(platform::regOpenKey(platform::RegRoot::LocalMachine, u"software\\LOCKHEED MARTIN\\prepar3d v5", key), 0);
    EXPECT_EQ(lf_regGetString(*key, u"setuppath"), u"C:\\Program Files\\Lockheed Martin\\Prepar3D v5\\");
    EXPECT_EQ(lf_regGetString(*key, u"Caf\u00e9"), u"x");
    std::uint32_t version = 0;
    EXPECT_EQ(platform::regGetDword(*key, u"Version", version), 0);
    EXPECT_EQ(version, 5u);
    try {
        lf_regGetString(*key, u"Missing");
        FAIL() << "no exception";
    } catch (const winreg::RegException& e) {
        EXPECT_EQ(e.code().value(), 2);
        EXPECT_EQ(std::string(e.what()).rfind("Cannot get size of string value: RegGetValueW failed.: ", 0), 0u);
    }
    lf_closeRegKey(key);
    EXPECT_EQ(key, nullptr);

    ASSERT_EQ(platform::regOpenKey(platform::RegRoot::CurrentUser, u"Software\\Lockheed Martin\\Prepar3D v5", key), 0);
    EXPECT_EQ(lf_regGetString(*key, u"SimConnect_Port_IPv4"), u"500");
    EXPECT_EQ(platform::regOpenKey(platform::RegRoot::CurrentUser, u"Software\\None", key), 2);
}

TEST(Registry, MissingPrefixMeansNotInstalled)
{
    TempFolder empty;
    ScopedEnv wine("WINEPREFIX", (empty / "nothing").string());
    EXPECT_FALSE(gf_isP3DInstalled(5));
    EXPECT_TRUE(gf_getP3DSetupPath(5).empty());
}

TEST(Registry, SetupPathThatIsNoValidTextMeansNotFound)
{
    TempFolder prefix;
    writeFile(prefix / "system.reg", "WINE REGISTRY Version 2\n"
                                     "[Software\\\\Lockheed Martin\\\\Prepar3D v6] 1700000000\n"
                                     "\"SetupPath\"=\"C:\\\\P3D\\xd800\"\n");
    ScopedEnv wine("WINEPREFIX", prefix.path().string());
    EXPECT_TRUE(gf_isP3DInstalled(6));
    EXPECT_TRUE(gf_getP3DSetupPath(6).empty()); // a lone surrogate
}

TEST(Paths, WindowsPathsMapIntoDriveCCaseInsensitively)
{
    TempFolder prefix;
    ScopedEnv wine("WINEPREFIX", prefix.path().string());
    writeFile(prefix / "drive_c" / "Program Files" / "P3D" / "SimObjects" / "Airplanes" / "B738" / "Aircraft.CFG", "");
    writeFile(prefix / "drive_c" / "Program Files" / "P3D" / "texture.", "");

    const fs::path base = prefix / "drive_c" / "Program Files" / "P3D";
    EXPECT_EQ(platform::windowsPathToLocal("c:\\program files\\p3d\\simobjects\\AIRPLANES\\b738\\aircraft.cfg"),
              base / "SimObjects" / "Airplanes" / "B738" / "Aircraft.CFG");
    EXPECT_EQ(platform::windowsPathToLocal("C:/Program Files/P3D/TEXTURE"), base / "texture.")
        << "a name without extension matches name.";
    EXPECT_EQ(platform::windowsPathToLocal("C:\\Program Files\\P3D\\new\\file.xml"), base / "new" / "file.xml")
        << "names that do not exist are kept as written";
    EXPECT_EQ(platform::windowsPathToLocal("D:\\Addons"), prefix.path() / "dosdevices" / "d:" / "Addons");
    EXPECT_EQ(platform::programDataFolder(), prefix.path() / "drive_c" / "ProgramData");
}

TEST(Paths, PerUserFolderIsCreated)
{
    TempFolder home;
    {
        ScopedEnv config("XDG_CONFIG_HOME", (home / "deep" / "config").string());
        EXPECT_EQ(gf_appDataFolder(), home / "deep" / "config");
        EXPECT_TRUE(fs::is_directory(home / "deep" / "config"));
    }
    ScopedEnv noConfig("XDG_CONFIG_HOME", "");
    ScopedEnv homeEnv("HOME", home.path().string());
    EXPECT_EQ(gf_appDataFolder(), home / ".config");
}
