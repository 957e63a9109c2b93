#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace {

std::string FindInPath(const std::string& strName) {
    if (strName.find('/') != std::string::npos) {
        return strName;
    }
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / strName;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

pid_t Spawn(const std::vector<std::string>& argv, int nPassFd) {
    const std::string strPath = FindInPath(argv.at(0));
    if (strPath.empty()) {
        return -1;
    }
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(127);
    }
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (nPassFd >= 0) {
        dup2(nPassFd, 3);
    }
    execv(strPath.c_str(), args.data());
    _exit(127);
}

}  // namespace

CChildProcess::~CChildProcess() {
    Stop();
}

bool CChildProcess::Start(const std::vector<std::string>& argv, int nPassFd) {
    Stop();
    m_nPid = Spawn(argv, nPassFd);
    return m_nPid > 0;
}

bool CChildProcess::IsRunning() {
    if (m_nPid <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(m_nPid, &status, WNOHANG) == m_nPid) {
        m_nPid = -1;
        return false;
    }
    return true;
}

void CChildProcess::Stop() {
    if (!IsRunning()) {
        return;
    }
    kill(m_nPid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(m_nPid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(m_nPid, SIGKILL);
            waitpid(m_nPid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_nPid = -1;
}

int CChildProcess::Run(const std::vector<std::string>& argv) {
    const pid_t pid = Spawn(argv, -1);
    if (pid <= 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}
