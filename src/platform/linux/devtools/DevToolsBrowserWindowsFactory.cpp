#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"

#include "platform/linux/GuardedCall.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"

CDevToolsBrowserWindowsFactory::CDevToolsBrowserWindowsFactory(CDevToolsDiscovery discovery,
                                                               std::chrono::milliseconds timeout)
    : m_discovery(std::move(discovery)), m_timeout(timeout) {}

HRESULT CDevToolsBrowserWindowsFactory::CreateBrowserWindows(
    std::unique_ptr<IBrowserWindows>* windows) {
    if (windows == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        *windows = std::make_unique<CDevToolsBrowserWindows>(m_discovery, m_timeout);
        return S_OK;
    });
}
