#include "platform/linux/devtools/DevToolsBrowser.h"

#include <algorithm>
#include <exception>
#include <unordered_set>
#include <utility>

using nlohmann::json;

namespace {

// Read in an isolated world, where page script cannot shadow the two objects.
constexpr char kBarsExpression[] = "[locationbar.visible, toolbar.visible]";
constexpr char kWorldName[] = "quellio";

// Only page targets are announced and held.
const json& PageFilter() {
    static const json filter =
        json::array({{{"type", "page"}, {"exclude", false}}, {{"exclude", true}}});
    return filter;
}

// Stops a held window's document requests on the way, before they reach the network.
const json& DocumentRequests() {
    static const json patterns = {{"patterns", json::array({{{"urlPattern", "*"},
                                                             {"resourceType", "Document"},
                                                             {"requestStage", "Request"}}})}};
    return patterns;
}

// Whether a new window waits in the renderer of the page that opened it (see EHold).
bool IsOpenedByPage(const SDevToolsTarget& target) {
    return target.bCanAccessOpener && !target.strOpenerId.empty();
}

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
                                   std::chrono::milliseconds addressGrace,
                                   std::chrono::milliseconds holdLimit)
    : m_endpoint(std::move(endpoint)),
      m_client(timeout),
      m_addressGrace(addressGrace),
      m_holdLimit(holdLimit) {
    m_client.SetEventHandler(
        [this](const std::string& strMethod, const json& params, const std::string& strSessionId) {
            OnEvent(strMethod, params, strSessionId);
        });
}

