#pragma once

#include <string>

#include "platform/linux/UniqueFd.h"

// Tells whether another process of the same application name runs, by a lock on
// `${XDG_RUNTIME_DIR}/<name>.lock` that the kernel drops when the holder ends, however it
// ends. The lock is kept until the object goes.
class CInstanceLock {
public:
    enum class Result {
        Acquired,        // this process is the only one
        AlreadyRunning,  // another process holds the lock
        Unavailable,     // no lock could be taken; nothing is known about other processes
    };

    // Locks the file `<folder>/<name>.lock`; the folder defaults to XDG_RUNTIME_DIR, or
    // the system's temporary folder with the user id in the name where that is not set.
    Result Acquire(const std::string& name, const std::string& folder = {});

private:
    CUniqueFd m_Fd;
};
