#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/Result.h"
#include "platform/linux/devtools/DevToolsBarReader.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsTarget.h"

// The new windows one watched browser holds for Quellio, from the moment they appear until
// they go on. A window waits before it starts, while its bars are read; then its first
// document request is stopped on the way, so that its address is known and a pass can close
// the window before the page is asked for. A held window goes on as soon as a pass has looked
// at it and left it open, and after a short bound at the latest; one whose page was asked for
// before it was announced goes on at once.
class CDevToolsHolds {
public:
    CDevToolsHolds(CDevToolsClient& client, CDevToolsBarReader& bars,
                   std::chrono::milliseconds holdLimit);

    // Takes in one event of the watched browser; runs inside the client's reading, so it only
    // records. Answers whether a held window's address has just become known.
    bool OnEvent(const std::string& strMethod, const nlohmann::json& params,
                 const std::string& strSessionId);
    // Reads the events that have arrived, without waiting; readies the windows that have just
    // been held and lets go of those a pass has left open or that waited too long. `targets`
    // are the browser's targets as last read. E_FAIL when the connection broke.
    HRESULT Advance(const std::vector<SDevToolsTarget>& targets);

    // The address a held window's stopped first request asks for; nothing unless stopped.
    std::optional<std::string> StoppedAddress(const std::string& strTargetId) const;
    // Whether the window has started while held: its page answers nothing until its request
    // goes on.
    bool IsStarted(const std::string& strTargetId) const;
    // A pass has left the window open: if its first request is stopped, it goes on at the
    // next Advance.
    void MarkJudged(const std::string& strTargetId);

    // Lets go the new windows held by the browser that were announced with their address
    // (typed, or opened by the browser itself): their page was asked for before they were
    // announced, so there is nothing to hold, and it will soon run and may open windows that
    // wait in its renderer (see Run). One goes once the windows it opened that wait are armed.
    // To run before every command to the browser itself too, so that no pass keeps such a
    // window waiting.
    void ReleaseUnheld();
    // Lets every held window go on.
    void ReleaseAll();
    // Forgets every held window without a word to the browser (a new connection or watch).
    void Clear();

private:
    // A window that a page opened and can still reach waits inside that page's window.open,
    // in the page's renderer; any other waits in the browser.
    enum class EHold {
        Waiting,  // not started: its page is not even asked for
        Armed,    // bars read and its document requests set to stop on the way; not started
        Started,  // its first document request will stop on the way
        Paused,   // its first document request is stopped; the address is known
    };
    struct SHold {
        SDevToolsTarget target;
        std::string strSessionId;
        EHold eStage = EHold::Waiting;
        std::string strRequestId;
        std::string strUrl;
        bool bJudged = false;
        std::chrono::steady_clock::time_point since;
    };

    SHold* FindHold(const std::string& strSessionId);
    const SHold* FindHeldWindow(const std::string& strTargetId) const;
    // Reads the bars of a window that waits to start and sets its document requests to stop
    // on the way; a window that cannot be armed goes on unheld.
    void Arm(const std::string& strSessionId, const std::vector<SDevToolsTarget>& targets);
    // Starts one armed window.
    void Start(const std::string& strSessionId);
    // Lets a held window run on (`hold` is a copy: the holds change during the call). The
    // request reaches the renderer of the window's page, which holds one window that page
    // opened at a time, and lets go whichever it holds, whatever session the request came
    // by. So the other armed windows that page opened count as started with it: asking for
    // one of them again would let go the next window, unarmed. For the same reason nothing
    // is let go while a window that has arrived is not armed.
    HRESULT Run(SHold hold);
    // Lets a held window go on and leaves its session.
    void Release(const std::string& strSessionId);

    CDevToolsClient& m_client;
    CDevToolsBarReader& m_bars;
    std::chrono::milliseconds m_holdLimit;
    std::vector<SHold> m_holds;
    // Stopped requests that are not a held window's first one: (session, request id).
    std::vector<std::pair<std::string, std::string>> m_strayRequests;
};
