#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A program started by a test and ended with it. Its output goes nowhere; it dies with the
// test process even when the test crashes.
class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts `argv` (argv[0] looked up in PATH). `nPassFd`, when not -1, is handed to the
    // child as its descriptor 3. Answers false when the program cannot be found or started.
    bool Start(const std::vector<std::string>& argv, int nPassFd = -1);

    // Sends SIGTERM, then SIGKILL if the program has not ended within a few seconds, and
    // waits for it. Does nothing when nothing runs.
    void Stop();

    bool IsRunning();
    pid_t Pid() const { return m_nPid; }

    // Runs `argv` to its end; answers its exit code, or -1 when it could not run or was
    // killed by a signal.
    static int Run(const std::vector<std::string>& argv);

private:
    pid_t m_nPid = -1;
};
