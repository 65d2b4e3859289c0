#pragma once
// SimConnect.cfg: where the client looks for it and what a section of it sets.
//
// The file "SimConnect.cfg" (name in any case) is looked for in three folders, in this order:
// the public documents folder (Windows: FOLDERID_PublicDocuments; Linux: the home folder stands
// in for it), the user's documents folder (Linux: $XDG_DOCUMENTS_DIR, else ~/Documents) and the
// current folder. The section is [SimConnect] for
// configuration index 0 and [SimConnect.N] for index N; every file that has it is read in that
// order, each overriding, key by key, what an earlier one set:
//   Protocol        Auto or Pipe: the pipe; IPv4 / IPv6: TCP, and a port set by an earlier file
//                   is replaced by the simulator's own port for that protocol from the registry
//                   (HKEY_CURRENT_USER "SOFTWARE\Lockheed Martin\Prepar3D v5", values
//                   SimConnect_Port_IPv4 / SimConnect_Port_IPv6; missing: no port); others: ignored
//   Address, Port   a non-empty value replaces (at most 1023 characters); for the pipe, Port is
//                   the pipe name
//   MaxReceiveSize  raises the largest accepted message size, never lowers it
//   DisableNagle    non-zero: TCP_NODELAY on sockets; zero: off

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qmx {

struct SimConnectConfig {
    enum class Protocol { Pipe, IPv4, IPv6 };
    Protocol protocol = Protocol::Pipe;
    std::string address;
    std::string port; // the pipe name for the pipe
    std::uint32_t maxReceiveSize = 41088;
    bool disableNagle = false;
};

inline constexpr std::uint32_t kConfigIndexNone = 0xFFFFFFFFu; // skips SimConnect.cfg

inline constexpr int kConfigOk = 0;
inline constexpr int kConfigSectionMissing = 3;

// Reads section configIndex into `config` (which should hold the defaults). For an index other
// than 0 and kConfigIndexNone the section must exist in one of the files, else the result is
// kConfigSectionMissing; index 0 without any file leaves the defaults.
int gf_scReadConfig(std::uint32_t configIndex, SimConnectConfig& config);

// The folders searched for SimConnect.cfg, in their order.
std::vector<std::filesystem::path> gf_scConfigFolders();
// Replaces the searched folders (tests point them at their own folders); an empty list
// restores the three folders above.
void gf_scSetConfigFolders(std::vector<std::filesystem::path> folders);

// The simulator's TCP port for IPv6 or IPv4 from the registry, empty when missing or longer
// than 9 characters.
std::string gf_scRegistryPort(bool ipv6);

} // namespace qmx
