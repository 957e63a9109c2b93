#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/devtools/DevToolsBrowser.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"
#include "support/ChildProcess.h"
#include "support/WaitUntil.h"

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
                 const std::vector<std::string>& extraArgs = {})
        : m_Profile(dir / "profile") {
        std::vector<std::string> command = {QUELLIO_SOURCE_DIR "/scripts/headless-browser",
                                            "chromium", "--user-data-dir=" + m_Profile.string(),
                                            "--remote-debugging-port=0"};
        command.insert(command.end(), extraArgs.begin(), extraArgs.end());
        command.push_back(firstUrl);
        if (!m_Process.Start(command, {}, dir / "browser.log")) {
            throw std::runtime_error("the test browser could not be started");
        }
        // The port file is only a hint until a connection succeeds: a browser writes it early.
        std::optional<SDevToolsEndpoint> endpoint;
        const auto isUp = [&] {
            endpoint = CDevToolsDiscovery::ReadPortFile(m_Profile / "DevToolsActivePort");
            return endpoint &&
                   SUCCEEDED(CDevToolsClient(std::chrono::seconds(5)).Connect(*endpoint));
        };
        bool bUp = false;
        WaitUntil([&] { return !m_Process.IsRunning() || (bUp = isUp()); }, kBrowserStartTimeout,
                  [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
        if (!bUp) {
            throw std::runtime_error("the test browser did not start; see " +
                                     (dir / "browser.log").string());
        }
        m_Browser.emplace(*endpoint, std::chrono::seconds(10));
        if (FAILED(m_Browser->Open())) {
            throw std::runtime_error("cannot connect to the test browser");
        }
    }

    CChildProcess& Process() { return m_Process; }
    const std::filesystem::path& ProfileDir() const { return m_Profile; }

    // Opens `url` in a new normal window (or a new tab of the last one) and waits until it
    // has loaded and runs; answers the page's target id.
    std::string OpenWindow(const std::string& url, bool bNewWindow = true) {
        std::string id = StartWindow(url, bNewWindow);
        if (!WaitUntil([&] { return IsLoaded(id, url); }, kWaitLimit, Pause)) {
            throw std::runtime_error("page did not load: " + url);
        }
        return id;
    }
    // Opens `url` as OpenWindow does, without waiting for anything: as a user typing an
    // address into a new window.
    std::string StartWindow(const std::string& url, bool bNewWindow = true) {
        return Call("Target.createTarget", {{"url", url}, {"newWindow", bNewWindow}})["targetId"];
    }
    // Runs `script` in the page with a user gesture, so the pop-up blocker lets it open
    // windows.
    void RunInPage(const std::string& strTargetId, const std::string& script) {
        const std::string session = Call(
            "Target.attachToTarget", {{"targetId", strTargetId}, {"flatten", true}})["sessionId"];
        const nlohmann::json result =
            Call("Runtime.evaluate", {{"expression", script}, {"userGesture", true}}, session);
        Call("Target.detachFromTarget", {{"sessionId", session}});
        if (result.contains("exceptionDetails")) {
            throw std::runtime_error("script failed: " + script);
        }
    }
    std::vector<SDevToolsTarget> Pages() {
        std::vector<SDevToolsTarget> targets;
        if (FAILED(m_Browser->ReadTargets(&targets))) {
            throw std::runtime_error("Target.getTargets failed");
        }
        std::erase_if(targets, [](const SDevToolsTarget& target) { return !target.IsWindow(); });
        return targets;
    }
    // Polls the page targets until `done` holds for them; false when it never does.
    bool WaitForPages(const std::function<bool(const std::vector<SDevToolsTarget>&)>& done) {
        return WaitUntil([&] { return done(Pages()); }, kWaitLimit, Pause);
    }
    void ClosePage(const std::string& strTargetId) {
        Call("Target.closeTarget", {{"targetId", strTargetId}});
    }

private:
    // Between two looks at the browser: each look is a round trip of its own.
    static void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

    nlohmann::json Call(const std::string& method, const nlohmann::json& params,
                        const std::string& strSessionId = {}) {
        nlohmann::json result;
        if (FAILED(m_Browser->GetClient().Call(method, params, &result, strSessionId))) {
            throw std::runtime_error(method + " failed");
        }
        return result;
    }
    bool IsLoaded(const std::string& strTargetId, const std::string& url) {
        const std::string session = Call(
            "Target.attachToTarget", {{"targetId", strTargetId}, {"flatten", true}})["sessionId"];
        // Answered from a timer, so only once the page runs: a page that waits for a debugger
        // (a new window Quellio holds) still answers script sent over DevTools.
        nlohmann::json result;
        const HRESULT hr =
            m_Browser->GetClient().Call("Runtime.evaluate",
                                        {{"expression",
                                          "new Promise(done => setTimeout(() => "
                                          "done(document.readyState + ' ' + location.href)))"},
                                         {"awaitPromise", true},
                                         {"returnByValue", true}},
                                        &result, session);
        Call("Target.detachFromTarget", {{"sessionId", session}});
        return SUCCEEDED(hr) && result["result"]["value"] == "complete " + url;
    }

    std::filesystem::path m_Profile;
    CChildProcess m_Process;
    std::optional<CDevToolsBrowser> m_Browser;
};

// Whether one of `pages` shows `url`.
inline bool HasPage(const std::vector<SDevToolsTarget>& pages, const std::string& url) {
    return std::ranges::any_of(pages,
                               [&url](const SDevToolsTarget& page) { return page.strUrl == url; });
}
