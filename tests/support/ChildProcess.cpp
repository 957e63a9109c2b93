#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/WaitUntil.h"

extern char** environ;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

bool CChildProcess::Start(const std::vector<std::string>& argv,
                          const std::map<std::string, std::string>& env,
                          const std::filesystem::path& log) {
    Stop();
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
    std::vector<std::string> args = argv;
    const std::vector<char*> argp = Pointers(args);
    const std::vector<char*> envp = Pointers(entries);
    const int output = log.empty()
                           ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                           : open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    m_nPid = fork();
    if (m_nPid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        dup2(input, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    if (m_nPid > 0) {
        setpgid(m_nPid, m_nPid);  // also here, so a signal sent at once reaches the group
    }
    close(input);
    close(output);
    return m_nPid > 0;
}

bool CChildProcess::IsRunning() {
    if (m_nPid > 0 && waitpid(m_nPid, nullptr, WNOHANG) == m_nPid) {
        m_nPid = -1;
    }
    return m_nPid > 0;
}

void CChildProcess::Signal(int nSignal) const {
    if (m_nPid > 0) {
        kill(-m_nPid, nSignal);
    }
}

void CChildProcess::Stop(int nSignal) {
    if (!IsRunning()) {
        return;
    }
    Signal(nSignal);
    Signal(SIGCONT);
    if (!WaitUntil([this] { return !IsRunning(); }, std::chrono::seconds(5))) {
        Signal(SIGKILL);
        waitpid(m_nPid, nullptr, 0);
        m_nPid = -1;
    }
}

int CChildProcess::Run(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& env) {
    CChildProcess process;
    int status = 0;
    if (!process.Start(argv, env) || waitpid(process.m_nPid, &status, 0) != process.m_nPid) {
        return -1;
    }
    process.m_nPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
