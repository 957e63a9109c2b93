#include "support/TestBrowser.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"
#include "support/WaitUntil.h"

using nlohmann::json;

namespace {

// Between two looks at the browser: each look is a round trip of its own.
void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace

bool HasPage(const std::vector<SDevToolsTarget>& pages, const std::string& url) {
    return std::ranges::any_of(pages,
                               [&url](const SDevToolsTarget& page) { return page.strUrl == url; });
}

CTestBrowser::CTestBrowser(const std::filesystem::path& dir, const std::string& firstUrl,
                           const std::vector<std::string>& extraArgs)
    : m_Profile(dir / "profile") {
    std::vector<std::string> command = {QUELLIO_SOURCE_DIR "/scripts/headless-browser", "chromium",
                                        "--user-data-dir=" + m_Profile.string(),
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
        return endpoint && SUCCEEDED(CDevToolsClient(std::chrono::seconds(5)).Connect(*endpoint));
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

json CTestBrowser::Call(const std::string& method, const json& params,
                        const std::string& strSessionId) {
    json result;
    if (FAILED(m_Browser->GetClient().Call(method, params, &result, strSessionId))) {
        throw std::runtime_error(method + " failed");
    }
    return result;
}

std::vector<SDevToolsTarget> CTestBrowser::Pages() {
    std::vector<SDevToolsTarget> targets;
    if (FAILED(m_Browser->ReadTargets(&targets))) {
        throw std::runtime_error("Target.getTargets failed");
    }
    std::erase_if(targets, [](const SDevToolsTarget& target) { return !target.IsWindow(); });
    return targets;
}

bool CTestBrowser::WaitForPages(
    const std::function<bool(const std::vector<SDevToolsTarget>&)>& done) {
    return WaitUntil([&] { return done(Pages()); }, kWaitLimit, Pause);
}

bool CTestBrowser::IsLoaded(const std::string& strTargetId, const std::string& url) {
    const std::string session =
        Call("Target.attachToTarget", {{"targetId", strTargetId}, {"flatten", true}})["sessionId"];
    // Answered from a timer, so only once the page runs: a page that waits for a debugger
    // (a new window Quellio holds) still answers script sent over DevTools.
    json result;
    const HRESULT hr = m_Browser->GetClient().Call(
        "Runtime.evaluate",
        {{"expression",
          "new Promise(done => setTimeout(() => done(document.readyState + ' ' + location.href)))"},
         {"awaitPromise", true},
         {"returnByValue", true}},
        &result, session);
    Call("Target.detachFromTarget", {{"sessionId", session}});
    return SUCCEEDED(hr) && result["result"]["value"] == "complete " + url;
}

std::string CTestBrowser::StartWindow(const std::string& url, bool bNewWindow) {
    return Call("Target.createTarget", {{"url", url}, {"newWindow", bNewWindow}})["targetId"];
}

std::string CTestBrowser::OpenWindow(const std::string& url, bool bNewWindow) {
    std::string id = StartWindow(url, bNewWindow);
    if (!WaitUntil([&] { return IsLoaded(id, url); }, kWaitLimit, Pause)) {
        throw std::runtime_error("page did not load: " + url);
    }
    return id;
}

void CTestBrowser::RunInPage(const std::string& strTargetId, const std::string& script) {
    const std::string session =
        Call("Target.attachToTarget", {{"targetId", strTargetId}, {"flatten", true}})["sessionId"];
    const json result =
        Call("Runtime.evaluate", {{"expression", script}, {"userGesture", true}}, session);
    Call("Target.detachFromTarget", {{"sessionId", session}});
    if (result.contains("exceptionDetails")) {
        throw std::runtime_error("script failed: " + script);
    }
}

void CTestBrowser::ClosePage(const std::string& strTargetId) {
    Call("Target.closeTarget", {{"targetId", strTargetId}});
}
