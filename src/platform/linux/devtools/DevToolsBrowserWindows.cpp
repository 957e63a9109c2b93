#include "platform/linux/devtools/DevToolsBrowserWindows.h"

#include <sys/epoll.h>

#include <algorithm>

#include "platform/linux/GuardedCall.h"
#include "platform/linux/devtools/DevToolsBrowserItem.h"

namespace {

// An endpoint that swallowed a connection attempt costs a whole timeout; it is tried again
// only after this pause, so it cannot slow every pass down.
constexpr std::chrono::seconds kSilentPause{10};
// Long enough that the other browsers' passes do not each wait a timeout on a hung one,
// short enough that one that answers again is soon guarded again.
constexpr std::chrono::seconds kHungPause{2};

}  // namespace

CDevToolsBrowserWindows::CDevToolsBrowserWindows(CDevToolsDiscovery discovery,
                                                 std::chrono::milliseconds timeout,
                                                 std::chrono::milliseconds addressGrace,
                                                 std::chrono::milliseconds holdLimit)
    : m_discovery(std::move(discovery)),
      m_timeout(timeout),
      m_addressGrace(addressGrace),
      m_holdLimit(holdLimit) {}

HRESULT CDevToolsBrowserWindows::GetCount(long* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        const HRESULT hr = Look();
        if (SUCCEEDED(hr)) {
            *count = static_cast<long>(m_items.size());
        }
        return hr;
    });
}

HRESULT CDevToolsBrowserWindows::Item(long index, std::unique_ptr<IBrowserItem>* item) {
    if (item == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        item->reset();
        if (index >= 0 && static_cast<std::size_t>(index) < m_items.size()) {
            const SItem& found = m_items[static_cast<std::size_t>(index)];
            if (!found.pBrowser->IsAwaitingAddress(found.target)) {
                *item = std::make_unique<CDevToolsBrowserItem>(found.pBrowser, found.target);
            }
        }
        return S_OK;
    });
}

std::uint64_t CDevToolsBrowserWindows::GetRoundTrips() const {
    std::uint64_t total = 0;
    for (const auto& pBrowser : m_browsers) {
        total += pBrowser->GetClient().GetRoundTrips();
    }
    return total;
}

bool CDevToolsBrowserWindows::IsSilent(const std::string& key) {
    const auto silent = m_silent.find(key);
    if (silent == m_silent.end()) {
        return false;
    }
    if (Clock::now() < silent->second) {
        return true;
    }
    m_silent.erase(silent);
    return false;
}

std::shared_ptr<CDevToolsBrowser> CDevToolsBrowserWindows::Reach(
    const SDevToolsEndpoint& endpoint) {
    const std::string key = endpoint.Url();
    if (IsSilent(key)) {
        return nullptr;
    }
    auto pBrowser =
        std::make_shared<CDevToolsBrowser>(endpoint, m_timeout, m_addressGrace, m_holdLimit);
    const HRESULT hr = pBrowser->Open();
    if (hr == E_TIMEOUT) {
        m_silent.emplace(key, Clock::now() + kSilentPause);
    }
    return SUCCEEDED(hr) ? pBrowser : nullptr;
}

void CDevToolsBrowserWindows::ReachBrowsers() {
    std::vector<std::shared_ptr<CDevToolsBrowser>> browsers;
    for (const SDevToolsEndpoint& endpoint : m_discovery.FindEndpoints()) {
        auto known = std::find_if(m_browsers.begin(), m_browsers.end(), [&](const auto& p) {
            return p != nullptr && p->GetEndpoint() == endpoint;
        });
        if (known != m_browsers.end()) {
            browsers.push_back(std::move(*known));
        } else if (auto pBrowser = Reach(endpoint)) {
            browsers.push_back(std::move(pBrowser));
        }
    }
    m_browsers = std::move(browsers);
}

