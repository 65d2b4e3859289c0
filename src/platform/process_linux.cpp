#include "platform/process.h"

#include <cerrno>
#include <signal.h>
#include <unistd.h>

namespace platform {

long currentProcessId()
{
    return static_cast<long>(::getpid());
}

bool processHasEnded(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace platform
