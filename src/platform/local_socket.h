#pragma once
// Local named pipes stand in here as Unix-domain stream sockets. Both sides of a pipe (the
// program and a simulator stand-in) compute the socket's path from the pipe name with
// pipeSocketPath, so a server listening there is reached by a client opening the pipe.

#include <filesystem>
#include <string_view>

namespace platform {

// The socket path of a local pipe name "\\.\pipe\<name>" ('/' also separates, "pipe" in any
// case): runtimeFolder() / the encoded <name>. The encoding lower-cases ASCII letters (pipe
// names ignore case), keeps letters, digits, '.', '-' and '_', and writes every other byte as
// '%' and two upper-case hex digits, so different names never share a path:
//   "\\.\pipe\Lockheed Martin Prepar3D v5\SimConnect"
//   -> <runtimeFolder>/lockheed%20martin%20prepar3d%20v5%5Csimconnect
// A pipe of another machine (server other than "."), a text that is no pipe name or an empty
// <name> gives an empty path. A socket path holds at most 107 bytes; a longer one cannot be
// connected to or listened on.
std::filesystem::path pipeSocketPath(std::string_view pipeName);

} // namespace platform
