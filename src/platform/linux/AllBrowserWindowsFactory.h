#pragma once

#include <chrono>
#include <filesystem>
#include <memory>

#include "platform/BrowserWindows.h"
#include "platform/linux/bridge/ExtensionBrowsers.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"

// Makes collections of every browser Quellio reaches: through the companion extension and
// over DevTools. The bridge socket has one listener, which every collection shares; each
// collection has its own DevTools connections. Creating one always succeeds.
class CAllBrowserWindowsFactory : public IBrowserWindowsFactory {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};

    CAllBrowserWindowsFactory(CDevToolsDiscovery discovery,
                              const std::filesystem::path& bridgeSocket,
                              std::chrono::milliseconds timeout = kDefaultTimeout);

    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override;

private:
    CDevToolsDiscovery m_discovery;
    std::shared_ptr<CExtensionBrowsers> m_pExtensionBrowsers;
    std::chrono::milliseconds m_timeout;
};
