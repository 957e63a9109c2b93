#include "platform/linux/devtools/DevToolsBarReader.h"

#include <utility>

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

// Read in an isolated world, where page script cannot shadow the two objects.
constexpr char kBarsExpression[] = "[locationbar.visible, toolbar.visible]";
constexpr char kWorldName[] = "quellio";

}  // namespace

CDevToolsBarReader::CDevToolsBarReader(CDevToolsClient& client, BrowserCall callBrowser)
    : m_client(client), m_callBrowser(std::move(callBrowser)) {}

const SDevToolsBars* CDevToolsBarReader::Find(const std::string& strTargetId) const {
    const auto known = m_bars.find(strTargetId);
    return known != m_bars.end() ? &known->second : nullptr;
}

void CDevToolsBarReader::Forget(const std::unordered_set<std::string>& live) {
    std::erase_if(m_bars, [&live](const auto& entry) { return !live.contains(entry.first); });
    std::erase_if(m_windowIds, [&live](const auto& entry) { return !live.contains(entry.first); });
}

void CDevToolsBarReader::Clear() {
    m_bars.clear();
    m_windowIds.clear();
}

HRESULT CDevToolsBarReader::Read(const SDevToolsTarget& target,
                                 const std::vector<SDevToolsTarget>& targets) {
    return WithTargetSession(m_callBrowser, target.strId, [&](const std::string& strSessionId) {
        return Learn(target, strSessionId, targets);
    });
}

HRESULT CDevToolsBarReader::Learn(const SDevToolsTarget& target, const std::string& strSessionId,
                                  const std::vector<SDevToolsTarget>& targets) {
    SDevToolsBars bars;
    const HRESULT hrPage = ReadPageBars(target.strId, strSessionId, &bars);
    if (!m_client.IsConnected()) {
        return E_FAIL;
    }
    // A page opened without access to its opener forgets that it was opened as a pop-up, so
    // its own flags say "shown"; and a page whose renderer does not answer (hung script,
    // modal dialog) has no flags to give. Both are judged by where the browser put them: a
    // page opened by another one into a window of its own.
    const bool bPageKnows =
        SUCCEEDED(hrPage) && (target.strOpenerId.empty() || target.bCanAccessOpener);
    if (!bPageKnows) {
        bool bOwnWindow = false;
        if (HRESULT hr = IsOpenedIntoOwnWindow(target, targets, &bOwnWindow); FAILED(hr)) {
            return hr;
        }
        if (FAILED(hrPage)) {
            bars = {!bOwnWindow, !bOwnWindow};
        } else if (bOwnWindow) {
            bars = {false, false};
        }
    }
    m_bars.insert_or_assign(target.strId, bars);
    return S_OK;
}

HRESULT CDevToolsBarReader::ReadPageBars(const std::string& strTargetId,
                                         const std::string& strSessionId, SDevToolsBars* bars) {
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

HRESULT CDevToolsBarReader::ReadWindowId(const std::string& strTargetId,
                                         std::optional<std::int64_t>* windowId) {
    auto known = m_windowIds.find(strTargetId);
    if (known == m_windowIds.end()) {
        json result;
        const HRESULT hr =
            m_callBrowser("Browser.getWindowForTarget", {{"targetId", strTargetId}}, &result);
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

HRESULT CDevToolsBarReader::IsOpenedIntoOwnWindow(const SDevToolsTarget& target,
                                                  const std::vector<SDevToolsTarget>& targets,
                                                  bool* bOwnWindow) {
    *bOwnWindow = false;
    if (target.strOpenerId.empty()) {
        return S_OK;
    }
    std::optional<std::int64_t> window;
    if (HRESULT hr = ReadWindowId(target.strId, &window); FAILED(hr) || !window) {
        return hr;
    }
    for (const SDevToolsTarget& other : targets) {
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
