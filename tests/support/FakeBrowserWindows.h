#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/BrowserWindows.h"
#include "platform/linux/UniqueFd.h"

// Scripted browser windows: each says what it is and how each call about it answers. Closing
// a window takes it out of the next count, as a real browser does. The collections may be
// used on another thread than the test's: their calls, Open and OpenCount take turns; a
// window's fields are for the test to set while no call runs.
class CFakeBrowserWindows : public IBrowserWindowsFactory {
public:
    CFakeBrowserWindows();

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
    static Window Tab(std::string url);
    // A browser window without address bar and tool bar.
    static Window Popup(std::string url);

    Window& Open(Window window);
    Window& At(std::size_t i) { return *m_Windows.at(i); }

    HRESULT m_hrCreate = S_OK;
    HRESULT m_hrCount = S_OK;

    // Addresses closed, in the order of the successful Quit calls.
    std::vector<std::string> m_ClosedUrls;
    std::atomic<int> m_nCreated = 0;
    std::atomic<int> m_nCounts = 0;

    // Announces a change, as a browser would: the event descriptor turns readable and the
    // next TakeEvents answers that a pass is due.
    void Announce();
    // Opens a window and announces it with all a judgement needs: the next TakeEvents hands
    // it over as an item (no pass due for it).
    Window& AnnounceWindow(Window window);
    // The last WatchEvents of any collection.
    std::atomic<bool> m_bWatched = false;

    // The items and browser views handed out that are still alive.
    int LiveReferences() const { return static_cast<int>(m_pLive.use_count()) - 1; }
    std::size_t OpenCount() const;

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
