#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/devtools/DevToolsBrowser.h"
#include "support/ChildProcess.h"

// How long a browser may take to start: a loaded two-core machine starts Chromium slowly.
inline constexpr std::chrono::seconds kBrowserStartTimeout{90};
// The call timeout of collections under test: longer than Quellio's own, so a busy
// browser is not taken for a hung one.
inline constexpr std::chrono::milliseconds kBrowserCallTimeout{5000};

// Pages the tests serve: one that opens windows when told to, and a plain one.
inline constexpr char kOpenerPage[] =
    "<!doctype html><title>opener</title><script>"
    "function pop(url, features) { window.open(url, '_blank', features); }"
    "</script><p>opener</p>";
inline constexpr char kPlainPage[] = "<!doctype html><title>page</title><p>page</p>";

// A headless Chromium for end-to-end tests and benchmarks, with a profile of its own in
// `dir`/profile, remote debugging on a port of its choosing and output to `dir`/browser.log,
// driven as its user would over its own DevTools connection. It is started through
// scripts/headless-browser, as the demo scripts start theirs, and killed when the object
// goes. Failures throw, so a test stops at the step that went wrong.
class CTestBrowser {
public:
    // Opened on `firstUrl`, with `extraArgs` added to its command line.
    CTestBrowser(const std::filesystem::path& dir, const std::string& firstUrl,
                 const std::vector<std::string>& extraArgs = {});

    CChildProcess& Process() { return m_Process; }
    const std::filesystem::path& ProfileDir() const { return m_Profile; }

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

    std::filesystem::path m_Profile;
    CChildProcess m_Process;
    std::optional<CDevToolsBrowser> m_Browser;
};

// Whether one of `pages` shows `url`.
bool HasPage(const std::vector<SDevToolsTarget>& pages, const std::string& url);
