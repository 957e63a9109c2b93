#include "platform/linux/devtools/DevToolsBrowser.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <unordered_set>
#include <utility>

using nlohmann::json;

namespace {

// Only page targets are announced and held.
const json& PageFilter() {
    static const json filter =
        json::array({{{"type", "page"}, {"exclude", false}}, {{"exclude", true}}});
    return filter;
}

}  // namespace

CDevToolsBrowser::CDevToolsBrowser(SDevToolsEndpoint endpoint, std::chrono::milliseconds timeout,
                                   std::chrono::milliseconds addressGrace,
                                   std::chrono::milliseconds holdLimit)
    : m_endpoint(std::move(endpoint)),
      m_client(timeout),
      m_bars(m_client, [this](std::string_view method, const json& params,
                              json* result) { return CallBrowser(method, params, result); }),
      m_holds(m_client, m_bars, holdLimit),
      m_addressGrace(addressGrace) {
    m_client.SetEventHandler(
        [this](const std::string& strMethod, const json& params, const std::string& strSessionId) {
            OnEvent(strMethod, params, strSessionId);
        });
}

CDevToolsBrowser::~CDevToolsBrowser() {
    try {
        m_holds.ReleaseAll();
    } catch (const std::exception&) {
        // A held window the browser was not told about goes on when the connection closes,
        // unless it had not started yet.
    }
}

HRESULT CDevToolsBrowser::Open() {
    if (m_client.IsConnected()) {
        return S_OK;
    }
    m_bHung = false;
    m_targets.clear();
    m_bars.Clear();
    m_unaddressed.clear();
    m_closing.clear();
    m_announced.clear();
    m_holds.Clear();
    m_bDue = false;
    const HRESULT hr = m_client.Connect(m_endpoint);
    if (SUCCEEDED(hr) && m_bWatching) {
        Subscribe(true);
    }
    return hr;
}

HRESULT CDevToolsBrowser::CallBrowser(std::string_view method, const json& params, json* result) {
    if (m_bHung) {
        return E_TIMEOUT;
    }
    // Before the command rather than after it: the events read past a target list's answer
    // must not be taken in before the list.
    m_holds.ReleaseUnheld();
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
        if (!ParseDevToolsTarget(info, &target)) {
            return E_FAIL;
        }
        read.push_back(std::move(target));
    }
    std::unordered_set<std::string> live;
    for (SDevToolsTarget& target : read) {
        live.insert(target.strId);
        // The browser shows no address before the page is asked for; the held request has it.
        if (std::optional<std::string> url = m_holds.StoppedAddress(target.strId)) {
            target.strUrl = std::move(*url);
        }
    }
    m_bars.Forget(live);
    const auto now = std::chrono::steady_clock::now();
    // A window being closed is going, as asked: a pass soon after must not close and report
    // it again. One that outlives the grace is shown again, and closing it asks again.
    std::erase_if(m_closing, [&live, &now](const auto& entry) {
        return !live.contains(entry.first) || now - entry.second >= kCloseGrace;
    });
    std::erase_if(
        read, [this](const SDevToolsTarget& target) { return m_closing.contains(target.strId); });
    if (m_bWatching) {
        // What the look shows is announced already; anything announced up to its answer is
        // in it.
        std::erase_if(m_announced,
                      [&live](const auto& entry) { return !live.contains(entry.first); });
        for (const SDevToolsTarget& target : read) {
            if (target.IsWindow()) {
                m_announced.insert_or_assign(target.strId, target.strUrl);
            }
        }
        m_bDue = false;
    }
    std::unordered_set<std::string> unaddressed;
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
    const SDevToolsBars* known = m_bars.Find(target.strId);
    if (known == nullptr) {
        // Once a held window has started, its page answers nothing until its request goes on.
        if (m_holds.IsStarted(target.strId)) {
            return E_PENDING;
        }
        if (HRESULT hr = m_bars.Read(target, m_targets); FAILED(hr)) {
            return hr;
        }
        known = m_bars.Find(target.strId);
        if (known == nullptr) {
            return E_FAIL;
        }
    }
    *addressBar = known->bAddressBar;
    *toolBar = known->bToolBar;
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
    m_closing.emplace(strTargetId, std::chrono::steady_clock::now());
    return S_OK;
}

void CDevToolsBrowser::Watch(bool bWatch) {
    if (bWatch == m_bWatching) {
        return;
    }
    if (!bWatch && m_client.IsConnected()) {
        // New windows stop waiting first: a window still waiting when its session goes would
        // never start.
        json ignored;
        CallBrowser("Target.setAutoAttach",
                    {{"autoAttach", true},
                     {"waitForDebuggerOnStart", false},
                     {"flatten", true},
                     {"filter", PageFilter()}},
                    &ignored);
        m_holds.ReleaseAll();
    }
    m_bWatching = bWatch;
    m_announced.clear();
    m_holds.Clear();
    m_bDue = false;
    // What the last look showed needs no pass when the subscription announces it again.
    for (const SDevToolsTarget& target : m_targets) {
        if (bWatch && target.IsWindow()) {
            m_announced.emplace(target.strId, target.strUrl);
        }
    }
    if (m_client.IsConnected()) {
        Subscribe(bWatch);
    }
}

HRESULT CDevToolsBrowser::Subscribe(bool bWatch) {
    json ignored;
    const json discover =
        bWatch ? json{{"discover", true}, {"filter", PageFilter()}} : json{{"discover", false}};
    if (HRESULT hr = CallBrowser("Target.setDiscoverTargets", discover, &ignored); FAILED(hr)) {
        return hr;
    }
    return CallBrowser("Target.setAutoAttach",
                       {{"autoAttach", bWatch},
                        {"waitForDebuggerOnStart", bWatch},
                        {"flatten", true},
                        {"filter", PageFilter()}},
                       &ignored);
}

void CDevToolsBrowser::OnEvent(const std::string& strMethod, const json& params,
                               const std::string& strSessionId) {
    if (!m_bWatching) {
        return;
    }
    if (strMethod == "Target.targetCreated" || strMethod == "Target.targetInfoChanged") {
        // Titles and attachments change too; only a new address calls for a pass.
        SDevToolsTarget target;
        auto info = params.find("targetInfo");
        if (info == params.end() || !ParseDevToolsTarget(*info, &target) || !target.IsWindow()) {
            return;
        }
        auto [announced, bNew] = m_announced.try_emplace(target.strId, target.strUrl);
        if (!target.strUrl.empty() && (bNew || announced->second != target.strUrl)) {
            m_bDue = true;
        }
        announced->second = target.strUrl;
        return;
    }
    if (strMethod == "Target.targetDestroyed") {
        std::string strId;
        if (ReadJsonString(params, "targetId", &strId, false)) {
            m_announced.erase(strId);
        }
    }
    m_bDue = m_holds.OnEvent(strMethod, params, strSessionId) || m_bDue;
}

HRESULT CDevToolsBrowser::TakeEvents(bool* pbDue) {
    *pbDue = false;
    m_bHung = false;
    if (HRESULT hr = m_holds.Advance(m_targets); FAILED(hr)) {
        return hr;
    }
    *pbDue = std::exchange(m_bDue, false);
    return S_OK;
}

void CDevToolsBrowser::LetGo(const std::string& strTargetId) noexcept {
    // A window being closed stays held until it is gone: its page is never asked for.
    if (m_closing.contains(strTargetId)) {
        return;
    }
    m_holds.MarkJudged(strTargetId);
}
