#include "served_pipe.h"

#include "platform/local_socket.h"

std::filesystem::path servedPipe(const std::string& pipeName)
{
    return platform::pipeSocketPath(pipeName);
}
