#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Result.h"
#include "platform/linux/devtools/DevToolsBarReader.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsEndpoint.h"
#include "platform/linux/devtools/DevToolsHolds.h"
#include "platform/linux/devtools/DevToolsTarget.h"

// One browser reached over DevTools: its connection, its targets as last read, and what is
// known of its windows. A window's bars are read once per target (CDevToolsBarReader) and
// kept while the target lives and the connection holds.
//
// While watched, the browser announces its windows as they appear and change address, and
// holds each new window before its first page is requested (CDevToolsHolds), so that a pass
// can close the window before the page is asked for.
class CDevToolsBrowser {
public:
    // How long a new window may show no address while its first page is on the way.
    static constexpr std::chrono::milliseconds kAddressGrace{2000};
    // How long a new window's first request may wait for a pass to judge it.
    static constexpr std::chrono::milliseconds kHoldLimit{1000};
    // How long a window asked to close is left out of the target lists while it goes.
    static constexpr std::chrono::milliseconds kCloseGrace{2000};

    CDevToolsBrowser(SDevToolsEndpoint endpoint, std::chrono::milliseconds timeout,
                     std::chrono::milliseconds addressGrace = kAddressGrace,
                     std::chrono::milliseconds holdLimit = kHoldLimit);
    // Lets every held window go on.
    ~CDevToolsBrowser();
    CDevToolsBrowser(const CDevToolsBrowser&) = delete;
    CDevToolsBrowser& operator=(const CDevToolsBrowser&) = delete;

    const SDevToolsEndpoint& GetEndpoint() const { return m_endpoint; }
    CDevToolsClient& GetClient() { return m_client; }

    // Connects unless connected; a new connection starts with nothing known, and is watched
    // when the browser is.
    HRESULT Open();
    // One round trip: the browser's targets now, in its order, but those being closed.
    // Forgets what it knew of targets that are gone. A held window's address is the one its
    // first request asks for.
    HRESULT ReadTargets(std::vector<SDevToolsTarget>* targets);
    // Whether the browser shows the target's address bar and its tool bar. E_PENDING for a
    // window whose first request is held and whose bars could not be read before.
    HRESULT ReadBars(const SDevToolsTarget& target, bool* addressBar, bool* toolBar);
    // Asking again to close a target already being closed succeeds at once: the window is
    // going, as asked, and the browser would answer that it no longer knows the target.
    HRESULT CloseTarget(const std::string& strTargetId);
    // Whether the target is a window that has had no address since it appeared, for less
    // than the grace: a pop-up caught before its first page arrives would otherwise be
    // judged on an empty address, which no white-list entry can spare.
    bool IsAwaitingAddress(const SDevToolsTarget& target) const;

    // Starts or stops the announcements and the holding of new windows. Stopping lets every
    // held window go on. Failures of the browser to subscribe are not reported: the passes
    // still see every window.
    void Watch(bool bWatch);
    // Reads the announcements that have arrived, without waiting; readies the windows that
    // have just been held and lets go of those a pass has left open or that waited too long.
    // `*pbDue`: whether a window appeared or an address became known that the last target
    // list did not show. E_FAIL when the connection broke.
    HRESULT TakeEvents(bool* pbDue);
    // A pass is done with the window: if it is held and still open, it goes on at the next
    // TakeEvents. Cannot fail.
    void LetGo(const std::string& strTargetId) noexcept;

private:
    // A command to the browser itself. Once one has timed out, the others fail at once
    // until the next target list, so a hung browser costs one timeout per look, not one
    // per window. Lets go the unheld windows announced so far first (ReleaseUnheld).
    HRESULT CallBrowser(std::string_view method, const nlohmann::json& params,
                        nlohmann::json* result);

    HRESULT Subscribe(bool bWatch);
    // Takes in one event; runs inside the client's reading, so it only records.
    void OnEvent(const std::string& strMethod, const nlohmann::json& params,
                 const std::string& strSessionId);

    SDevToolsEndpoint m_endpoint;
    CDevToolsClient m_client;
    bool m_bHung = false;
    std::vector<SDevToolsTarget> m_targets;
    CDevToolsBarReader m_bars;
    CDevToolsHolds m_holds;
    std::chrono::milliseconds m_addressGrace;
    // Windows asked to close, and when.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_closing;
    // Windows without an address yet, and since when.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_unaddressed;

    bool m_bWatching = false;
    bool m_bDue = false;
    // The address each window was last announced with.
    std::unordered_map<std::string, std::string> m_announced;
};
