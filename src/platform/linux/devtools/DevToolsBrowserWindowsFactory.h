#pragma once

#include <chrono>

#include "platform/BrowserWindows.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"

// Makes collections of the windows of the browsers reachable over DevTools. Creating one
// always succeeds: browsers that start later join it at their next count.
class CDevToolsBrowserWindowsFactory : public IBrowserWindowsFactory {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};

    explicit CDevToolsBrowserWindowsFactory(CDevToolsDiscovery discovery,
                                            std::chrono::milliseconds timeout = kDefaultTimeout);

    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override;

private:
    CDevToolsDiscovery m_discovery;
    std::chrono::milliseconds m_timeout;
};
