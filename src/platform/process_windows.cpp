#include "platform/process.h"

#include <windows.h>

namespace platform {

long currentProcessId()
{
    return static_cast<long>(::GetCurrentProcessId());
}

bool processHasEnded(long pid)
{
    if (pid <= 0)
        return false;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        return ::GetLastError() == ERROR_INVALID_PARAMETER; // no process of that id
    DWORD exitCode = 0;
    const bool ended = ::GetExitCodeProcess(process, &exitCode) != FALSE && exitCode != STILL_ACTIVE;
    ::CloseHandle(process);
    return ended;
}

} // namespace platform
