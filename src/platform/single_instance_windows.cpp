#include "platform/single_instance.h"

#include <string>
#include <windows.h>

bool gf_acquireSingleInstance(std::string_view mutexName)
{
    const std::string name(mutexName);
    // The handle stays open: the mutex exists until the process ends.
    const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    // A first instance running as administrator made a mutex that this user may not open: it
    // runs already.
    if (mutex == nullptr)
        return ::GetLastError() != ERROR_ACCESS_DENIED; // else no guard possible: run unguarded
    return ::GetLastError() != ERROR_ALREADY_EXISTS;
}
