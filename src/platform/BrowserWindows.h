#pragma once

#include <memory>
#include <string>

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
};

// Makes connections to the collection. Each connection is independent of the others.
class IBrowserWindowsFactory {
public:
    virtual ~IBrowserWindowsFactory() = default;

    // A new connection; a failure leaves `*windows` empty.
    virtual HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) = 0;
};
