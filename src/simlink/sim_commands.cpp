#include "simlink/sim_commands.h"

#include <algorithm>
#include <utility>

std::mutex simCommandMutex;
std::vector<SimCommand> simCommandQueue;

namespace {
// The room the queue keeps for the next pass; what a burst needed more goes with the taken commands.
constexpr std::size_t kKeptCapacity = 256;
} // namespace

void gf_pushSimCommand(const SimCommand& command)
{
    std::lock_guard lock(simCommandMutex);
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
}
