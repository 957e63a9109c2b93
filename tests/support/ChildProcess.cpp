#include "support/ChildProcess.h"

#include "support/WaitUntil.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::filesystem::path& log) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!env.contains(text.substr(0, text.find('=')))) {
            entries.push_back(text);
        }
    }
    for (const auto& [name, value] : env) {
        entries.push_back(name + "=" + value);
    }
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : entries) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    const int output = log.empty()
                           ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                           : open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        dup2(input, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (pid > 0) {
        // Also here, so that a signal sent right after Start reaches the group.
        setpgid(pid, pid);
    }
    close(input);
    close(output);
    return pid;
}

}  // namespace

CChildProcess::~CChildProcess() {
    Stop();
}

bool CChildProcess::Start(const std::vector<std::string>& argv,
                          const std::map<std::string, std::string>& env,
                          const std::filesystem::path& log) {
    Stop();
    m_nPid = Spawn(argv, env, log);
    return m_nPid > 0;
}

bool CChildProcess::IsRunning() {
    if (m_nPid <= 0) {
        return false;
    }
    if (waitpid(m_nPid, nullptr, WNOHANG) == m_nPid) {
        m_nPid = -1;
        return false;
    }
    return true;
}

void CChildProcess::Stop() {
    End(SIGTERM);
}

void CChildProcess::Kill() {
    End(SIGKILL);
}

void CChildProcess::End(int nSignal) {
    if (m_nPid <= 0) {
        return;
    }
    // The group, not only the program: a browser's helpers or a script's children too.
    kill(-m_nPid, nSignal);
    kill(-m_nPid, SIGCONT);
    if (!WaitUntil([this] { return !IsRunning(); }, std::chrono::seconds(5))) {
        kill(-m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
    }
    m_nPid = -1;
}

void CChildProcess::Freeze() {
    if (m_nPid > 0) {
        kill(-m_nPid, SIGSTOP);
    }
}

void CChildProcess::Resume() {
    if (m_nPid > 0) {
        kill(-m_nPid, SIGCONT);
    }
}

int CChildProcess::Run(const std::vector<std::string>& argv) {
    CChildProcess process;
    if (!process.Start(argv)) {
        return -1;
    }
    int status = 0;
    const pid_t pid = std::exchange(process.m_nPid, -1);
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}
