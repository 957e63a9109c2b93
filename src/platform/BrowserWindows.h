#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Result.h"

// The open windows of the user's web browsers, as a collection that is read by index.
// Every reference handed out is owned by the caller and released by dropping it; no call
// blocks longer than the implementation's call timeout (E_TIMEOUT).

// One browser window.
class IBrowserWindow {
public:
    virtual ~IBrowserWindow() = default;

    // Whether the browser shows the window's address bar. A failure leaves `*shown` as is.
    virtual HRESULT GetAddressBar(bool* shown) = 0;
    // Whether the browser shows the window's tool bar. A failure leaves `*shown` as is.
    virtual HRESULT GetToolBar(bool* shown) = 0;
    // The window's current address, as the browser reports it (UTF-8 bytes); the empty
    // string when the window has none. A failure leaves `*url` as is.
    virtual HRESULT GetLocationUrl(std::string* url) = 0;
    // Closes the window. S_OK once the browser has accepted the request.
    virtual HRESULT Quit() = 0;
};

// An item of the collection, which may or may not be a browser window.
class IBrowserItem {
public:
    virtual ~IBrowserItem() = default;

    // The browser view of the item. E_NOINTERFACE when the item is not a browser window;
    // any other failure means the question could not be answered.
    virtual HRESULT QueryBrowser(std::unique_ptr<IBrowserWindow>* browser) = 0;
};

// The collection of open browser windows at the moment of the last count.
class IBrowserWindows {
public:
    virtual ~IBrowserWindows() = default;

    // The number of windows now. Reading the count takes a fresh look at the browsers;
    // items answer from that look until the count is read again.
    virtual HRESULT GetCount(long* count) = 0;
    // The item at `index` (0-based). S_OK with a null `*item` when there is no item there.
    virtual HRESULT Item(long index, std::unique_ptr<IBrowserItem>* item) = 0;

    // Announcements, so that a pass can come as soon as a window appears instead of at the
    // next tick. While watched, the browsers announce new windows and new addresses, and may
    // hold a new window before its first page is requested, so that a pass can close it
    // before the page loads: the held window then counts with the address it is about to
    // load. A held window goes on once a pass has dropped its reference without closing it
    // (at the next TakeEvents), and after a short bound at the latest.

    // Starts or stops watching; stopping lets every held window go on. Browsers that join
    // later are watched as they join. Cannot fail: a browser that does not announce is
    // still seen by every pass.
    virtual void WatchEvents(bool bWatch) = 0;
    // A descriptor that turns readable when an announcement may have arrived, for the
    // caller to wait on; -1 when the collection has none (it may have one only once it has
    // been watched). Once given, it stays the same while the collection lives. The caller
    // only waits on it and then calls TakeEvents.
    virtual int GetEventHandle() = 0;
    // Takes in what has been announced, without waiting, and lets held windows go on as
    // described above. A browser that announces a window with all a judgement needs (its
    // bars and its address) hands it over at once: `*announced` receives such windows as
    // items, to be judged on their own, without a pass; a held one goes on once its item
    // is dropped without closing it. S_OK when a window appeared or an address became known
    // that could not be handed over that way and the last count did not see, so a pass is
    // due; S_FALSE otherwise. Call it when the descriptor turns readable and after every
    // pass: a pass reads the announcements that arrive on its way.
    virtual HRESULT TakeEvents(std::vector<std::unique_ptr<IBrowserItem>>* announced) = 0;
};

// Makes connections to the collection. Each connection is independent of the others.
class IBrowserWindowsFactory {
public:
    virtual ~IBrowserWindowsFactory() = default;

    // A new connection; a failure leaves `*windows` empty.
    virtual HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) = 0;
};
