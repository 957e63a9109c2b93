#include "platform/linux/devtools/DevToolsHolds.h"

#include <algorithm>

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

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

}  // namespace

CDevToolsHolds::CDevToolsHolds(CDevToolsClient& client, CDevToolsBarReader& bars,
                               std::chrono::milliseconds holdLimit)
    : m_client(client), m_bars(bars), m_holdLimit(holdLimit) {}

bool CDevToolsHolds::OnEvent(const std::string& strMethod, const json& params,
                             const std::string& strSessionId) {
    const auto now = std::chrono::steady_clock::now();
    if (strMethod == "Target.targetDestroyed") {
        std::string strId;
        if (ReadJsonString(params, "targetId", &strId, false)) {
            std::erase_if(m_holds,
                          [&strId](const SHold& hold) { return hold.target.strId == strId; });
        }
    } else if (strMethod == "Target.attachedToTarget") {
        auto waiting = params.find("waitingForDebugger");
        SHold hold;
        if (waiting == params.end() || waiting->type() != json::value_t::boolean ||
            !waiting->get<bool>() ||
            !ReadJsonString(params, "sessionId", &hold.strSessionId, false) ||
            hold.strSessionId.empty()) {
            return false;
        }
        // A target that cannot be read is no window, and is started at once.
        auto info = params.find("targetInfo");
        if (info == params.end() || !ParseDevToolsTarget(*info, &hold.target)) {
            hold.target = {};
        }
        hold.since = now;
        m_holds.push_back(std::move(hold));
    } else if (strMethod == "Target.detachedFromTarget") {
        std::string strSession;
        if (ReadJsonString(params, "sessionId", &strSession, false)) {
            std::erase_if(m_holds, [&strSession](const SHold& hold) {
                return hold.strSessionId == strSession;
            });
        }
    } else if (strMethod == "Fetch.requestPaused") {
        SHold* hold = FindHold(strSessionId);
        std::string strRequestId;
        if (hold == nullptr || !ReadJsonString(params, "requestId", &strRequestId, false)) {
            return false;
        }
        std::string strFrameId;
        std::string strUrl;
        auto request = params.find("request");
        const bool bFirst =
            ReadJsonString(params, "frameId", &strFrameId, true) &&
            strFrameId == hold->target.strId && request != params.end() && request->is_object() &&
            ReadJsonString(*request, "url", &strUrl, false) && hold->eStage != EHold::Paused;
        if (!bFirst) {
            m_strayRequests.emplace_back(strSessionId, strRequestId);
            return false;
        }
        hold->eStage = EHold::Paused;
        hold->strRequestId = std::move(strRequestId);
        hold->strUrl = std::move(strUrl);
        hold->since = now;
        return true;
    }
    return false;
}

CDevToolsHolds::SHold* CDevToolsHolds::FindHold(const std::string& strSessionId) {
    auto found = std::find_if(m_holds.begin(), m_holds.end(), [&strSessionId](const SHold& hold) {
        return hold.strSessionId == strSessionId;
    });
    return found != m_holds.end() ? &*found : nullptr;
}

const CDevToolsHolds::SHold* CDevToolsHolds::FindHeldWindow(const std::string& strTargetId) const {
    auto found = std::find_if(m_holds.begin(), m_holds.end(), [&strTargetId](const SHold& hold) {
        return hold.target.strId == strTargetId;
    });
    return found != m_holds.end() ? &*found : nullptr;
}

std::optional<std::string> CDevToolsHolds::StoppedAddress(const std::string& strTargetId) const {
    const SHold* hold = FindHeldWindow(strTargetId);
    if (hold == nullptr || hold->eStage != EHold::Paused) {
        return std::nullopt;
    }
    return hold->strUrl;
}

bool CDevToolsHolds::IsStarted(const std::string& strTargetId) const {
    const SHold* hold = FindHeldWindow(strTargetId);
    return hold != nullptr && (hold->eStage == EHold::Started || hold->eStage == EHold::Paused);
}

void CDevToolsHolds::MarkJudged(const std::string& strTargetId) {
    for (SHold& hold : m_holds) {
        if (hold.target.strId == strTargetId && hold.eStage == EHold::Paused) {
            hold.bJudged = true;
        }
    }
}

HRESULT CDevToolsHolds::Advance(const std::vector<SDevToolsTarget>& targets) {
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
            Arm(std::string(waiting->strSessionId), targets);
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
            return S_OK;
        }
        const auto [strSessionId, strRequestId] = m_strayRequests.back();
        m_strayRequests.pop_back();
        json ignored;
        m_client.Call("Fetch.continueRequest", {{"requestId", strRequestId}}, &ignored,
                      strSessionId);
    }
}

void CDevToolsHolds::ReleaseUnheld() {
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

void CDevToolsHolds::Arm(const std::string& strSessionId,
                         const std::vector<SDevToolsTarget>& targets) {
    const SDevToolsTarget target = FindHold(strSessionId)->target;
    json ignored;
    HRESULT hr = target.IsWindow() ? m_bars.Learn(target, strSessionId, targets) : E_NOINTERFACE;
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

void CDevToolsHolds::Start(const std::string& strSessionId) {
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

HRESULT CDevToolsHolds::Run(SHold hold) {
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

void CDevToolsHolds::Release(const std::string& strSessionId) {
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

void CDevToolsHolds::ReleaseAll() {
    while (!m_holds.empty()) {
        Release(std::string(m_holds.front().strSessionId));
    }
}

void CDevToolsHolds::Clear() {
    m_holds.clear();
    m_strayRequests.clear();
}
