#pragma once

#include <sys/types.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

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
               const std::filesystem::path& log = {});

    // Asks the group to end (SIGTERM) or, with SIGKILL, kills it as a crash would; kills it
    // anyway when it has not ended within a few seconds, and waits for the program. Does
    // nothing when nothing runs.
    void Stop(int nSignal = SIGTERM);
    // Sends `nSignal` to the group, such as SIGSTOP and SIGCONT for a program that hangs.
    void Signal(int nSignal) const;
    bool IsRunning();
    pid_t Pid() const { return m_nPid; }

    // Runs `argv` to its end with `env` added, output discarded; answers its exit code, or
    // -1 when it could not run or was ended by a signal.
    static int Run(const std::vector<std::string>& argv,
                   const std::map<std::string, std::string>& env = {});

private:
    pid_t m_nPid = -1;
};
