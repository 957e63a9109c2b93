#pragma once

#include <memory>
#include <vector>

#include "platform/BrowserWindows.h"
#include "platform/linux/bridge/ExtensionBrowsers.h"

// The tabs of the browsers connected through the companion extension, as a collection of
// browser windows: each tab is an item, its bars are those of its window's type, and Quit
// closes the tab, or its whole window when that is a pop-up. Every call reads what the
// extensions have told; none waits on a browser. The browsers announce by themselves; watching
// has them hold new tabs' first pages for the passes of this collection, which let a held
// page go by dropping the tab's window without closing it. The event descriptor is the
// socket's.
class CExtensionBrowserWindows : public IBrowserWindows {
public:
    explicit CExtensionBrowserWindows(std::shared_ptr<CExtensionBrowsers> pBrowsers);

    HRESULT GetCount(long* count) override;
    // A tab that shows no address yet is no item (null) for a short while after it appeared.
    HRESULT Item(long index, std::unique_ptr<IBrowserItem>* item) override;
    void WatchEvents(bool bWatch) override;
    int GetEventHandle() override;
    // Hands over every tab announced ready to be judged; a pass is due only when a browser
    // has told its whole state.
    HRESULT TakeEvents(std::vector<std::unique_ptr<IBrowserItem>>* announced) override;

    CExtensionBrowsers& Browsers() { return *m_pBrowsers; }

private:
    struct SItem {
        std::shared_ptr<CExtensionBrowser> pBrowser;
        SExtensionTab tab;
    };

    std::shared_ptr<CExtensionBrowsers> m_pBrowsers;
    std::vector<SItem> m_items;
    bool m_bWatching = false;
};
