#include "simlink/sim_commands.h"

#include <utility>

std::mutex simCommandMutex;
std::vector<SimCommand> simCommandQueue;

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
    simCommandQueue.reserve(taken.capacity());
    return taken;
}

void gf_clearSimCommands()
{
    std::lock_guard lock(simCommandMutex);
    simCommandQueue.clear();
}
