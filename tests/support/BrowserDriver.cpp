#include "support/BrowserDriver.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "support/WaitUntil.h"

using nlohmann::json;

namespace {

// Between two looks at the browser: each look is a round trip of its own.
void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace

bool HasPage(const std::vector<SDevToolsTarget>& pages, const std::string& url) {
    return std::any_of(pages.begin(), pages.end(),
                       [&url](const SDevToolsTarget& page) { return page.strUrl == url; });
}

CBrowserDriver::CBrowserDriver(const SDevToolsEndpoint& endpoint)
    : m_Browser(endpoint, std::chrono::seconds(10)) {
    if (FAILED(m_Browser.Open())) {
        throw std::runtime_error("cannot connect to the test browser");
    }
}

json CBrowserDriver::Call(const std::string& method, const json& params,
                          const std::string& strSessionId) {
    json result;
    if (FAILED(m_Browser.GetClient().Call(method, params, &result, strSessionId))) {
        throw std::runtime_error(method + " failed");
    }
    return result;
}

std::vector<SDevToolsTarget> CBrowserDriver::Pages() {
    std::vector<SDevToolsTarget> targets;
    if (FAILED(m_Browser.ReadTargets(&targets))) {
        throw std::runtime_error("Target.getTargets failed");
    }
    std::erase_if(targets, [](const SDevToolsTarget& target) { return !target.IsWindow(); });
    return targets;
}

bool CBrowserDriver::WaitForPages(
    const std::function<bool(const std::vector<SDevToolsTarget>&)>& done) {
    return WaitUntil([&] { return done(Pages()); }, kWaitLimit, Pause);
}

bool CBrowserDriver::IsLoaded(const std::string& strTargetId, const std::string& url) {
    const std::string session =
        Call("Target.attachToTarget", {{"targetId", strTargetId}, {"flatten", true}})["sessionId"];
    // Answered from a timer, so only once the page runs: a page that waits for a debugger
    // (a new window Quellio holds) still answers script sent over DevTools.
    json result;
    const HRESULT hr = m_Browser.GetClient().Call(
        "Runtime.evaluate",
        {{"expression",
          "new Promise(done => setTimeout(() => done(document.readyState + ' ' + location.href)))"},
         {"awaitPromise", true},
         {"returnByValue", true}},
        &result, session);
    Call("Target.detachFromTarget", {{"sessionId", session}});
    return SUCCEEDED(hr) && result["result"]["value"] == "complete " + url;
}

std::string CBrowserDriver::StartWindow(const std::string& url, bool bNewWindow) {
    return Call("Target.createTarget", {{"url", url}, {"newWindow", bNewWindow}})["targetId"];
}

std::string CBrowserDriver::OpenWindow(const std::string& url, bool bNewWindow) {
    std::string id = StartWindow(url, bNewWindow);
    if (!WaitUntil([&] { return IsLoaded(id, url); }, kWaitLimit, Pause)) {
        throw std::runtime_error("page did not load: " + url);
    }
    return id;
}

void CBrowserDriver::RunInPage(const std::string& strTargetId, const std::string& script) {
    const std::string session =
        Call("Target.attachToTarget", {{"targetId", strTargetId}, {"flatten", true}})["sessionId"];
    const json result =
        Call("Runtime.evaluate", {{"expression", script}, {"userGesture", true}}, session);
    Call("Target.detachFromTarget", {{"sessionId", session}});
    if (result.contains("exceptionDetails")) {
        throw std::runtime_error("script failed: " + script);
    }
}

void CBrowserDriver::ClosePage(const std::string& strTargetId) {
    Call("Target.closeTarget", {{"targetId", strTargetId}});
}
