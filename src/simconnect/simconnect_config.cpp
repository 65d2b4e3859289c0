#include "simconnect/simconnect_config.h"

#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/utf16.h"

#include <fmt/format.h>
#include <limits>
#include <mutex>
#include <optional>

namespace qmx {
namespace {

constexpr std::size_t kMaxValueLength = 1023;
// The simulator keeps the port as REG_SZ; the client reads at most 20 bytes of UTF-16.
constexpr std::uint32_t kPortBufferBytes = 20;

std::mutex configFoldersMutex;
std::vector<std::filesystem::path> configFolders;

std::string lf_sectionName(std::uint32_t configIndex)
{
    return configIndex == 0 ? std::string("SimConnect") : fmt::format("SimConnect.{}", configIndex);
}

// The integer at the start of a text as the Windows profile reader takes it: blanks, an
// optional sign and digits; no digits is 0. Out-of-range values are clamped.
std::int64_t lf_profileInt(const std::string& text)
{
    std::size_t pos = text.find_first_not_of(" \t");
    if (pos == std::string::npos)
        return 0;
    const bool negative = text[pos] == '-';
    if (text[pos] == '-' || text[pos] == '+')
        ++pos;
    std::int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            value = std::numeric_limits<std::uint32_t>::max();
    }
    return negative ? -value : value;
}

std::optional<std::string> lf_read(const platform::IniFile& file, const std::string& section, const char* key)
{
    std::optional<std::string> value = file.value(section, key);
    if (value && value->size() > kMaxValueLength)
        value->resize(kMaxValueLength);
    return value;
}

void lf_applyProtocol(const std::string& value, SimConnectConfig& config)
{
    using Protocol = SimConnectConfig::Protocol;
    const auto is = [&value](const char* name) {
        if (value.size() != std::char_traits<char>::length(name))
            return false;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if ((value[i] | 0x20) != (name[i] | 0x20))
                return false;
        }
        return true;
    };
    if (is("Auto") || is("Pipe")) {
        config.protocol = Protocol::Pipe;
    } else if (is("IPv4") || is("IPv6")) {
        const bool ipv6 = is("IPv6");
        config.protocol = ipv6 ? Protocol::IPv6 : Protocol::IPv4;
        if (!config.port.empty())
            config.port = gf_scRegistryPort(ipv6);
    }
}

void lf_applySection(const platform::IniFile& file, const std::string& section, SimConnectConfig& config)
{
    if (const auto protocol = lf_read(file, section, "Protocol"))
        lf_applyProtocol(*protocol, config);
    if (const auto address = lf_read(file, section, "Address"); address && !address->empty())
        config.address = *address;
    if (const auto port = lf_read(file, section, "Port"); port && !port->empty())
        config.port = *port;
    if (const auto size = lf_read(file, section, "MaxReceiveSize")) {
        const std::int64_t value = lf_profileInt(*size);
        if (value > static_cast<std::int64_t>(config.maxReceiveSize))
            config.maxReceiveSize = static_cast<std::uint32_t>(value);
    }
    if (const auto nagle = lf_read(file, section, "DisableNagle"))
        config.disableNagle = lf_profileInt(*nagle) != 0;
}

} // namespace

std::vector<std::filesystem::path> gf_scConfigFolders()
{
    {
        std::lock_guard lock(configFoldersMutex);
        if (!configFolders.empty())
            return configFolders;
    }
    std::error_code ec;
    return {platform::publicDocumentsFolder(), platform::documentsFolder(), std::filesystem::current_path(ec)};
}

void gf_scSetConfigFolders(std::vector<std::filesystem::path> folders)
{
    std::lock_guard lock(configFoldersMutex);
    configFolders = std::move(folders);
}

std::string gf_scRegistryPort(bool ipv6)
{
    std::unique_ptr<platform::RegKey> key;
    if (platform::regOpenKey(platform::RegRoot::CurrentUser, u"SOFTWARE\\Lockheed Martin\\Prepar3D v5", key) != 0)
        return {};
    char16_t buffer[kPortBufferBytes / sizeof(char16_t)] = {};
    std::uint32_t size = kPortBufferBytes;
    if (platform::regGetString(*key, ipv6 ? u"SimConnect_Port_IPv6" : u"SimConnect_Port_IPv4", buffer, size) != 0)
        return {};
    const std::u16string_view text(buffer);
    std::string port(text.size() * 3, '\0');
    std::uint32_t error = 0;
    port.resize(platform::utf16ToUtf8(text, port.data(), port.size(), error));
    return port;
}

int gf_scReadConfig(std::uint32_t configIndex, SimConnectConfig& config)
{
    if (configIndex == kConfigIndexNone)
        return kConfigOk;
    const std::string section = lf_sectionName(configIndex);
    std::vector<platform::IniFile> files;
    for (const std::filesystem::path& folder : gf_scConfigFolders()) {
        platform::IniFile file;
        if (!folder.empty() && file.load(platform::findCaseInsensitive(folder, "SimConnect.cfg")))
            files.push_back(std::move(file));
    }
    if (configIndex != 0) {
        bool found = false;
        for (const platform::IniFile& file : files)
            found = found || file.hasSection(section);
        if (!found)
            return kConfigSectionMissing;
    }
    for (const platform::IniFile& file : files)
        lf_applySection(file, section, config);
    return kConfigOk;
}

} // namespace qmx
