#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/WaitUntil.h"

// A program started by a test or benchmark (a browser, trayer, xdotool, a launcher) and
// ended with it. It runs in a process group of its own, so that it and every process it
// starts are signalled together, and it is killed also when the test process dies first.
// Its output goes to a log file, or nowhere.
class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess() { Stop(); }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts `argv` (argv[0] looked up in PATH) with `env` added to this process's
    // environment (replacing variables of the same name), its standard output and error
    // going to `log` when given. Ends what this object ran before. Answers false when no
    // process could be made; a program that cannot be found ends at once with status 127.
    bool Start(const std::vector<std::string>& argv,
               const std::map<std::string, std::string>& env = {},
               const std::filesystem::path& log = {}) {
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

    // Asks the group to end (SIGTERM) or, with SIGKILL, kills it as a crash would; kills it
    // anyway when it has not ended within a few seconds, and waits for the program. Does
    // nothing when nothing runs.
    void Stop(int nSignal = SIGTERM) {
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
    // Sends `nSignal` to the group, such as SIGSTOP and SIGCONT for a program that hangs.
    void Signal(int nSignal) const {
        if (m_nPid > 0) {
            kill(-m_nPid, nSignal);
        }
    }
    bool IsRunning() {
        if (m_nPid > 0 && waitpid(m_nPid, nullptr, WNOHANG) == m_nPid) {
            m_nPid = -1;
        }
        return m_nPid > 0;
    }
    pid_t Pid() const { return m_nPid; }

    // Runs `argv` to its end with `env` added, output discarded; answers its exit code, or
    // -1 when it could not run or was ended by a signal.
    static int Run(const std::vector<std::string>& argv,
                   const std::map<std::string, std::string>& env = {}) {
        CChildProcess process;
        int status = 0;
        if (!process.Start(argv, env) || waitpid(process.m_nPid, &status, 0) != process.m_nPid) {
            return -1;
        }
        process.m_nPid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static std::vector<char*> Pointers(std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (std::string& text : strings) {
            pointers.push_back(text.data());
        }
        pointers.push_back(nullptr);
        return pointers;
    }

    pid_t m_nPid = -1;
};
