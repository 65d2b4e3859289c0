#pragma once
// setenv and unsetenv, which the C library of Windows offers as _putenv_s, for code that
// changes the environment of the process (the test support).

#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite)
{
    if (overwrite == 0 && getenv(name) != nullptr)
        return 0;
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name)
{
    return _putenv_s(name, "");
}
