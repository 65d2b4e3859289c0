#include "simlink/sim_commands.h"

#include "core/log.h"
#include "core/repeat_limiter.h"

#include <algorithm>
#include <fmt/format.h>
#include <unordered_set>
#include <utility>

std::mutex simCommandMutex;
std::vector<SimCommand> simCommandQueue;

namespace {
// The room the queue keeps for the next pass; what a burst needed more goes with the taken commands.
constexpr std::size_t kKeptCapacity = 256;

// All under simCommandMutex.
std::unordered_set<std::uint32_t> createdObjects; // their creation queued, their removal not yet
std::uint64_t droppedCommands = 0;
RepeatLimiter queueFullLog{std::chrono::minutes(1)};

// Notes what the command tells of the program's objects; true when a record waits for it.
bool lf_awaited(const SimCommand& command)
{
    switch (command.type) {
    case SimCommandType::LiveCreated:
    case SimCommandType::StaticCreated:
        createdObjects.insert(command.objectId);
        return true;
    case SimCommandType::CreateRefused:
        return true;
    case SimCommandType::Removed:
        return createdObjects.erase(command.objectId) != 0;
    default:
        return false;
    }
}

void lf_countDropped()
{
    ++droppedCommands;
    if (const std::optional<std::uint64_t> count = queueFullLog.occur())
        gf_logWarning(fmt::format("simulator command queue full ({} commands): {} commands dropped since the "
                                  "previous report, {} in all",
                                  kSimCommandLimit, *count, droppedCommands));
}

} // namespace

void gf_pushSimCommand(const SimCommand& command)
{
    std::lock_guard lock(simCommandMutex);
    if (!lf_awaited(command) && simCommandQueue.size() >= kSimCommandLimit) {
        lf_countDropped();
        return;
    }
    simCommandQueue.push_back(command);
}

std::vector<SimCommand> gf_takeSimCommands()
{
    std::vector<SimCommand> taken;
    std::lock_guard lock(simCommandMutex);
    taken.swap(simCommandQueue);
    simCommandQueue.reserve(std::min(taken.capacity(), kKeptCapacity));
    return taken;
}

void gf_clearSimCommands()
{
    std::lock_guard lock(simCommandMutex);
    simCommandQueue.clear();
    createdObjects.clear();
}

std::uint64_t gf_droppedSimCommands()
{
    std::lock_guard lock(simCommandMutex);
    return droppedCommands;
}
