#pragma once

#include "support/ChildProcess.h"

#include <cstdint>
#include <optional>
#include <string>

struct xcb_connection_t;

// A private X server (Xvfb) for tests that need a real display, and on demand a real tray
// host (trayer) on it. Start sets DISPLAY for this process; the display number is whatever
// the server finds free, so sessions running side by side never collide.
class CXvfbSession {
public:
    CXvfbSession() = default;
    ~CXvfbSession();
    CXvfbSession(const CXvfbSession&) = delete;
    CXvfbSession& operator=(const CXvfbSession&) = delete;

    // Starts the server and waits until it takes connections. Answers false when it cannot.
    bool Start();
    // Ends the tray host and the server, and puts DISPLAY back.
    void Stop();
    // ":N".
    const std::string& Display() const { return m_strDisplay; }

    // Starts trayer and waits until it has taken the tray selection.
    bool StartTrayer();
    // Ends trayer and waits until the tray selection is free.
    bool StopTrayer();
    // Whether a tray host holds the tray selection of screen 0 now.
    bool HasTrayHost() const;

private:
    bool WaitForTrayHost(bool bPresent) const;

    CChildProcess m_Server;
    CChildProcess m_Trayer;
    std::string m_strDisplay;
    std::optional<std::string> m_strOldDisplay;
    xcb_connection_t* m_pConnection = nullptr;
    std::uint32_t m_nTrayAtom = 0;
};
