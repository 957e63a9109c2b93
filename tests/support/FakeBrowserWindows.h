#pragma once

#include <sys/eventfd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/BrowserWindows.h"
#include "platform/linux/UniqueFd.h"

// Scripted browser windows: each says what it is and how each call about it answers. Closing
// a window takes it out of the next count, as a real browser does. The collections may be
// used on another thread than the test's: their calls, Open and OpenCount take turns; a
// window's fields are for the test to set while no call runs.
class CFakeBrowserWindows : public IBrowserWindowsFactory {
public:
    CFakeBrowserWindows() : m_Announcements(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    // NoView: an item that answers it is a browser window but gives none.
    enum class Kind { Browser, NullItem, NotBrowser, NoView };

    struct Window {
        std::string url;
        bool bAddressBar = true;
        bool bToolBar = true;
        Kind kind = Kind::Browser;
        // What each call about this window answers.
        HRESULT hrItem = S_OK;
        HRESULT hrQueryBrowser = S_OK;
        HRESULT hrAddressBar = S_OK;
        HRESULT hrToolBar = S_OK;
        HRESULT hrUrl = S_OK;
        HRESULT hrQuit = S_OK;
        // Filled in by the fake.
        int nQuits = 0;
        bool bClosed = false;
    };

    // A browser window with both bars (a tab of a normal window).
    static Window Tab(std::string url) { return {.url = std::move(url)}; }
    // A browser window without address bar and tool bar.
    static Window Popup(std::string url) {
        return {.url = std::move(url), .bAddressBar = false, .bToolBar = false};
    }

    Window& Open(Window window) {
        const std::lock_guard lock(m_Lock);
        return *m_Windows.emplace_back(std::make_unique<Window>(std::move(window)));
    }
    Window& At(std::size_t i) { return *m_Windows.at(i); }

    HRESULT m_hrCreate = S_OK;
    HRESULT m_hrCount = S_OK;

    // Addresses closed, in the order of the successful Quit calls.
    std::vector<std::string> m_ClosedUrls;
    std::atomic<int> m_nCreated = 0;
    std::atomic<int> m_nCounts = 0;

    // Announces a change, as a browser would: the event descriptor turns readable and the
    // next TakeEvents answers that a pass is due.
    void Announce() {
        const std::lock_guard lock(m_Lock);
        m_bPassDue = true;
        ::eventfd_write(m_Announcements.Get(), 1);
    }
    // Opens a window and announces it with all a judgement needs: the next TakeEvents hands
    // it over as an item (no pass due for it).
    Window& AnnounceWindow(Window window) {
        const std::lock_guard lock(m_Lock);
        Window& opened = Open(std::move(window));
        m_Announced.push_back(&opened);
        ::eventfd_write(m_Announcements.Get(), 1);
        return opened;
    }
    // The last WatchEvents of any collection.
    std::atomic<bool> m_bWatched = false;

    // The items and browser views handed out that are still alive.
    int LiveReferences() const { return static_cast<int>(m_pLive.use_count()) - 1; }
    std::size_t OpenCount() const {
        const std::lock_guard lock(m_Lock);
        return static_cast<std::size_t>(
            std::ranges::count_if(m_Windows, [](const auto& window) { return !window->bClosed; }));
    }

    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override;

private:
    class CCollection;
    class CView;

    mutable std::recursive_mutex m_Lock;
    std::vector<std::unique_ptr<Window>> m_Windows;
    std::shared_ptr<int> m_pLive = std::make_shared<int>(0);  // a copy in each view
    CUniqueFd m_Announcements;
    bool m_bPassDue = false;
    std::vector<Window*> m_Announced;
};

// An item of the collection and, once asked for, the browser view of the same window.
class CFakeBrowserWindows::CView : public IBrowserItem, public IBrowserWindow {
public:
    CView(CFakeBrowserWindows& fake, Window& window)
        : m_Fake(fake), m_Window(window), m_pLive(fake.m_pLive) {}

