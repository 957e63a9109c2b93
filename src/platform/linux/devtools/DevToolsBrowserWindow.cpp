#include "platform/linux/devtools/DevToolsBrowserWindow.h"

#include "platform/linux/GuardedCall.h"

CDevToolsBrowserWindow::CDevToolsBrowserWindow(std::shared_ptr<CDevToolsBrowser> pBrowser,
                                               SDevToolsTarget target)
    : m_pBrowser(std::move(pBrowser)), m_target(std::move(target)) {}

CDevToolsBrowserWindow::~CDevToolsBrowserWindow() {
    m_pBrowser->LetGo(m_target.strId);
}

HRESULT CDevToolsBrowserWindow::GetAddressBar(bool* shown) {
    return ReadBar(false, shown);
}

HRESULT CDevToolsBrowserWindow::GetToolBar(bool* shown) {
    return ReadBar(true, shown);
}

HRESULT CDevToolsBrowserWindow::ReadBar(bool bToolBarWanted, bool* shown) {
    if (shown == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        bool bAddressBar = true;
        bool bToolBar = true;
        const HRESULT hr = m_pBrowser->ReadBars(m_target, &bAddressBar, &bToolBar);
        if (SUCCEEDED(hr)) {
            *shown = bToolBarWanted ? bToolBar : bAddressBar;
        }
        return hr;
    });
}

HRESULT CDevToolsBrowserWindow::GetLocationUrl(std::string* url) {
    if (url == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        *url = m_target.strUrl;
        return S_OK;
    });
}

HRESULT CDevToolsBrowserWindow::Quit() {
    return GuardedCall([&] { return m_pBrowser->CloseTarget(m_target.strId); });
}
