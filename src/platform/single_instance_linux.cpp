#include "platform/single_instance.h"

#include "platform/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

std::filesystem::path gf_singleInstanceLockFile(std::string_view mutexName)
{
    // Mutex names carry a namespace prefix with a backslash ("Local\..."): keep the name
    // readable but a single file name.
    std::string name;
    for (const char c : mutexName)
        name += (c == '\\' || c == '/') ? '_' : c;
    return platform::runtimeFolder() / (name + ".lock");
}

bool gf_acquireSingleInstance(std::string_view mutexName)
{
    const std::string path = gf_singleInstanceLockFile(mutexName).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no guard possible here: run unguarded, as with a mutex that cannot be made
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool heldElsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return !heldElsewhere;
    }
    // The descriptor stays open: the lock is held until the process ends.
    return true;
}
