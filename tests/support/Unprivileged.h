#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

// The user that RunUnprivileged runs as when the tests run as root.
inline constexpr uid_t kNobody = 65534;

// Runs `body` in a forked child that has given up root (uid and gid 65534) when the tests
// run as root, so that file permissions hold for it as for any user. Answers the child's
// exit status: what `body` returned, or 128 + the signal that ended it.
inline int RunUnprivileged(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
             ::setresuid(kNobody, kNobody, kNobody) != 0)) {
            ::_exit(126);
        }
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Makes the unprivileged user of RunUnprivileged the owner of `dir` and of everything in it
// (links themselves, not what they point to), when the tests run as root. False on failure.
inline bool GiveTreeToUnprivileged(const std::filesystem::path& dir) {
    if (::geteuid() != 0) {
        return true;
    }
    std::error_code ec;
    bool bDone = ::lchown(dir.c_str(), kNobody, kNobody) == 0;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        bDone = ::lchown(it->path().c_str(), kNobody, kNobody) == 0 && bDone;
    }
    return bDone && !ec;
}
