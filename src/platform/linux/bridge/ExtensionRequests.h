#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/linux/UniqueFd.h"

class CExtensionBrowser;

// A browser connected through its companion extension, as other threads see it.
struct SExtensionPeer {
    // Tells this connection apart from every other one, before and after.
    std::uint64_t nKey = 0;
    std::optional<pid_t> browserPid;
    std::string strName;
    std::string strProfile;
};

// Requests to the extensions from any thread, carried out on the thread that owns the
// connections: a request waits in the queue, its event descriptor turns readable, and the
// owner's next Serve sends it and later hands it the answer that carries its id, from the
// browser it was sent to. A request ends with that answer, or without one when the browser
// goes, when it cannot be sent, or when its time is up; an answer that comes later, comes
// from another browser or answers nothing asked is dropped.
class CExtensionRequests {
public:
    CExtensionRequests();

    // Readable while requests wait to be sent.
    int GetEventHandle() const { return m_event.Get(); }

    // Any thread: the browsers that have told their state, as the last Serve saw them.
    std::vector<SExtensionPeer> Peers() const;
    // Any thread: sends `request`, given an "id", to the browser `nKey` and waits for its
    // answer, at most `timeout`.
    std::optional<nlohmann::json> Ask(std::uint64_t nKey, nlohmann::json request,
                                      std::chrono::milliseconds timeout);

    // The owner's thread: sends what waits, hands out the answers the browsers have, and
    // ends the requests of browsers that are gone.
    void Serve(const std::vector<std::shared_ptr<CExtensionBrowser>>& browsers);

private:
    struct SRequest {
        std::uint64_t nKey = 0;
        nlohmann::json message;
        bool bSent = false;
        bool bDone = false;
        std::optional<nlohmann::json> answer;
    };

    CUniqueFd m_event;
    mutable std::mutex m_lock;
    std::condition_variable m_answered;
    std::int64_t m_nLastId = 0;
    std::map<std::int64_t, SRequest> m_requests;
    std::vector<SExtensionPeer> m_peers;
};
