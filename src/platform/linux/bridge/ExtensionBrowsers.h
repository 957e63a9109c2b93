#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/linux/UniqueFd.h"
#include "platform/linux/bridge/ExtensionBrowser.h"
#include "platform/linux/bridge/ExtensionRequests.h"

// Quellio's end of the bridge socket: the browsers connected through their companion
// extension. It listens from its first use on (not when made, so that a second Quellio that
// is about to give way never takes the socket from the first), takes every connection of a
// bridge of this user's, and drops a connection that ends or misbehaves, which touches no
// other. Everything happens in Pump, without waiting; the event descriptor turns readable
// when there is something for it.
class CExtensionBrowsers {
public:
    explicit CExtensionBrowsers(
        std::filesystem::path socketPath,
        std::chrono::milliseconds addressGrace = CExtensionBrowser::kAddressGrace);

    // Takes new connections and the messages that have arrived. Answers whether a browser
    // finished telling its state; what the browsers announced waits in each for
    // CExtensionBrowser::TakeAnnounced.
    bool Pump();
    // Starts or stops the holding of new tabs' first pages in every browser, and in those
    // that connect later.
    void Watch(bool bWatch);
    // An epoll descriptor holding the socket and every connection; -1 when it cannot listen.
    int GetEventHandle();
    const std::vector<std::shared_ptr<CExtensionBrowser>>& Browsers() const { return m_browsers; }
    // Where other threads ask the browsers for more than their tabs; served by Pump.
    std::shared_ptr<CExtensionRequests> Requests() const { return m_pRequests; }

private:
    void Listen();

    std::filesystem::path m_socketPath;
    std::chrono::milliseconds m_addressGrace;
    bool m_bTried = false;
    bool m_bWatched = false;
    CUniqueFd m_listener;
    CUniqueFd m_events;
    std::vector<std::shared_ptr<CExtensionBrowser>> m_browsers;
    std::shared_ptr<CExtensionRequests> m_pRequests = std::make_shared<CExtensionRequests>();
};
