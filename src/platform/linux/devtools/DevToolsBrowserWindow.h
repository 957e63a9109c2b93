#pragma once

#include <memory>

#include "platform/BrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowser.h"

// A page target of a browser, seen as a browser window. Its address is the one of the
// collection's last look; the bars and Quit ask the browser. Dropping it tells the browser
// that the pass is done with the window, which a held window waits for.
class CDevToolsBrowserWindow : public IBrowserWindow {
public:
    CDevToolsBrowserWindow(std::shared_ptr<CDevToolsBrowser> pBrowser, SDevToolsTarget target);
    ~CDevToolsBrowserWindow() override;
    CDevToolsBrowserWindow(const CDevToolsBrowserWindow&) = delete;
    CDevToolsBrowserWindow& operator=(const CDevToolsBrowserWindow&) = delete;

    HRESULT GetAddressBar(bool* shown) override;
    HRESULT GetToolBar(bool* shown) override;
    HRESULT GetLocationUrl(std::string* url) override;
    HRESULT Quit() override;

private:
    // One of the two bar flags, which the browser reads together.
    HRESULT ReadBar(bool bToolBarWanted, bool* shown);

    std::shared_ptr<CDevToolsBrowser> m_pBrowser;
    SDevToolsTarget m_target;
};
