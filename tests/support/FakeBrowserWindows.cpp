#include "support/FakeBrowserWindows.h"

#include <sys/eventfd.h>

#include <algorithm>

// An item of the collection and, once asked for, the browser view of the same window.
class CFakeBrowserWindows::CView : public IBrowserItem, public IBrowserWindow {
public:
    CView(CFakeBrowserWindows& fake, Window& window)
        : m_fake(fake), m_window(window), m_pLive(fake.m_pLive) {}

    HRESULT QueryBrowser(std::unique_ptr<IBrowserWindow>* browser) override {
        if (m_window.kind == Kind::NotBrowser) {
            return E_NOINTERFACE;
        }
        if (SUCCEEDED(m_window.hrQueryBrowser)) {
            *browser = std::make_unique<CView>(m_fake, m_window);
        }
        return m_window.hrQueryBrowser;
    }
    HRESULT GetAddressBar(bool* shown) override {
        return Answer(m_window.hrAddressBar, shown, m_window.bAddressBar);
    }
    HRESULT GetToolBar(bool* shown) override {
        return Answer(m_window.hrToolBar, shown, m_window.bToolBar);
    }
    HRESULT GetLocationUrl(std::string* url) override {
        return Answer(m_window.hrUrl, url, m_window.url);
    }
    HRESULT Quit() override {
        ++m_window.nQuits;
        if (SUCCEEDED(m_window.hrQuit)) {
            m_window.bClosed = true;
            m_fake.m_closedUrls.push_back(m_window.url);
        }
        return m_window.hrQuit;
    }

private:
    template <typename T>
    static HRESULT Answer(HRESULT hr, T* out, const T& value) {
        if (SUCCEEDED(hr)) {
            *out = value;
        }
        return hr;
    }

    CFakeBrowserWindows& m_fake;
    Window& m_window;
    std::shared_ptr<int> m_pLive;
};

class CFakeBrowserWindows::CCollection : public IBrowserWindows {
public:
    explicit CCollection(CFakeBrowserWindows& fake) : m_fake(fake) {}

    HRESULT GetCount(long* count) override {
        ++m_fake.m_nCounts;
        if (FAILED(m_fake.m_hrCount)) {
            return m_fake.m_hrCount;
        }
        m_snapshot.clear();
        for (const auto& window : m_fake.m_windows) {
            if (!window->bClosed) {
                m_snapshot.push_back(window.get());
            }
        }
        *count = static_cast<long>(m_snapshot.size());
        return S_OK;
    }

    HRESULT Item(long index, std::unique_ptr<IBrowserItem>* item) override {
        if (index < 0 || static_cast<std::size_t>(index) >= m_snapshot.size()) {
            return E_INVALIDARG;
        }
        Window& window = *m_snapshot[static_cast<std::size_t>(index)];
        if (SUCCEEDED(window.hrItem)) {
            item->reset(window.kind == Kind::NullItem ? nullptr : new CView(m_fake, window));
        }
        return window.hrItem;
    }

    void WatchEvents(bool bWatch) override { m_fake.m_bWatched = bWatch; }
    int GetEventHandle() override { return m_fake.m_announcements.Get(); }
    HRESULT TakeEvents() override {
        eventfd_t nAnnounced = 0;
        return ::eventfd_read(m_fake.m_announcements.Get(), &nAnnounced) == 0 ? S_OK : S_FALSE;
    }

private:
    CFakeBrowserWindows& m_fake;
    std::vector<Window*> m_snapshot;
};

CFakeBrowserWindows::CFakeBrowserWindows()
    : m_announcements(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void CFakeBrowserWindows::Announce() {
    ::eventfd_write(m_announcements.Get(), 1);
}

CFakeBrowserWindows::Window CFakeBrowserWindows::Tab(std::string url) {
    Window window;
    window.url = std::move(url);
    return window;
}

CFakeBrowserWindows::Window CFakeBrowserWindows::Popup(std::string url) {
    Window window = Tab(std::move(url));
    window.bAddressBar = false;
    window.bToolBar = false;
    return window;
}

CFakeBrowserWindows::Window& CFakeBrowserWindows::Open(Window window) {
    m_windows.push_back(std::make_unique<Window>(std::move(window)));
    return *m_windows.back();
}

std::size_t CFakeBrowserWindows::OpenCount() const {
    return static_cast<std::size_t>(std::count_if(
        m_windows.begin(), m_windows.end(), [](const auto& window) { return !window->bClosed; }));
}

HRESULT CFakeBrowserWindows::CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) {
    ++m_nCreated;
    if (SUCCEEDED(m_hrCreate)) {
        *windows = std::make_unique<CCollection>(*this);
    }
    return m_hrCreate;
}
