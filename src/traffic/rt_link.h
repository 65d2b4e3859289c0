#pragma once
// The TCP link to the RealTraffic client when it runs on this PC: the program listens, the
// client connects; one text line each way per message, ended by CR LF. The program asks for the
// client's version and edition, sends the user aircraft's position every second and the
// simulator time, and "exit" at the end of a run.
//
// Threads and ownership: the work thread accepts, sends and receives; the exit thread sends
// "exit" and closes the link while the work thread may still be blocked in accept or busy with a
// send. Both sockets are net::GuardedSocket: the exit only shuts them down, and each descriptor
// is closed by whoever lets go of it last, so no send ever reaches a closed (and perhaps reused)
// descriptor. rtLinkMutex orders the two hand-overs that must not cross: a client accepted
// while the exit closes the link is closed instead of being installed.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t kRtReceiveBufferSize = 8192;
inline constexpr std::chrono::seconds kRtReplyPatience{5};
// A client that has not taken a message within this time has stopped reading: it is dropped as
// after a failed send. The closing "exit" waits no longer than kRtExitPatience.
inline constexpr std::chrono::seconds kRtSendPatience{5};
inline constexpr std::chrono::seconds kRtExitPatience{1};

// A client is connected.
extern std::atomic<bool> rtConnected;

// Opens the listening socket on the port text (PORT_NUMBER); raises qmx::SysErrorException 0..6.
void gf_startRealTrafficServer(const std::string& port);
// The port the server listens on (useful when it was started on "0"); 0 when not listening.
std::uint16_t gf_realTrafficServerPort();

// The start of a run: waits for the client, asks its version and edition. True when a client
// connected and answered: the start-up phase is over then. A reply that is no JSON object of
// the expected members raises the JSON library's error for the run to report.
bool lf_connectRealTraffic();
// Accepts one client unless one is connected; blocks until it comes or the link is closed.
bool waitForClient();
// The client's reply as one receive brings it, without a line end behind it; read on only while
// it is a JSON object not yet complete, for at most kRtReplyPatience. Empty when the client
// closed or on an error.
std::string receive();
// Sends the whole text; on an error, or when the client has not taken it within
// kRtSendPatience, the client is dropped (closed, not connected) and false is returned.
bool sendDataPacket(std::string_view text);
// Reads the version reply: sets the edition (g_professionalEdition) and the version text.
void lf_readRealTrafficVersion(const std::string& reply);
// "Qs123=" with the simulator time in Unix milliseconds, when connected and seconds >= 1.
void lf_sendQs123(std::int64_t seconds);
// Every second: the user aircraft's position to the client; waits for a lost client to return.
void gf_sendOwnPosition();
// The exit and the run's failure path: "exit" to a connected client, then both sockets closed.
void gf_closeRealTrafficServer();
// The exit, before it waits for the work thread: returns a work thread blocked in accept, recv
// or send on the link. The listening socket is closed (no client is taken during an exit); the
// client socket stops receiving, and stops sending only while a send is under way (its client
// does not read), so that gf_closeRealTrafficServer still says "exit" to a client that reads.
void gf_wakeRealTrafficLink();
