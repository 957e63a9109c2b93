#include "platform/linux/bridge/BridgeSocket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/linux/XdgDirs.h"

namespace {

// Fills `address` with `path`; false when the path does not fit.
bool ToAddress(const std::filesystem::path& path, sockaddr_un* address) {
    const std::string& text = path.native();
    if (text.empty() || text.size() >= sizeof address->sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, text.c_str(), text.size() + 1);
    return true;
}

// Makes `folder` exist as a folder of this user's that nobody else may enter.
bool MakePrivateFolder(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    const CUniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &status) != 0) {
        return false;
    }
    if (status.st_uid != ::geteuid()) {
        errno = EPERM;
        return false;
    }
    return (status.st_mode & 07777) == 0700 || ::fchmod(fd.Get(), 0700) == 0;
}

}  // namespace

std::filesystem::path BridgeSocketPath() {
    const std::filesystem::path runtime = XdgBaseDir(std::getenv("XDG_RUNTIME_DIR"), nullptr, "");
    return runtime.empty() ? runtime : runtime / "Quellio" / "bridge.sock";
}

CUniqueFd ListenBridgeSocket(const std::filesystem::path& path) {
    sockaddr_un address{};
    if (!ToAddress(path, &address) || !MakePrivateFolder(path.parent_path())) {
        return {};
    }
    CUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) {
        return {};
    }
    // Only Quellio's single instance listens here: what is at the path is a leftover of one
    // that ended.
    ::unlink(path.c_str());
    const mode_t oldMask = ::umask(0177);
    const int bound = ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(oldMask);
    if (bound != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd.Get(), 16) != 0) {
        return {};
    }
    return fd;
}

CUniqueFd ConnectBridgeSocket(const std::filesystem::path& path) {
    sockaddr_un address{};
    if (!ToAddress(path, &address)) {
        return {};
    }
    CUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid() ||
        ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        !SameUserPeer(fd.Get())) {
        return {};
    }
    return fd;
}

std::optional<pid_t> SameUserPeer(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials || credentials.uid != ::geteuid()) {
        return std::nullopt;
    }
    return credentials.pid;
}

std::optional<pid_t> ParentProcess(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line)) {
        return std::nullopt;
    }
    // "PID (COMMAND) STATE PPID ...": the command may hold blanks and parentheses.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    if (!(rest >> state >> parent)) {
        return std::nullopt;
    }
    return parent;
}