HRESULT CDevToolsBrowserWindows::Look() {
    m_items.clear();
    ReachBrowsers();
    std::vector<SItem> items;
    std::vector<std::string> seen;
    m_elsewhere.clear();
    for (auto it = m_browsers.begin(); it != m_browsers.end();) {
        CDevToolsBrowser& browser = **it;
        if (m_guardedElsewhere && m_guardedElsewhere(browser.GetEndpoint())) {
            // Closing the connection detaches every session it had, which lets go of
            // whatever it held or paused.
            if (browser.GetClient().IsConnected()) {
                browser.Watch(false);
                browser.GetClient().Disconnect();
            }
            m_elsewhere.push_back(&browser);
            ++it;
            continue;
        }
        if (IsSilent(browser.GetEndpoint().Url())) {
            ++it;
            continue;
        }
        std::vector<SDevToolsTarget> targets;
        HRESULT hr = browser.Open();
        if (SUCCEEDED(hr)) {
            hr = browser.ReadTargets(&targets);
            if (FAILED(hr) && !browser.GetClient().IsConnected() && SUCCEEDED(browser.Open())) {
                hr = browser.ReadTargets(&targets);
            }
        }
        if (FAILED(hr) && !browser.GetClient().IsConnected() && hr != E_TIMEOUT) {
            // Gone (quit or killed): it leaves the collection.
            it = m_browsers.erase(it);
            continue;
        }
        if (hr == E_TIMEOUT) {
            m_silent.insert_or_assign(browser.GetEndpoint().Url(), Clock::now() + kHungPause);
            ++it;
            continue;
        }
        if (FAILED(hr)) {
            return hr;
        }
        // Two endpoints may lead to the same browser (an address and its port file).
        const std::string& url = browser.GetClient().GetWebSocketUrl();
        if (std::find(seen.begin(), seen.end(), url) == seen.end()) {
            seen.push_back(url);
            for (SDevToolsTarget& target : targets) {
                items.push_back({*it, std::move(target)});
            }
        }
        ++it;
    }
    m_items = std::move(items);
    WatchBrowsers();
    return S_OK;
}

void CDevToolsBrowserWindows::WatchBrowsers() {
    std::vector<std::string> seen;
    for (const auto& pBrowser : m_browsers) {
        const std::string& url = pBrowser->GetClient().GetWebSocketUrl();
        const bool bFirst = std::find(seen.begin(), seen.end(), url) == seen.end();
        if (!url.empty()) {
            seen.push_back(url);
        }
        const bool bElsewhere =
            std::find(m_elsewhere.begin(), m_elsewhere.end(), pBrowser.get()) != m_elsewhere.end();
        GuardedCall([&] {
            pBrowser->Watch(m_bWatching && bFirst && !bElsewhere);
            return S_OK;
        });
        AddToEvents(*pBrowser);
    }
}

void CDevToolsBrowserWindows::WatchEvents(bool bWatch) {
    if (bWatch && !m_events.IsValid()) {
        // Without it the passes still come at every tick.
        m_events.Reset(::epoll_create1(EPOLL_CLOEXEC));
    }
    m_bWatching = bWatch;
    if (bWatch) {
        // The browsers running now are watched from now on, not from the next count.
        GuardedCall([this] {
            ReachBrowsers();
            return S_OK;
        });
    }
    WatchBrowsers();
}

int CDevToolsBrowserWindows::GetEventHandle() {
    return m_events.Get();
}

HRESULT CDevToolsBrowserWindows::TakeEvents(
    std::vector<std::unique_ptr<IBrowserItem>>* /*announced*/) {
    bool bAnyDue = false;
    for (const auto& pBrowser : m_browsers) {
        // A browser whose connection broke is opened again at the next count.
        GuardedCall([&] {
            bool bDue = false;
            const HRESULT hr = pBrowser->TakeEvents(&bDue);
            bAnyDue = bAnyDue || bDue;
            return hr;
        });
    }
    return bAnyDue ? S_OK : S_FALSE;
}

void CDevToolsBrowserWindows::AddToEvents(CDevToolsBrowser& browser) {
    const int fd = browser.GetClient().GetNativeHandle();
    if (!m_bWatching || !m_events.IsValid() || fd < 0) {
        return;
    }
    // A closed socket leaves the set by itself; adding the same one again answers EEXIST.
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    ::epoll_ctl(m_events.Get(), EPOLL_CTL_ADD, fd, &event);
}