    HRESULT QueryBrowser(std::unique_ptr<IBrowserWindow>* browser) override {
        const std::lock_guard lock(m_Fake.m_Lock);
        if (m_Window.kind == Kind::NotBrowser) {
            return E_NOINTERFACE;
        }
        return Answer(m_Window.hrQueryBrowser, [&] {
            if (m_Window.kind != Kind::NoView) {
                *browser = std::make_unique<CView>(m_Fake, m_Window);
            }
        });
    }
    HRESULT GetAddressBar(bool* shown) override {
        return Answer(m_Window.hrAddressBar, [&] { *shown = m_Window.bAddressBar; });
    }
    HRESULT GetToolBar(bool* shown) override {
        return Answer(m_Window.hrToolBar, [&] { *shown = m_Window.bToolBar; });
    }
    HRESULT GetLocationUrl(std::string* url) override {
        return Answer(m_Window.hrUrl, [&] { *url = m_Window.url; });
    }
    HRESULT Quit() override {
        const std::lock_guard lock(m_Fake.m_Lock);
        ++m_Window.nQuits;
        return Answer(m_Window.hrQuit, [&] {
            m_Window.bClosed = true;
            m_Fake.m_ClosedUrls.push_back(m_Window.url);
        });
    }

private:
    // Does `success` when `hr` is one, and answers `hr`.
    template <typename Success>
    HRESULT Answer(HRESULT hr, Success success) {
        const std::lock_guard lock(m_Fake.m_Lock);
        if (SUCCEEDED(hr)) {
            success();
        }
        return hr;
    }

    CFakeBrowserWindows& m_Fake;
    Window& m_Window;
    std::shared_ptr<int> m_pLive;
};

class CFakeBrowserWindows::CCollection : public IBrowserWindows {
public:
    explicit CCollection(CFakeBrowserWindows& fake) : m_Fake(fake) {}

    HRESULT GetCount(long* count) override {
        const std::lock_guard lock(m_Fake.m_Lock);
        ++m_Fake.m_nCounts;
        if (FAILED(m_Fake.m_hrCount)) {
            return m_Fake.m_hrCount;
        }
        m_Snapshot.clear();
        for (const auto& window : m_Fake.m_Windows) {
            if (!window->bClosed) {
                m_Snapshot.push_back(window.get());
            }
        }
        *count = static_cast<long>(m_Snapshot.size());
        return S_OK;
    }

    HRESULT Item(long index, std::unique_ptr<IBrowserItem>* item) override {
        const std::lock_guard lock(m_Fake.m_Lock);
        if (index < 0 || static_cast<std::size_t>(index) >= m_Snapshot.size()) {
            return E_INVALIDARG;
        }
        Window& window = *m_Snapshot[static_cast<std::size_t>(index)];
        if (SUCCEEDED(window.hrItem)) {
            item->reset(window.kind == Kind::NullItem ? nullptr : new CView(m_Fake, window));
        }
        return window.hrItem;
    }

    void WatchEvents(bool bWatch) override { m_Fake.m_bWatched = bWatch; }
    int GetEventHandle() override { return m_Fake.m_Announcements.Get(); }
    HRESULT TakeEvents(std::vector<std::unique_ptr<IBrowserItem>>* announced) override {
        const std::lock_guard lock(m_Fake.m_Lock);
        eventfd_t nAnnounced = 0;
        ::eventfd_read(m_Fake.m_Announcements.Get(), &nAnnounced);
        for (Window* window : std::exchange(m_Fake.m_Announced, {})) {
            announced->push_back(std::make_unique<CView>(m_Fake, *window));
        }
        return std::exchange(m_Fake.m_bPassDue, false) ? S_OK : S_FALSE;
    }

private:
    CFakeBrowserWindows& m_Fake;
    std::vector<Window*> m_Snapshot;
};

inline HRESULT CFakeBrowserWindows::CreateBrowserWindows(
    std::unique_ptr<IBrowserWindows>* windows) {
    ++m_nCreated;
    if (SUCCEEDED(m_hrCreate)) {
        *windows = std::make_unique<CCollection>(*this);
    }
    return m_hrCreate;
}
