#include "platform/linux/devtools/DevToolsBrowserItem.h"

#include "platform/linux/GuardedCall.h"
#include "platform/linux/devtools/DevToolsBrowserWindow.h"

CDevToolsBrowserItem::CDevToolsBrowserItem(std::shared_ptr<CDevToolsBrowser> pBrowser,
                                           SDevToolsTarget target)
    : m_pBrowser(std::move(pBrowser)), m_target(std::move(target)) {}

HRESULT CDevToolsBrowserItem::QueryBrowser(std::unique_ptr<IBrowserWindow>* browser) {
    if (browser == nullptr) {
        return E_POINTER;
    }
    if (!m_target.IsWindow()) {
        return E_NOINTERFACE;
    }
    return GuardedCall([&] {
        *browser = std::make_unique<CDevToolsBrowserWindow>(m_pBrowser, m_target);
        return S_OK;
    });
}
