#include "support/BrowserProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"

extern char** environ;

std::vector<std::string> CBrowserProcess::HeadlessFlags() {
    return {"--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--disable-crash-reporter",
            "--disable-dev-shm-usage"};
}

CBrowserProcess::CBrowserProcess(const std::vector<std::string>& argv,
                                 const std::map<std::string, std::string>& extraEnv,
                                 const std::filesystem::path& logFile) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!extraEnv.contains(text.substr(0, text.find('=')))) {
            env.push_back(text);
        }
    }
    for (const auto& [name, value] : extraEnv) {
        env.push_back(name + "=" + value);
    }
    std::vector<char*> args;
    std::vector<char*> envp;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    for (const std::string& entry : env) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);
        }
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    setpgid(m_pid, m_pid);
    if (log >= 0) {
        close(log);
    }
}

CBrowserProcess::~CBrowserProcess() {
    Kill();
}

std::optional<SDevToolsEndpoint> CBrowserProcess::WaitForEndpoint(
    const std::filesystem::path& portFile, std::chrono::seconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && m_pid > 0) {
        if (auto endpoint = CDevToolsDiscovery::ReadPortFile(portFile)) {
            CDevToolsClient client(std::chrono::seconds(5));
            if (SUCCEEDED(client.Connect(*endpoint))) {
                return endpoint;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
}

void CBrowserProcess::Freeze() {
    if (m_pid > 0) {
        kill(-m_pid, SIGSTOP);
    }
}

void CBrowserProcess::Resume() {
    if (m_pid > 0) {
        kill(-m_pid, SIGCONT);
    }
}

void CBrowserProcess::Kill() {
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        kill(-m_pid, SIGCONT);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}
