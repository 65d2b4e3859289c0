#pragma once
// Shared between the files of the SimConnect layer; not for the rest of the program.

#include "core/repeat_limiter.h"
#include "simconnect/simconnect_protocol.h"
#include "simlink/sim_state.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One creation that was sent and not yet bound: the send id of its own packet, the aircraft's
// key, and the callsign it used as tail number (the simulator reports it back as ATC ID).
struct PendingCreation {
    std::uint32_t sendId = 0;
    std::uint32_t key = 0;
    std::string callsign;
};

// SimConnect thread only (and the restart reset after the thread ended).
extern std::vector<PendingCreation> pendingCreations;
extern std::vector<std::uint32_t> addedObjects; // ObjectAdded, not yet bound
// The creations sent that neither their reply (the new object's id) nor a refusal has answered
// yet. Only such a reply asks the new object for its data: one that answers no creation (a
// damaged stream, a simulator repeating itself) would make a request of every message.
extern std::uint32_t unansweredCreations;

// Flush of the outbound queues at every simulator frame (SimConnect thread).
void lf_flushSimQueues();
// A frame's packets leave in one write (true, always in the program); false sends each packet
// by itself, for the comparison in the flush benchmark.
extern std::atomic<bool> batchFrameWrites;
// Releases the object from AI control at once and queues the three freeze events.
void lf_freezeAc(std::uint32_t objectId);
// The in-range data (definition 404) of one object, once; its reply binds an object this program
// created wherever it is, like an in-range reply.
void lf_requestCreatedObjectData(std::uint32_t objectId);
// Both position buffers, the event, creation and removal queues emptied.
void lf_clearOutboundQueues();
void lf_setSimConnectHandle(qmx::HANDLE handle);

void lf_storeLiveUserAc(const UserAcData& data);
void lf_storeFrameRate(float framesPerSecond);
// Changes the window's status under its lock, then tells the window.
void lf_changeStatus(const std::function<void(SimLinkStatus&)>& change);

// Work the SimConnect thread leaves to the work thread, which owns the stand table and the
// park-airport list: the stand under the user aircraft after a new user block, and recording
// the user's stand in the park-airport list.
extern std::atomic<bool> userStandCheckPending;
extern std::atomic<bool> recordUserParkAirportPending;

// The dispatch procedure of the SimConnect thread and the state it keeps between messages.
void lf_dispatchProc(qmx::SIMCONNECT_RECV* message, std::uint32_t size, void* context);
void lf_resetDispatchState();
// The creation replies whose object is not bound yet.
std::size_t lf_unboundObjectCount();
// The log lines that the simulator's messages make, written once a minute per text with the
// number of repeats (core/repeat_limiter.h): the simulator decides how often they come.
extern RepeatedLines simulatorLines;
// After every dispatch: when the connection dropped received messages for a full queue, or request
// packets for a full send queue, logs their number (each at most once a minute).
void lf_noteDroppedMessages(qmx::HANDLE handle);
// The end of a connection: writes the repeats and drops held back, and forgets them.
void lf_endSimulatorLines();
// Set by a QUIT message: the simulator is gone and the thread ends its connection.
extern std::atomic<bool> simulatorQuit;
