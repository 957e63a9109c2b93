#include "platform/linux/devtools/DevToolsBrowser.h"

#include <algorithm>
#include <unordered_set>

using nlohmann::json;

namespace {

// Read in an isolated world, where page script cannot shadow the two objects.
constexpr char kBarsExpression[] = "[locationbar.visible, toolbar.visible]";
constexpr char kWorldName[] = "quellio";

bool ReadString(const json& object, const char* key, std::string* value, bool bOptional) {
    auto found = object.find(key);
    if (found == object.end()) {
        return bOptional;
    }
    if (!found->is_string()) {
        return false;
    }
    *value = found->get<std::string>();
    return true;
}

bool ParseTarget(const json& info, SDevToolsTarget* target) {
    if (!info.is_object() || !ReadString(info, "targetId", &target->strId, false) ||
        !ReadString(info, "type", &target->strType, false) ||
        !ReadString(info, "url", &target->strUrl, false) ||
        !ReadString(info, "subtype", &target->strSubtype, true) ||
        !ReadString(info, "openerId", &target->strOpenerId, true) || target->strId.empty()) {
        return false;
    }
    auto access = info.find("canAccessOpener");
    if (access != info.end()) {
        if (!access->is_boolean()) {
            return false;
        }
        target->bCanAccessOpener = access->get<bool>();
    }
    return true;
}

}  // namespace

CDevToolsBrowser::CDevToolsBrowser(SDevToolsEndpoint endpoint, std::chrono::milliseconds timeout,
                                   std::chrono::milliseconds addressGrace)
    : m_endpoint(std::move(endpoint)), m_client(timeout), m_addressGrace(addressGrace) {}

HRESULT CDevToolsBrowser::Open() {
    if (m_client.IsConnected()) {
        return S_OK;
    }
    m_targets.clear();
    m_bars.clear();
    m_windowIds.clear();
    m_unaddressed.clear();
    m_closing.clear();
    return m_client.Connect(m_endpoint);
}

HRESULT CDevToolsBrowser::CallBrowser(std::string_view method, const json& params, json* result) {
    if (m_bHung) {
        return E_TIMEOUT;
    }
    const HRESULT hr = m_client.Call(method, params, result);
    m_bHung = hr == E_TIMEOUT;
    return hr;
}

HRESULT CDevToolsBrowser::ReadTargets(std::vector<SDevToolsTarget>* targets) {
    m_bHung = false;
    json result;
    if (HRESULT hr = CallBrowser("Target.getTargets", json::object(), &result); FAILED(hr)) {
        return hr;
    }
    auto infos = result.find("targetInfos");
    if (infos == result.end() || !infos->is_array()) {
        return E_FAIL;
    }
    std::vector<SDevToolsTarget> read;
    read.reserve(infos->size());
    for (const json& info : *infos) {
        SDevToolsTarget target;
        if (!ParseTarget(info, &target)) {
            return E_FAIL;
        }
        read.push_back(std::move(target));
    }
    std::unordered_set<std::string> live;
    for (const SDevToolsTarget& target : read) {
        live.insert(target.strId);
    }
    std::erase_if(m_bars, [&live](const auto& entry) { return !live.contains(entry.first); });
    std::erase_if(m_windowIds, [&live](const auto& entry) { return !live.contains(entry.first); });
    std::erase_if(m_closing, [&live](const std::string& id) { return !live.contains(id); });
    std::unordered_set<std::string> unaddressed;
    const auto now = std::chrono::steady_clock::now();
    for (const SDevToolsTarget& target : read) {
        if (target.IsWindow() && target.strUrl.empty()) {
            unaddressed.insert(target.strId);
            m_unaddressed.emplace(target.strId, now);
        }
    }
    std::erase_if(m_unaddressed,
                  [&unaddressed](const auto& entry) { return !unaddressed.contains(entry.first); });
    m_targets = read;
    *targets = std::move(read);
    return S_OK;
}

HRESULT CDevToolsBrowser::ReadBars(const SDevToolsTarget& target, bool* addressBar, bool* toolBar) {
    auto known = m_bars.find(target.strId);
    if (known == m_bars.end()) {
        json attached;
        if (HRESULT hr = CallBrowser("Target.attachToTarget",
                                     {{"targetId", target.strId}, {"flatten", true}}, &attached);
            FAILED(hr)) {
            return hr;
        }
        auto session = attached.find("sessionId");
        if (session == attached.end() || !session->is_string()) {
            return E_FAIL;
        }
        const std::string strSessionId = session->get<std::string>();
        SBars bars;
        const HRESULT hrPage = ReadPageBars(target.strId, strSessionId, &bars);
        json ignored;
        CallBrowser("Target.detachFromTarget", {{"sessionId", strSessionId}}, &ignored);
        if (!m_client.IsConnected()) {
            return E_FAIL;
        }
        // A page opened without access to its opener forgets that it was opened as a
        // pop-up, so its own flags say "shown"; and a page whose renderer does not answer
        // (hung script, modal dialog) has no flags to give. Both are judged by where the
        // browser put them: a page opened by another one into a window of its own.
        const bool bPageKnows =
            SUCCEEDED(hrPage) && (target.strOpenerId.empty() || target.bCanAccessOpener);
        if (!bPageKnows) {
            bool bOwnWindow = false;
            if (HRESULT hr = IsOpenedIntoOwnWindow(target, &bOwnWindow); FAILED(hr)) {
                return hr;
            }
            if (FAILED(hrPage)) {
                bars = {!bOwnWindow, !bOwnWindow};
            } else if (bOwnWindow) {
                bars = {false, false};
            }
        }
        known = m_bars.emplace(target.strId, bars).first;
    }
    *addressBar = known->second.bAddressBar;
    *toolBar = known->second.bToolBar;
    return S_OK;
}

