#pragma once
// What the Windows socket and pipe files of the stand-in share.

#include "sockets.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace fakesim::net {

// The system's text of a Win32 or Winsock error code.
std::string gf_errorText(unsigned long error);
// `what` and the text of the last Winsock error.
std::runtime_error gf_socketError(const std::string& what);
// An IPv4 socket that child processes do not inherit. Throws std::runtime_error.
Socket gf_openSocket(int type, int protocol, bool nonBlocking);
sockaddr_in gf_loopback(std::uint16_t port);
std::uint16_t gf_boundPort(Socket socket);

} // namespace fakesim::net
