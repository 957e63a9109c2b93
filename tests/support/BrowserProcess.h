#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/devtools/DevToolsEndpoint.h"

// A browser started for a test, in a process group of its own, so that the browser and
// every process it starts can be frozen, resumed and killed together. It is killed when
// the object goes, and also if the test process dies first.
class CBrowserProcess {
public:
    // The flags that make Chromium run headless and quiet on a test machine.
    static std::vector<std::string> HeadlessFlags();

    // Runs `argv` (argv[0] looked up in PATH) with `extraEnv` added to this process's
    // environment; the program's output goes to `logFile`.
    CBrowserProcess(const std::vector<std::string>& argv,
                    const std::map<std::string, std::string>& extraEnv,
                    const std::filesystem::path& logFile);
    ~CBrowserProcess();
    CBrowserProcess(const CBrowserProcess&) = delete;
    CBrowserProcess& operator=(const CBrowserProcess&) = delete;

    // Waits for the browser to write `portFile` and to accept a connection there.
    std::optional<SDevToolsEndpoint> WaitForEndpoint(const std::filesystem::path& portFile,
                                                     std::chrono::seconds timeout) const;

    void Freeze();
    void Resume();
    void Kill();

private:
    pid_t m_pid = -1;
};
