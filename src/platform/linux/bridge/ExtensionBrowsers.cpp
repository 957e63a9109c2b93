#include "platform/linux/bridge/ExtensionBrowsers.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include "platform/linux/bridge/BridgeSocket.h"

namespace {

void AddToEvents(int events, int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    ::epoll_ctl(events, EPOLL_CTL_ADD, fd, &event);
}

}  // namespace

CExtensionBrowsers::CExtensionBrowsers(std::filesystem::path socketPath,
                                       std::chrono::milliseconds addressGrace)
    : m_socketPath(std::move(socketPath)), m_addressGrace(addressGrace) {}

void CExtensionBrowsers::Listen() {
    if (m_bTried) {
        return;
    }
    m_bTried = true;
    if (m_socketPath.empty()) {
        return;
    }
    m_listener = ListenBridgeSocket(m_socketPath);
    if (m_listener.IsValid()) {
        m_events.Reset(::epoll_create1(EPOLL_CLOEXEC));
        AddToEvents(m_events.Get(), m_listener.Get());
        AddToEvents(m_events.Get(), m_pRequests->GetEventHandle());
    }
}

int CExtensionBrowsers::GetEventHandle() {
    Listen();
    return m_events.Get();
}

void CExtensionBrowsers::Watch(bool bWatch) {
    m_bWatched = bWatch;
    for (const auto& pBrowser : m_browsers) {
        pBrowser->Watch(bWatch);
    }
}

bool CExtensionBrowsers::Pump() {
    Listen();
    if (!m_listener.IsValid()) {
        return false;
    }
    bool bDue = false;
    for (;;) {
        CUniqueFd fd(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.IsValid()) {
            break;
        }
        const std::optional<pid_t> bridge = SameUserPeer(fd.Get());
        if (!bridge) {
            continue;  // someone else's process: closed at once
        }
        AddToEvents(m_events.Get(), fd.Get());
        m_browsers.push_back(std::make_shared<CExtensionBrowser>(
            std::move(fd), ParentProcess(*bridge), m_addressGrace));
        if (m_bWatched) {
            m_browsers.back()->Watch(true);
        }
    }
    // A connection that ended leaves; its descriptor closes and so leaves the epoll set.
    std::erase_if(m_browsers, [&](const auto& pBrowser) { return !pBrowser->Receive(&bDue); });
    m_pRequests->Serve(m_browsers);
    return bDue;
}