CDevToolsBrowser::~CDevToolsBrowser() {
    try {
        ReleaseAll();
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
    m_bars.clear();
    m_windowIds.clear();
    m_unaddressed.clear();
    m_closing.clear();
    m_announced.clear();
    m_holds.clear();
    m_strayRequests.clear();
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
    ReleaseUnheld();
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
    for (SDevToolsTarget& target : read) {
        live.insert(target.strId);
        // The browser shows no address before the page is asked for; the held request has it.
        if (const SHold* hold = FindHeldWindow(target.strId);
            hold != nullptr && hold->eStage == EHold::Paused) {
            target.strUrl = hold->strUrl;
        }
    }
    std::erase_if(m_bars, [&live](const auto& entry) { return !live.contains(entry.first); });
    std::erase_if(m_windowIds, [&live](const auto& entry) { return !live.contains(entry.first); });
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
    auto known = m_bars.find(target.strId);
    if (known == m_bars.end()) {
        // Once a held window has started, its page answers nothing until its request goes on.
        if (const SHold* hold = FindHeldWindow(target.strId);
            hold != nullptr && (hold->eStage == EHold::Started || hold->eStage == EHold::Paused)) {
            return E_PENDING;
        }
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
        const HRESULT hr = LearnBars(target, strSessionId);
        json ignored;
        CallBrowser("Target.detachFromTarget", {{"sessionId", strSessionId}}, &ignored);
        if (FAILED(hr)) {
            return hr;
        }
        known = m_bars.find(target.strId);
        if (known == m_bars.end()) {
            return E_FAIL;
        }
    }
    *addressBar = known->second.bAddressBar;
    *toolBar = known->second.bToolBar;
    return S_OK;
}

HRESULT CDevToolsBrowser::LearnBars(const SDevToolsTarget& target,
                                    const std::string& strSessionId) {
    SBars bars;
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
        if (HRESULT hr = IsOpenedIntoOwnWindow(target, &bOwnWindow); FAILED(hr)) {
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
        ReleaseAll();
    }
    m_bWatching = bWatch;
    m_announced.clear();
    m_holds.clear();
    m_strayRequests.clear();
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
    const auto now = std::chrono::steady_clock::now();
    if (strMethod == "Target.targetCreated" || strMethod == "Target.targetInfoChanged") {
        // Titles and attachments change too; only a new address calls for a pass.
        SDevToolsTarget target;
        auto info = params.find("targetInfo");
        if (info == params.end() || !ParseTarget(*info, &target) || !target.IsWindow()) {
            return;
        }
        auto [announced, bNew] = m_announced.try_emplace(target.strId, target.strUrl);
        if (!target.strUrl.empty() && (bNew || announced->second != target.strUrl)) {
            m_bDue = true;
        }
        announced->second = target.strUrl;
    } else if (strMethod == "Target.targetDestroyed") {
        std::string strId;
        if (ReadString(params, "targetId", &strId, false)) {
            m_announced.erase(strId);
            std::erase_if(m_holds,
                          [&strId](const SHold& hold) { return hold.target.strId == strId; });
        }
    } else if (strMethod == "Target.attachedToTarget") {
        auto waiting = params.find("waitingForDebugger");
        SHold hold;
        if (waiting == params.end() || waiting->type() != json::value_t::boolean ||
            !waiting->get<bool>() || !ReadString(params, "sessionId", &hold.strSessionId, false) ||
            hold.strSessionId.empty()) {
            return;
        }
        // A target that cannot be read is no window, and is started at once.
        auto info = params.find("targetInfo");
        if (info == params.end() || !ParseTarget(*info, &hold.target)) {
            hold.target = {};
        }
        hold.since = now;
        m_holds.push_back(std::move(hold));
    } else if (strMethod == "Target.detachedFromTarget") {
        std::string strSession;
        if (ReadString(params, "sessionId", &strSession, false)) {
            std::erase_if(m_holds, [&strSession](const SHold& hold) {
                return hold.strSessionId == strSession;
            });
        }
    } else if (strMethod == "Fetch.requestPaused") {
        SHold* hold = FindHold(strSessionId);
        std::string strRequestId;
        if (hold == nullptr || !ReadString(params, "requestId", &strRequestId, false)) {
            return;
        }
        std::string strFrameId;
        std::string strUrl;
        auto request = params.find("request");
        const bool bFirst = ReadString(params, "frameId", &strFrameId, true) &&
                            strFrameId == hold->target.strId && request != params.end() &&
                            request->is_object() && ReadString(*request, "url", &strUrl, false) &&
                            hold->eStage != EHold::Paused;
        if (!bFirst) {
            m_strayRequests.emplace_back(strSessionId, strRequestId);
            return;
        }
        hold->eStage = EHold::Paused;
        hold->strRequestId = std::move(strRequestId);
        hold->strUrl = std::move(strUrl);
        hold->since = now;
        m_bDue = true;
    }
}

CDevToolsBrowser::SHold* CDevToolsBrowser::FindHold(const std::string& strSessionId) {
    auto found = std::find_if(m_holds.begin(), m_holds.end(), [&strSessionId](const SHold& hold) {
        return hold.strSessionId == strSessionId;
    });
    return found != m_holds.end() ? &*found : nullptr;
}

const CDevToolsBrowser::SHold* CDevToolsBrowser::FindHeldWindow(
    const std::string& strTargetId) const {
    auto found = std::find_if(m_holds.begin(), m_holds.end(), [&strTargetId](const SHold& hold) {
        return hold.target.strId == strTargetId;
    });
    return found != m_holds.end() ? &*found : nullptr;
}

HRESULT CDevToolsBrowser::TakeEvents(bool* pbDue) {
    *pbDue = false;
    m_bHung = false;
    const auto start = std::chrono::steady_clock::now();
    // Each call below may read more events, some of them past its answer and not yet handed
    // on, which the socket would not signal again: read until nothing is left to do.
    for (;;) {
        if (HRESULT hr = m_client.Poll(); FAILED(hr)) {
            return hr;
        }
        ReleaseUnheld();
        // Every window that has arrived is armed before any is started (see Run).
        auto waiting = std::find_if(m_holds.begin(), m_holds.end(), [](const SHold& hold) {
            return hold.eStage == EHold::Waiting;
        });
        if (waiting != m_holds.end()) {
            Arm(std::string(waiting->strSessionId));
            continue;
        }
        // One at a time: starting a window lets its opener run on, which may open the next
        // one, to be armed before another is started.
        auto armed = std::find_if(m_holds.begin(), m_holds.end(),
                                  [](const SHold& hold) { return hold.eStage == EHold::Armed; });
        if (armed != m_holds.end()) {
            Start(std::string(armed->strSessionId));
            continue;
        }
        // A window that reached its stage during this call waits at least for the pass after
        // it: readying a burst of new windows may take longer than the bound.
        const auto now = std::chrono::steady_clock::now();
        auto done = std::find_if(m_holds.begin(), m_holds.end(), [&](const SHold& hold) {
            return (hold.eStage == EHold::Paused && hold.bJudged) ||
                   (hold.since < start && now - hold.since >= m_holdLimit);
        });
        if (done != m_holds.end()) {
            Release(std::string(done->strSessionId));
            continue;
        }
        if (m_strayRequests.empty()) {
            break;
        }
        const auto [strSessionId, strRequestId] = m_strayRequests.back();
        m_strayRequests.pop_back();
        json ignored;
        m_client.Call("Fetch.continueRequest", {{"requestId", strRequestId}}, &ignored,
                      strSessionId);
    }
    *pbDue = std::exchange(m_bDue, false);
    return S_OK;
}

void CDevToolsBrowser::ReleaseUnheld() {
    const auto unheld = [this](const SHold& hold) {
        return hold.eStage == EHold::Waiting && !IsOpenedByPage(hold.target) &&
               !hold.target.strUrl.empty() &&
               std::none_of(m_holds.begin(), m_holds.end(), [&hold](const SHold& other) {
                   return other.eStage == EHold::Waiting && IsOpenedByPage(other.target) &&
                          other.target.strOpenerId == hold.target.strId;
               });
    };
    for (auto found = std::find_if(m_holds.begin(), m_holds.end(), unheld); found != m_holds.end();
         found = std::find_if(m_holds.begin(), m_holds.end(), unheld)) {
        Release(std::string(found->strSessionId));
    }
}

void CDevToolsBrowser::Arm(const std::string& strSessionId) {
    const SDevToolsTarget target = FindHold(strSessionId)->target;
    json ignored;
    HRESULT hr = target.IsWindow() ? LearnBars(target, strSessionId) : E_NOINTERFACE;
    if (SUCCEEDED(hr)) {
        hr = m_client.Call("Fetch.enable", DocumentRequests(), &ignored, strSessionId);
    }
    SHold* hold = FindHold(strSessionId);
    if (hold == nullptr) {
        return;
    }
    if (FAILED(hr)) {
        Release(strSessionId);
    } else if (hold->eStage == EHold::Waiting) {
        hold->eStage = EHold::Armed;
    }
}

void CDevToolsBrowser::Start(const std::string& strSessionId) {
    const HRESULT hr = Run(*FindHold(strSessionId));
    if (SHold* hold = FindHold(strSessionId); hold != nullptr && hold->eStage == EHold::Armed) {
        hold->eStage = EHold::Started;
        hold->since = std::chrono::steady_clock::now();
    }
    // Not asked again (see Run): the session is left.
    if (FAILED(hr)) {
        Release(strSessionId);
    }
}

HRESULT CDevToolsBrowser::Run(SHold hold) {
    json ignored;
    const HRESULT hr = m_client.Call("Runtime.runIfWaitingForDebugger", json::object(), &ignored,
                                     hold.strSessionId);
    // Even when the call failed it may have reached the renderer: asking again for a window
    // that has gone on would let go the next one its page opens.
    const std::string& strPage =
        IsOpenedByPage(hold.target) ? hold.target.strOpenerId : hold.target.strId;
    for (SHold& other : m_holds) {
        if (other.eStage == EHold::Armed && IsOpenedByPage(other.target) &&
            other.target.strOpenerId == strPage && other.strSessionId != hold.strSessionId) {
            other.eStage = EHold::Started;
            other.since = std::chrono::steady_clock::now();
        }
    }
    return hr;
}

void CDevToolsBrowser::Release(const std::string& strSessionId) {
    const SHold* found = FindHold(strSessionId);
    if (found == nullptr) {
        return;
    }
    // Forgotten first: the calls below read events about it.
    const SHold hold = *found;
    std::erase_if(m_holds,
                  [&strSessionId](const SHold& each) { return each.strSessionId == strSessionId; });
    json ignored;
    if (hold.eStage == EHold::Waiting || hold.eStage == EHold::Armed) {
        Run(hold);
    } else if (hold.eStage == EHold::Paused) {
        m_client.Call("Fetch.continueRequest", {{"requestId", hold.strRequestId}}, &ignored,
                      hold.strSessionId);
    }
    // Leaving the session also ends the stopping of the window's requests.
    m_client.Call("Target.detachFromTarget", {{"sessionId", hold.strSessionId}}, &ignored);
}

void CDevToolsBrowser::ReleaseAll() {
    while (!m_holds.empty()) {
        Release(std::string(m_holds.front().strSessionId));
    }
}

void CDevToolsBrowser::LetGo(const std::string& strTargetId) noexcept {
    // A window being closed stays held until it is gone: its page is never asked for.
    if (m_closing.contains(strTargetId)) {
        return;
    }
    for (SHold& hold : m_holds) {
        if (hold.target.strId == strTargetId && hold.eStage == EHold::Paused) {
            hold.bJudged = true;
        }
    }
}
