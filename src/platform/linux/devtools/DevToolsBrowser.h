#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Result.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsEndpoint.h"

// What the browser says of one of its targets.
struct SDevToolsTarget {
    std::string strId;
    std::string strType;     // "page", "browser_ui", "service_worker", ...
    std::string strSubtype;  // e.g. "prerender"; empty for an ordinary page
    std::string strUrl;
    std::string strOpenerId;  // the page that opened it, if any
    bool bCanAccessOpener = false;

    // A window the user sees, as opposed to browser UI, workers or prerendered pages.
    bool IsWindow() const { return strType == "page" && strSubtype.empty(); }
};

// One browser reached over DevTools: its connection, its targets as last read, and what is
// known of its windows. A window's bars never change in its life, so they are read once
// per target and kept while the target lives and the connection holds.
class CDevToolsBrowser {
public:
    // How long a new window may show no address while its first page is on the way.
    static constexpr std::chrono::milliseconds kAddressGrace{2000};

    CDevToolsBrowser(SDevToolsEndpoint endpoint, std::chrono::milliseconds timeout,
                     std::chrono::milliseconds addressGrace = kAddressGrace);

    const SDevToolsEndpoint& GetEndpoint() const { return m_endpoint; }
    CDevToolsClient& GetClient() { return m_client; }

    // Connects unless connected; a new connection starts with nothing known.
    HRESULT Open();
    // One round trip: the browser's targets now, in its order. Forgets what it knew of
    // targets that are gone.
    HRESULT ReadTargets(std::vector<SDevToolsTarget>* targets);
    // Whether the browser shows the target's address bar and its tool bar.
    HRESULT ReadBars(const SDevToolsTarget& target, bool* addressBar, bool* toolBar);
    // Asking again to close a target already being closed succeeds at once: the window is
    // going, as asked, and the browser would answer that it no longer knows the target.
    HRESULT CloseTarget(const std::string& strTargetId);
    // Whether the target is a window that has had no address since it appeared, for less
    // than the grace: a pop-up caught before its first page arrives would otherwise be
    // judged on an empty address, which no white-list entry can spare.
    bool IsAwaitingAddress(const SDevToolsTarget& target) const;

private:
    // A command to the browser itself. Once one has timed out, the others fail at once
    // until the next target list, so a hung browser costs one timeout per look, not one
    // per window.
    HRESULT CallBrowser(std::string_view method, const nlohmann::json& params,
                        nlohmann::json* result);

    struct SBars {
        bool bAddressBar = true;
        bool bToolBar = true;
    };
    // The page's own flags, read in an isolated world of its main frame.
    HRESULT ReadPageBars(const std::string& strTargetId, const std::string& strSessionId,
                         SBars* bars);
    // Whether another page opened the target into a browser window that shows no other page.
    HRESULT IsOpenedIntoOwnWindow(const SDevToolsTarget& target, bool* bOwnWindow);
    // The browser window showing the target; nothing for a target without one.
    HRESULT ReadWindowId(const std::string& strTargetId, std::optional<std::int64_t>* windowId);

    SDevToolsEndpoint m_endpoint;
    CDevToolsClient m_client;
    bool m_bHung = false;
    std::vector<SDevToolsTarget> m_targets;
    std::unordered_map<std::string, SBars> m_bars;
    std::unordered_map<std::string, std::optional<std::int64_t>> m_windowIds;
    std::chrono::milliseconds m_addressGrace;
    std::unordered_set<std::string> m_closing;
    // Windows without an address yet, and since when.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_unaddressed;
};
