#include "platform/linux/AllBrowserWindowsFactory.h"

#include "platform/linux/AllBrowserWindows.h"
#include "platform/linux/GuardedCall.h"

CAllBrowserWindowsFactory::CAllBrowserWindowsFactory(CDevToolsDiscovery discovery,
                                                     const std::filesystem::path& bridgeSocket,
                                                     std::chrono::milliseconds timeout)
    : m_discovery(std::move(discovery)),
      m_pExtensionBrowsers(std::make_shared<CExtensionBrowsers>(bridgeSocket)),
      m_timeout(timeout) {}

HRESULT CAllBrowserWindowsFactory::CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) {
    if (windows == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        *windows = std::make_unique<CAllBrowserWindows>(
            std::make_unique<CExtensionBrowserWindows>(m_pExtensionBrowsers),
            std::make_unique<CDevToolsBrowserWindows>(m_discovery, m_timeout));
        return S_OK;
    });
}
