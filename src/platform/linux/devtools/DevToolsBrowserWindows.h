#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/BrowserWindows.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/devtools/DevToolsBrowser.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"

// Every target of every browser reachable over DevTools, as one collection. Each count
// looks for browsers again: one started since joins, one that quit or was killed leaves.
// Connections are kept from one count to the next, and one that broke is opened again.
// A browser that does not answer in time (hung, stopped) is left out of the counts for a
// short pause, so that the others are still guarded without waiting on it, but stays
// known, so that it is back once it answers again. The event descriptor gathers the connections of
// the watched browsers (an epoll set), each added as its browser is reached.
class CDevToolsBrowserWindows : public IBrowserWindows {
public:
    CDevToolsBrowserWindows(
        CDevToolsDiscovery discovery, std::chrono::milliseconds timeout,
        std::chrono::milliseconds addressGrace = CDevToolsBrowser::kAddressGrace,
        std::chrono::milliseconds holdLimit = CDevToolsBrowser::kHoldLimit);

    HRESULT GetCount(long* count) override;
    // A window that shows no address yet is no item (null) for a short while after it
    // appeared, so that it is judged by its address at a later pass.
    HRESULT Item(long index, std::unique_ptr<IBrowserItem>* item) override;
    void WatchEvents(bool bWatch) override;
    int GetEventHandle() override;
    // Hands over nothing: a window's bars are read by a pass.
    HRESULT TakeEvents(std::vector<std::unique_ptr<IBrowserItem>>* announced) override;

    // Commands sent to the browsers now connected, since each connection's client was made.
    std::uint64_t GetRoundTrips() const;

    // Asked of each browser at every count: a browser that another source guards is left
    // out (no items, not watched) while the answer holds.
    void SetGuardedElsewhere(std::function<bool(const SDevToolsEndpoint&)> guardedElsewhere) {
        m_guardedElsewhere = std::move(guardedElsewhere);
    }

private:
    using Clock = std::chrono::steady_clock;
    struct SItem {
        std::shared_ptr<CDevToolsBrowser> pBrowser;
        SDevToolsTarget target;
    };

    HRESULT Look();
    // Whether the endpoint `key` is to be left alone now.
    bool IsSilent(const std::string& key);
    // Finds the browsers running now: those known stay, new ones are connected, those no
    // longer found leave.
    void ReachBrowsers();
    std::shared_ptr<CDevToolsBrowser> Reach(const SDevToolsEndpoint& endpoint);
    // Watches the first connection to each browser and no other: two connections would
    // each hold a new window, and one would hold it for nothing.
    void WatchBrowsers();
    // Adds the browser's connection to the event descriptor, once per connection.
    void AddToEvents(CDevToolsBrowser& browser);

    CDevToolsDiscovery m_discovery;
    std::chrono::milliseconds m_timeout;
    std::chrono::milliseconds m_addressGrace;
    std::chrono::milliseconds m_holdLimit;
    bool m_bWatching = false;
    CUniqueFd m_events;
    std::vector<std::shared_ptr<CDevToolsBrowser>> m_browsers;
    // Endpoints that did not answer a connection or a known browser that did not answer a
    // call in time, and when to try them again.
    std::unordered_map<std::string, Clock::time_point> m_silent;
    std::vector<SItem> m_items;
    std::function<bool(const SDevToolsEndpoint&)> m_guardedElsewhere;
    std::vector<const CDevToolsBrowser*> m_elsewhere;
};
