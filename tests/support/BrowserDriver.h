#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/devtools/DevToolsBrowser.h"

// Drives a test browser over its own DevTools connection: opens windows, runs script in a
// page as if the user had clicked, and waits for the targets to reach a state. Failures
// throw, so a test stops at the step that went wrong.
class CBrowserDriver {
public:
    explicit CBrowserDriver(const SDevToolsEndpoint& endpoint);

    // Opens `url` in a new normal window (or a new tab of the last one) and waits until it
    // has loaded and runs; answers the page's target id.
    std::string OpenWindow(const std::string& url, bool bNewWindow = true);
    // Opens `url` as OpenWindow does, without waiting for anything: as a user typing an
    // address into a new window.
    std::string StartWindow(const std::string& url, bool bNewWindow = true);
    // Runs `script` in the page with a user gesture, so the pop-up blocker lets it open
    // windows.
    void RunInPage(const std::string& strTargetId, const std::string& script);
    std::vector<SDevToolsTarget> Pages();
    // Polls the page targets until `done` holds for them; false when it never does.
    bool WaitForPages(const std::function<bool(const std::vector<SDevToolsTarget>&)>& done);
    void ClosePage(const std::string& strTargetId);

private:
    nlohmann::json Call(const std::string& method, const nlohmann::json& params,
                        const std::string& strSessionId = {});
    bool IsLoaded(const std::string& strTargetId, const std::string& url);

    CDevToolsBrowser m_Browser;
};

// Whether one of `pages` shows `url`.
bool HasPage(const std::vector<SDevToolsTarget>& pages, const std::string& url);