HRESULT CDevToolsBrowser::ReadPageBars(const std::string& strTargetId,
                                       const std::string& strSessionId, SBars* bars) {
    json world;
    // A page target's main frame has the target's id.
    if (HRESULT hr = m_client.Call("Page.createIsolatedWorld",
                                   {{"frameId", strTargetId}, {"worldName", kWorldName}}, &world,
                                   strSessionId);
        FAILED(hr)) {
        return hr;
    }
    auto context = world.find("executionContextId");
    if (context == world.end() || !context->is_number_integer()) {
        return E_FAIL;
    }
    json evaluated;
    if (HRESULT hr = m_client.Call(
            "Runtime.evaluate",
            {{"expression", kBarsExpression}, {"contextId", *context}, {"returnByValue", true}},
            &evaluated, strSessionId);
        FAILED(hr)) {
        return hr;
    }
    if (evaluated.contains("exceptionDetails")) {
        return E_FAIL;
    }
    const json* value = nullptr;
    if (auto remote = evaluated.find("result"); remote != evaluated.end() && remote->is_object()) {
        if (auto found = remote->find("value"); found != remote->end()) {
            value = &*found;
        }
    }
    if (value == nullptr || !value->is_array() || value->size() != 2 || !(*value)[0].is_boolean() ||
        !(*value)[1].is_boolean()) {
        return E_FAIL;
    }
    bars->bAddressBar = (*value)[0].get<bool>();
    bars->bToolBar = (*value)[1].get<bool>();
    return S_OK;
}

HRESULT CDevToolsBrowser::ReadWindowId(const std::string& strTargetId,
                                       std::optional<std::int64_t>* windowId) {
    auto known = m_windowIds.find(strTargetId);
    if (known == m_windowIds.end()) {
        json result;
        const HRESULT hr =
            CallBrowser("Browser.getWindowForTarget", {{"targetId", strTargetId}}, &result);
        if (hr == E_TIMEOUT || !m_client.IsConnected()) {
            return FAILED(hr) ? hr : E_FAIL;
        }
        // An error answer: the target is shown in no window (or is gone).
        std::optional<std::int64_t> id;
        if (SUCCEEDED(hr)) {
            auto found = result.find("windowId");
            if (found == result.end() || !found->is_number_integer()) {
                return E_FAIL;
            }
            id = found->get<std::int64_t>();
        }
        known = m_windowIds.emplace(strTargetId, id).first;
    }
    *windowId = known->second;
    return S_OK;
}

HRESULT CDevToolsBrowser::IsOpenedIntoOwnWindow(const SDevToolsTarget& target, bool* bOwnWindow) {
    *bOwnWindow = false;
    if (target.strOpenerId.empty()) {
        return S_OK;
    }
    std::optional<std::int64_t> window;
    if (HRESULT hr = ReadWindowId(target.strId, &window); FAILED(hr) || !window) {
        return hr;
    }
    for (const SDevToolsTarget& other : m_targets) {
        if (other.strId == target.strId || !other.IsWindow()) {
            continue;
        }
        std::optional<std::int64_t> otherWindow;
        if (HRESULT hr = ReadWindowId(other.strId, &otherWindow); FAILED(hr)) {
            return hr;
        }
        if (otherWindow == window) {
            return S_OK;
        }
    }
    *bOwnWindow = true;
    return S_OK;
}

bool CDevToolsBrowser::IsAwaitingAddress(const SDevToolsTarget& target) const {
    auto since = m_unaddressed.find(target.strId);
    return since != m_unaddressed.end() &&
           std::chrono::steady_clock::now() - since->second < m_addressGrace;
}

HRESULT CDevToolsBrowser::CloseTarget(const std::string& strTargetId) {
    if (m_closing.contains(strTargetId)) {
        return S_OK;
    }
    json result;
    if (HRESULT hr = CallBrowser("Target.closeTarget", {{"targetId", strTargetId}}, &result);
        FAILED(hr)) {
        return hr;
    }
    // Older browsers answer whether they closed it; newer ones answer nothing.
    auto success = result.find("success");
    if (success != result.end() && (!success->is_boolean() || !success->get<bool>())) {
        return E_FAIL;
    }
    m_closing.insert(strTargetId);
    return S_OK;
}
