#include "platform/linux/bridge/ExtensionRequests.h"

#include <sys/eventfd.h>

#include <algorithm>
#include <cstdint>

#include "platform/linux/bridge/ExtensionBrowser.h"

CExtensionRequests::CExtensionRequests() : m_event(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

std::vector<SExtensionPeer> CExtensionRequests::Peers() const {
    std::lock_guard lock(m_lock);
    return m_peers;
}

std::optional<nlohmann::json> CExtensionRequests::Ask(std::uint64_t nKey, nlohmann::json request,
                                                      std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    const std::int64_t nId = ++m_nLastId;
    request["id"] = nId;
    SRequest& pending = m_requests[nId];
    pending.nKey = nKey;
    pending.message = std::move(request);
    const std::uint64_t nOne = 1;
    if (::write(m_event.Get(), &nOne, sizeof nOne) != sizeof nOne) {
        // Only a counter at its limit refuses, and that is readable already.
    }
    m_answered.wait_for(lock, timeout, [&] { return pending.bDone; });
    std::optional<nlohmann::json> answer = std::move(pending.answer);
    m_requests.erase(nId);
    return answer;
}

void CExtensionRequests::Serve(const std::vector<std::shared_ptr<CExtensionBrowser>>& browsers) {
    std::uint64_t nCount = 0;
    if (::read(m_event.Get(), &nCount, sizeof nCount) < 0) {
        // Nothing new was asked for; answers may still have come.
    }
    std::lock_guard lock(m_lock);
    m_peers.clear();
    for (const auto& pBrowser : browsers) {
        if (pBrowser->IsReady()) {
            m_peers.push_back({pBrowser->GetKey(), pBrowser->GetBrowserPid(), pBrowser->GetName(),
                               pBrowser->GetProfile()});
        }
        for (nlohmann::json& answer : pBrowser->TakeAnswers()) {
            const auto request = m_requests.find(answer["id"].get<std::int64_t>());
            if (request != m_requests.end() && request->second.bSent && !request->second.bDone &&
                request->second.nKey == pBrowser->GetKey()) {
                request->second.answer = std::move(answer);
                request->second.bDone = true;
            }
        }
    }
    for (auto& entry : m_requests) {
        SRequest& request = entry.second;
        if (request.bDone) {
            continue;
        }
        const auto browser =
            std::find_if(browsers.begin(), browsers.end(),
                         [&](const auto& pBrowser) { return pBrowser->GetKey() == request.nKey; });
        if (browser == browsers.end()) {
            // The browser is gone, and with it any answer.
            request.bDone = true;
        } else if (!request.bSent) {
            request.bSent = (*browser)->Request(request.message);
            request.bDone = !request.bSent;
        }
    }
    m_answered.notify_all();
}
