#pragma once
// The program's own SimConnect client: the API calls the program makes, under the simulator
// vendor's names. Each request call builds one fixed-layout packet in the connection's send
// buffer and, while the connection sends at once (the default), hands it to the transport before
// returning. No request call waits for the simulator: writes and reads run on the connection's
// own I/O thread, and received messages wait in a queue until SimConnect_CallDispatch hands them
// to the caller's procedure on the caller's thread. Only SimConnect_Open waits, up to
// kConnectTimeoutMs (5 s) for each transport it tries, and SimConnect_Close, up to 100 ms.
//
// Every call returns an HRESULT: S_OK; E_FAIL for an unknown (null or closed) handle or a packet
// larger than the send buffer; E_INVALIDARG for a null pointer that the call needs;
// E_INSUFFICIENT_BUFFER for a string that does not fit its field (names hold up to 255 bytes,
// the tail number 11, the flight-plan path 259), in which case nothing is sent and the send id
// is not used up; and once the connection has failed, the failure status that the transport stored
// (always negative: E_ABORT for a malformed message stream, kStatusRemoteClosed when the simulator
// closed the connection, kStatusConnectionReset, ...), without building anything.
//
// Every request call takes an optional `sendId`: when given, it receives the send id of the
// packet that the call built (unchanged when the call fails). Unlike
// SimConnect_GetLastSentPacketID it cannot see a packet that another thread built in between.
//
// All calls may come from any thread; one process-wide lock serialises the building and flushing
// of packets of all connections.

#include "platform/message_window.h"
#include "platform/sync_event.h"
#include "simconnect/simconnect_protocol.h"

#include <cstdint>
#include <string>

namespace qmx {

// The procedure that SimConnect_CallDispatch hands each received message to: the message's
// bytes (at least a whole header), its size, and the context given to CallDispatch.
using DispatchProc = void (*)(SIMCONNECT_RECV* data, std::uint32_t size, void* context);

// SimConnect_CallDispatch(nullptr, kDispatchAllProc, kDispatchAllContext) dispatches every open
// connection with the procedure and context it last dispatched with.
inline const DispatchProc kDispatchAllProc = reinterpret_cast<DispatchProc>(static_cast<std::intptr_t>(-2));
inline void* const kDispatchAllContext = reinterpret_cast<void*>(static_cast<std::intptr_t>(-3));

// Opens a connection as SimConnect.cfg section configIndex says (see simconnect_config.h; the
// index 0xFFFFFFFF skips the file) and sends the Open packet with `name`. `window` with a
// non-zero `windowMessage` gets that message posted, and `event` is set, whenever a message
// arrives or the connection fails. On any failure *handle is null and nothing stays open:
// E_INVALIDARG for a null handle pointer or name or a missing configuration section, E_FAIL when
// no transport could be connected or the packet could not be built, E_INSUFFICIENT_BUFFER for a
// name of 256 bytes or more.
HRESULT SimConnect_Open(HANDLE* handle, const char* name, platform::MessageWindow* window, std::uint32_t windowMessage,
                        platform::SyncEvent* event, std::uint32_t configIndex);

// Sends what the send buffer still holds, gives the simulator up to 100 ms to take the queued
// bytes, then closes the connection and discards its received messages. The handle is invalid
// afterwards. E_FAIL only for an unknown handle. Must not be called from a notification
// (MessageWindow::postMessage): those run on the connection's I/O thread.
HRESULT SimConnect_Close(HANDLE handle);

// Hands every message received so far (and kept: see gf_scDroppedMessages) to `proc` (null: the
// procedure of the previous call; with neither the call fails with E_FAIL), oldest first, on the
// calling thread with no lock held.
// S_OK when the queue is drained and the connection healthy; the failure status once it failed.
// An exception thrown by `proc` passes through; the message it was given is gone, the rest stay.
HRESULT SimConnect_CallDispatch(HANDLE handle, DispatchProc proc, void* context);

// The send id of the last packet built on this connection (0 before the first).
HRESULT SimConnect_GetLastSentPacketID(HANDLE handle, std::uint32_t* sendId);

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE handle, std::uint32_t eventId, const char* eventName,
                                            std::uint32_t* sendId = nullptr);
HRESULT SimConnect_TransmitClientEvent(HANDLE handle, std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                                       std::uint32_t groupId, std::uint32_t flags, std::uint32_t* sendId = nullptr);
HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE handle, std::uint32_t groupId, std::uint32_t eventId,
                                                     bool maskable = false, std::uint32_t* sendId = nullptr);
HRESULT SimConnect_SetNotificationGroupPriority(HANDLE handle, std::uint32_t groupId, std::uint32_t priority,
                                                std::uint32_t* sendId = nullptr);
