#pragma once

#include <chrono>
#include <filesystem>

#include "platform/Result.h"
#include "platform/linux/devtools/DevToolsClient.h"

// Asks a running browser over its DevTools service to delete its cookies or empty its
// cache, as its own settings page would: the browser keeps its files consistent, which no
// one may change under it. Each call ends by the timeout at the latest.
class CDevToolsDataCleaner {
public:
    explicit CDevToolsDataCleaner(std::chrono::milliseconds timeout);

    // Connects to the browser running with `userDataDir`, through the port file the browser
    // keeps there. False when none answers there now.
    bool Connect(const std::filesystem::path& userDataDir);

    // Deletes every cookie of the browser's own profile.
    HRESULT ClearCookies();
    // Empties the HTTP cache of the browser's own profile. The browser only does it for a
    // page: E_FAIL when it shows none.
    HRESULT ClearCache();

private:
    CDevToolsClient m_Client;
};
