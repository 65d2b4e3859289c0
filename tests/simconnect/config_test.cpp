// SimConnect.cfg: the three places, the order in which they override each other, the
// registry ports, and the INI reading beneath.

#include "platform/ini_file.h"
#include "sc_test_server.h"
#include "simconnect/simconnect_config.h"

#include <gtest/gtest.h>

using namespace qmx;
using Protocol = SimConnectConfig::Protocol;

namespace {

struct ConfigCase {
    std::string name;
    std::string home, documents, current; // SimConnect.cfg in each folder; empty: none
    std::string registryIPv6, registryIPv4;
    std::uint32_t index;
    int result;
    SimConnectConfig expected;
};

SimConnectConfig lf_config(Protocol protocol, std::string address, std::string port, std::uint32_t maxReceiveSize = 41088,
                           bool disableNagle = false)
{
    return {protocol, std::move(address), std::move(port), maxReceiveSize, disableNagle};
}

const std::vector<ConfigCase> kConfigs = {
    {"no file: the defaults", "", "", "", "", "", 0, kConfigOk, lf_config(Protocol::Pipe, "", "")},
    {"all keys", "[SimConnect]\nProtocol=IPv4\nAddress=10.0.0.2\nPort=500\nMaxReceiveSize=50000\nDisableNagle=1\n", "", "",
     "", "", 0, kConfigOk, lf_config(Protocol::IPv4, "10.0.0.2", "500", 50000, true)},
    {"later files override key by key", "[SimConnect]\nProtocol=IPv4\nAddress=10.0.0.2\nPort=500\n", "[SimConnect]\nPort=600\n",
     "[SimConnect]\nDisableNagle=7\n", "", "", 0, kConfigOk, lf_config(Protocol::IPv4, "10.0.0.2", "600", 41088, true)},
    {"a smaller MaxReceiveSize does not lower it", "[SimConnect]\nMaxReceiveSize=90000\n", "",
     "[SimConnect]\nMaxReceiveSize=50000\n", "", "", 0, kConfigOk, lf_config(Protocol::Pipe, "", "", 90000)},
    {"MaxReceiveSize below the default or not a number changes nothing", "[SimConnect]\nMaxReceiveSize=4096\n",
     "[SimConnect]\nMaxReceiveSize=lots\n", "[SimConnect]\nMaxReceiveSize=-99999999999\n", "", "", 0, kConfigOk,
     lf_config(Protocol::Pipe, "", "")},
    {"DisableNagle cleared by a later 0", "[SimConnect]\nDisableNagle=1\n", "[SimConnect]\nDisableNagle=0\n", "", "", "", 0,
     kConfigOk, lf_config(Protocol::Pipe, "", "")},
    {"a later protocol replaces an earlier port by the registry's", "[SimConnect]\nProtocol=IPv4\nPort=500\n",
     "[SimConnect]\nProtocol=IPv6\n", "", "4506", "4504", 0, kConfigOk, lf_config(Protocol::IPv6, "", "4506")},
    {"without the registry value that port is gone", "[SimConnect]\nPort=500\n", "[SimConnect]\nProtocol=IPv4\n", "", "4506",
     "", 0, kConfigOk, lf_config(Protocol::IPv4, "", "")},
    {"a registry port of ten characters does not fit", "[SimConnect]\nPort=500\n", "[SimConnect]\nProtocol=IPv4\n", "", "",
     "1234567890", 0, kConfigOk, lf_config(Protocol::IPv4, "", "")},
    {"a port after the protocol in the same file stays", "[SimConnect]\nPort=500\n",
     "[SimConnect]\nProtocol=IPv4\nPort=800\n", "", "", "4504", 0, kConfigOk, lf_config(Protocol::IPv4, "", "800")},
    {"empty values and unknown protocols change nothing", "[SimConnect]\nProtocol=IPv6\nAddress=::1\nPort=9\n",
     "[SimConnect]\nProtocol=Carrier\nAddress=\nPort=\"\"\n", "", "", "", 0, kConfigOk, lf_config(Protocol::IPv6, "::1", "9")},
    {"Auto is the pipe", "[SimConnect]\nProtocol=IPv4\n", "[SimConnect]\nProtocol=Auto\n", "", "", "", 0, kConfigOk,
     lf_config(Protocol::Pipe, "", "")},
    {"section N for index N", "[SimConnect]\nProtocol=IPv4\n", "", "[SimConnect.2]\nProtocol=IPv6\nPort=77\n", "", "", 2,
     kConfigOk, lf_config(Protocol::IPv6, "", "77")},
    {"a missing section N", "[SimConnect]\nProtocol=IPv4\n", "[SimConnect.1]\n", "", "", "", 2, kConfigSectionMissing,
     lf_config(Protocol::Pipe, "", "")},
    {"index 0xFFFFFFFF reads no file", "[SimConnect]\nProtocol=IPv4\n", "", "", "", "", kConfigIndexNone, kConfigOk,
     lf_config(Protocol::Pipe, "", "")},
    {"names in any case", "[simconnect]\nPROTOCOL=ipv6\naddress=::1\n", "", "", "", "", 0, kConfigOk,
     lf_config(Protocol::IPv6, "::1", "")},
    {"values are cut at 1023 characters", "[SimConnect]\nAddress=" + std::string(1100, 'a') + "\n", "", "", "", "", 0,
     kConfigOk, lf_config(Protocol::Pipe, std::string(1023, 'a'), "")},
};

TEST(ConfigTest, SectionsOfTheThreeFilesCombine)
{
    for (const ConfigCase& c : kConfigs) {
        SCOPED_TRACE(c.name);
        sctest::ScWorld world;
        if (!c.home.empty())
            world.writeConfig(world.home(), c.home);
        if (!c.documents.empty())
            world.writeConfig(world.documents(), c.documents);
        if (!c.current.empty())
            world.writeConfig(world.current(), c.current);
        world.writeRegistryPorts(c.registryIPv6, c.registryIPv4);
        SimConnectConfig config;
        EXPECT_EQ(gf_scReadConfig(c.index, config), c.result);
        if (c.result != kConfigOk)
            continue;
        EXPECT_EQ(config.protocol, c.expected.protocol);
        EXPECT_EQ(config.address, c.expected.address);
        EXPECT_EQ(config.port, c.expected.port);
        EXPECT_EQ(config.maxReceiveSize, c.expected.maxReceiveSize);
        EXPECT_EQ(config.disableNagle, c.expected.disableNagle);
    }
}

// ---- INI files

struct IniCase {
    std::string name;
    std::string text;
    std::string section, key;
    std::optional<std::string> value;
};

const std::vector<IniCase> kIni = {
    {"plain", "[A]\nk=v\n", "A", "k", "v"},
    {"blanks and CRLF", "  [ A ]  \r\n  k  =  some value \r\n", "A", "k", "some value"},
    {"case of names", "[Sec]\nKey=1\n", "sEC", "kEY", "1"},
    {"quotes come off", "[A]\nk=\"  quoted  \"\nq='x'\n", "A", "k", "  quoted  "},
    {"unbalanced quote stays", "[A]\nk=\"open\n", "A", "k", "\"open"},
    {"comment line", "[A]\n;k=1\nk=2\n", "A", "k", "2"},
    {"semicolon inside a value stays", "[A]\nk=1;2\n", "A", "k", "1;2"},
    {"first key wins", "[A]\nk=1\nk=2\n", "A", "k", "1"},
    {"first section wins", "[A]\nk=1\n[A]\nk=2\n", "A", "k", "1"},
    {"the first section lacking the key hides a later one", "[A]\nj=1\n[A]\nk=2\n", "A", "k", std::nullopt},
    {"keys before any section belong to none", "k=1\n[A]\n", "A", "k", std::nullopt},
    {"line without '='", "[A]\nk\n", "A", "k", std::nullopt},
    {"empty value", "[A]\nk=\n", "A", "k", ""},
    {"missing section", "[A]\nk=1\n", "B", "k", std::nullopt},
};

TEST(IniFileTest, ReadsLikeTheProfileFunctions)
{
    for (const IniCase& c : kIni) {
        SCOPED_TRACE(c.name);
        platform::IniFile file;
        file.parse(c.text);
        EXPECT_EQ(file.value(c.section, c.key), c.value);
    }
}

TEST(IniFileTest, FilesInUtf16AndWithUtf8MarkAreRead)
{
    testsupport::TempFolder temp;
    const std::u16string text = u"[Sim\u00C4]\r\nPort=\u00E9t\u00E9\r\n";
    std::string little = "\xFF\xFE";
    std::string big = "\xFE\xFF";
    for (char16_t c : text) {
        little += static_cast<char>(c & 0xFF);
        little += static_cast<char>(c >> 8);
        big += static_cast<char>(c >> 8);
        big += static_cast<char>(c & 0xFF);
    }
    const std::vector<std::string> files = {little, big, "\xEF\xBB\xBF[Sim\xC3\x84]\nPort=\xC3\xA9t\xC3\xA9\n"};
    for (const std::string& bytes : files) {
        testsupport::writeFile(temp / "x.cfg", bytes);
        platform::IniFile file;
        ASSERT_TRUE(file.load(temp / "x.cfg"));
        EXPECT_EQ(file.value("Sim\xC3\x84", "port"), "\xC3\xA9t\xC3\xA9");
    }
    platform::IniFile missing;
    EXPECT_FALSE(missing.load(temp / "none.cfg"));
    // A lone surrogate makes the file unreadable, as it does every UTF-16 text file.
    testsupport::writeFile(temp / "x.cfg", std::string("\xFF\xFE[\0A\0]\0\0\xD8", 10));
    EXPECT_FALSE(missing.load(temp / "x.cfg"));
}

} // namespace