HRESULT SimConnect_AddToDataDefinition(HANDLE handle, std::uint32_t defineId, const char* datumName,
                                       const char* unitsName, SIMCONNECT_DATATYPE datumType = SIMCONNECT_DATATYPE_FLOAT64,
                                       float epsilon = 0, std::uint32_t datumId = SIMCONNECT_UNUSED,
                                       std::uint32_t* sendId = nullptr);
HRESULT SimConnect_ClearDataDefinition(HANDLE handle, std::uint32_t defineId, std::uint32_t* sendId = nullptr);
HRESULT SimConnect_RequestDataOnSimObject(HANDLE handle, std::uint32_t requestId, std::uint32_t defineId,
                                          std::uint32_t objectId, SIMCONNECT_PERIOD period, std::uint32_t flags = 0,
                                          std::uint32_t origin = 0, std::uint32_t interval = 0,
                                          std::uint32_t limit = 0, std::uint32_t* sendId = nullptr);
HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE handle, std::uint32_t requestId, std::uint32_t defineId,
                                              std::uint32_t radiusMeters, SIMCONNECT_SIMOBJECT_TYPE type,
                                              std::uint32_t* sendId = nullptr);
// Sends arrayCount (0 counts as 1) units of unitSize bytes from `data`. A null `data` with bytes
// to send gives E_INVALIDARG; a packet (36 bytes + data) above the send buffer's 41088 bytes E_FAIL.
HRESULT SimConnect_SetDataOnSimObject(HANDLE handle, std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                                      std::uint32_t arrayCount, std::uint32_t unitSize, const void* data,
                                      std::uint32_t* sendId = nullptr);
HRESULT SimConnect_SubscribeToSystemEvent(HANDLE handle, std::uint32_t eventId, const char* systemEventName,
                                          std::uint32_t* sendId = nullptr);
HRESULT SimConnect_UnsubscribeFromSystemEvent(HANDLE handle, std::uint32_t eventId, std::uint32_t* sendId = nullptr);
// A null initial position gives E_INVALIDARG.
HRESULT SimConnect_AICreateNonATCAircraft(HANDLE handle, const char* containerTitle, const char* tailNumber,
                                          const SIMCONNECT_DATA_INITPOSITION* initPosition, std::uint32_t requestId,
                                          std::uint32_t* sendId = nullptr);
HRESULT SimConnect_AIReleaseControl(HANDLE handle, std::uint32_t objectId, std::uint32_t requestId,
                                    std::uint32_t* sendId = nullptr);
HRESULT SimConnect_AIRemoveObject(HANDLE handle, std::uint32_t objectId, std::uint32_t requestId,
                                  std::uint32_t* sendId = nullptr);
HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE handle, std::uint32_t objectId, const char* flightPlanPath,
                                           std::uint32_t requestId, std::uint32_t* sendId = nullptr);

// Outbound buffering. While a TCP connection does not send at once, the packets that the request
// calls build gather in its send buffer and leave in one block, one socket write, at the next
// gf_scFlush (or when the buffer is too full for the next packet, or at SimConnect_Close); the
// bytes are the same as when each packet is sent by itself. Switching sending at once back on
// flushes. Every request on the connection waits for the flush meanwhile, so hold the packets
// only for a burst such as one frame's position writes. A pipe connection always sends at once:
// one write, one message, per packet.
HRESULT gf_scSetSendAtOnce(HANDLE handle, bool sendAtOnce);
HRESULT gf_scFlush(HANDLE handle);

// The received messages that waited for SimConnect_CallDispatch are bounded (32768 messages, 8 MiB
// of them): a simulator that sends faster than the program dispatches loses what comes beyond,
// and *count tells how many messages the connection dropped so. E_FAIL for an unknown handle.
HRESULT gf_scDroppedMessages(HANDLE handle, std::uint64_t* count);

// The request packets that wait for the simulator to take them are bounded the same way (32768
// blocks, 8 MiB of them; a block is one packet, or the packets held for one flush): a simulator
// that takes fewer than the program sends loses the packets beyond, though their calls returned
// S_OK, and *count tells how many the connection dropped so. What the program waits for an answer
// to is never dropped: removals (SimConnect_AIRemoveObject), creations
// (SimConnect_AICreateNonATCAircraft) and data requests for an AI object
// (SimConnect_RequestDataOnSimObject for any object but the user's). Such a packet in a block
// that finds the queue full is queued beyond the bound, with the others of its kind in that
// block, in the order built. E_FAIL for an unknown handle.
HRESULT gf_scDroppedSends(HANDLE handle, std::uint64_t* count);

// Why the connection failed, in words for the log, with its status and the system's error code;
// empty while it is healthy and for an unknown handle.
std::string gf_scFailureText(HANDLE handle);

} // namespace qmx
