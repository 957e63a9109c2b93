#include "platform/linux/desktop/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

CInstanceLock::Result CInstanceLock::Acquire(const std::string& name, const std::string& folder) {
    std::string path;
    if (!folder.empty()) {
        path = folder + "/" + name + ".lock";
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        path = std::string(runtime) + "/" + name + ".lock";
    } else {
        // A shared folder: the user id keeps users apart.
        path = "/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock";
    }
    // O_NOFOLLOW: in a shared folder the name could be a planted link.
    CUniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.IsValid()) {
        return Result::Unavailable;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? Result::AlreadyRunning : Result::Unavailable;
    }
    m_Fd = std::move(fd);
    return Result::Acquired;
}
