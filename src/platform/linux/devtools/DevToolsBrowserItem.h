#pragma once

#include <memory>

#include "platform/BrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowser.h"

// One target of a browser's target list; only ordinary pages are browser windows.
class CDevToolsBrowserItem : public IBrowserItem {
public:
    CDevToolsBrowserItem(std::shared_ptr<CDevToolsBrowser> pBrowser, SDevToolsTarget target);

    HRESULT QueryBrowser(std::unique_ptr<IBrowserWindow>* browser) override;

private:
    std::shared_ptr<CDevToolsBrowser> m_pBrowser;
    SDevToolsTarget m_target;
};
