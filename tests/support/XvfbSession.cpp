#include "support/XvfbSession.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
constexpr auto kLimit = 20s;

bool WaitUntil(const auto& done) {
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return done();
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Reads the display number that Xvfb writes to its -displayfd descriptor.
std::string ReadDisplayNumber(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const auto end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

}  // namespace

CXvfbSession::~CXvfbSession() {
    Stop();
}

bool CXvfbSession::Start() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    const bool bStarted = m_Server.Start(
        {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1024x768x24"}, fds[1]);
    close(fds[1]);
    const std::string strNumber = bStarted ? ReadDisplayNumber(fds[0]) : std::string();
    close(fds[0]);
    if (strNumber.empty()) {
        m_Server.Stop();
        return false;
    }
    m_strDisplay = ":" + strNumber;
    if (const char* old = std::getenv("DISPLAY")) {
        m_strOldDisplay = old;
    }
    setenv("DISPLAY", m_strDisplay.c_str(), 1);
    m_pConnection = xcb_connect(m_strDisplay.c_str(), nullptr);
    if (xcb_connection_has_error(m_pConnection) != 0) {
        Stop();
        return false;
    }
    const char* name = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        m_pConnection,
        xcb_intern_atom(m_pConnection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    if (atom != nullptr) {
        m_nTrayAtom = atom->atom;
        std::free(atom);
    }
    return true;
}

void CXvfbSession::Stop() {
    m_Trayer.Stop();
    if (m_pConnection != nullptr) {
        xcb_disconnect(m_pConnection);
        m_pConnection = nullptr;
    }
    m_Server.Stop();
    if (!m_strDisplay.empty()) {
        if (m_strOldDisplay) {
            setenv("DISPLAY", m_strOldDisplay->c_str(), 1);
        } else {
            unsetenv("DISPLAY");
        }
        m_strDisplay.clear();
    }
}

bool CXvfbSession::HasTrayHost() const {
    if (m_pConnection == nullptr || m_nTrayAtom == 0) {
        return false;
    }
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        m_pConnection, xcb_get_selection_owner(m_pConnection, m_nTrayAtom), nullptr);
    const bool bOwned = reply != nullptr && reply->owner != XCB_NONE;
    std::free(reply);
    return bOwned;
}

bool CXvfbSession::WaitForTrayHost(bool bPresent) const {
    return WaitUntil([&] { return HasTrayHost() == bPresent; });
}

bool CXvfbSession::StartTrayer() {
    if (m_pConnection == nullptr ||
        !m_Trayer.Start({"trayer", "--edge", "top", "--align", "left", "--widthtype", "pixel",
                         "--width", "200", "--height", "32", "--SetDockType", "false",
                         "--SetPartialStrut", "false"})) {
        return false;
    }
    return WaitForTrayHost(true);
}

bool CXvfbSession::StopTrayer() {
    m_Trayer.Stop();
    return WaitForTrayHost(false);
}
