#pragma once
// Records from the SimConnect thread to the work thread: what happened to AI objects. The
// SimConnect thread appends them under simCommandMutex; the engine drains the queue once per
// pass (lock order: simCommandMutex, then simConnectMutex, then the log mutex).

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

enum class SimCommandType : std::uint32_t {
    LiveCreated = 0,   // a live aircraft's object was created and bound; second: altitude above ground (ft)
    StaticCreated = 1, // a static aircraft's object was created and bound
    Removed = 2,       // the simulator removed an aircraft object
    GroundData = 3,    // an aircraft near the ground in range; key: on ground 0/1; first: ground
                       // altitude (ft); second: altitude above ground (ft)
    StaticCg = 4,      // first: static CG to ground (ft); second: static pitch (radians)
    Block = 5,         // made by the engine itself
    CreateRefused = 6, // the simulator refused the creation of the key's aircraft
};

struct SimCommand {
    std::uint32_t objectId = 0;
    std::uint32_t key = 0;
    std::uint32_t reserved = 0; // always 0
    SimCommandType type = SimCommandType::LiveCreated;
    double first = 0.0;
    double second = 0.0;
};

extern std::mutex simCommandMutex;
extern std::vector<SimCommand> simCommandQueue; // under simCommandMutex

// The queue is bounded whatever the simulator sends and whether or not the main loop drains it:
// a simulator's stream of object events for its own aircraft would otherwise fill the memory
// while the program waits for RealTraffic. Beyond the bound a command is dropped, counted and
// logged once a minute, unless a record waits for it: the creation of an object (bound or
// refused) and the removal of an object whose creation was queued are kept beyond the bound.
// There is one of each per creation sent, so what goes beyond stays small.
inline constexpr std::size_t kSimCommandLimit = 10000;

void gf_pushSimCommand(const SimCommand& command);
// Takes every queued command, oldest first, and leaves the queue empty.
std::vector<SimCommand> gf_takeSimCommands();
// The restart reset empties the queue and forgets the objects created.
void gf_clearSimCommands();
// Commands dropped by a full queue since the program started.
std::uint64_t gf_droppedSimCommands();
