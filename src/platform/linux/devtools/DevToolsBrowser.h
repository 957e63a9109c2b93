#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Result.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsEndpoint.h"

// What the browser says of one of its targets.
struct SDevToolsTarget {
    std::string strId;
    std::string strType;     // "page", "browser_ui", "service_worker", ...
    std::string strSubtype;  // e.g. "prerender"; empty for an ordinary page
    std::string strUrl;
    std::string strOpenerId;  // the page that opened it, if any
    bool bCanAccessOpener = false;

    // A window the user sees, as opposed to browser UI, workers or prerendered pages.
    bool IsWindow() const { return strType == "page" && strSubtype.empty(); }
};

// One browser reached over DevTools: its connection, its targets as last read, and what is
// known of its windows. A window's bars never change in its life, so they are read once
// per target and kept while the target lives and the connection holds.
//
// While watched, the browser announces its windows as they appear and change address, and
// holds each new window before its first page is requested: the window's bars are read while
// it waits, then its first request is stopped on the way, so that its address is known and
// a pass can close the window before the page is asked for. A held window goes on as soon as
// a pass has looked at it and left it open, and after a short bound at the latest; one whose
// page was asked for before it was announced goes on at once.
class CDevToolsBrowser {
public:
    // How long a new window may show no address while its first page is on the way.
    static constexpr std::chrono::milliseconds kAddressGrace{2000};
    // How long a new window's first request may wait for a pass to judge it.
    static constexpr std::chrono::milliseconds kHoldLimit{1000};
    // How long a window asked to close is left out of the target lists while it goes.
    static constexpr std::chrono::milliseconds kCloseGrace{2000};

    CDevToolsBrowser(SDevToolsEndpoint endpoint, std::chrono::milliseconds timeout,
                     std::chrono::milliseconds addressGrace = kAddressGrace,
                     std::chrono::milliseconds holdLimit = kHoldLimit);
    // Lets every held window go on.
    ~CDevToolsBrowser();
    CDevToolsBrowser(const CDevToolsBrowser&) = delete;
    CDevToolsBrowser& operator=(const CDevToolsBrowser&) = delete;

    const SDevToolsEndpoint& GetEndpoint() const { return m_endpoint; }
    CDevToolsClient& GetClient() { return m_client; }

    // Connects unless connected; a new connection starts with nothing known, and is watched
    // when the browser is.
    HRESULT Open();
    // One round trip: the browser's targets now, in its order, but those being closed.
    // Forgets what it knew of targets that are gone. A held window's address is the one its
    // first request asks for.
    HRESULT ReadTargets(std::vector<SDevToolsTarget>* targets);
    // Whether the browser shows the target's address bar and its tool bar. E_PENDING for a
    // window whose first request is held and whose bars could not be read before.
    HRESULT ReadBars(const SDevToolsTarget& target, bool* addressBar, bool* toolBar);
    // Asking again to close a target already being closed succeeds at once: the window is
    // going, as asked, and the browser would answer that it no longer knows the target.
    HRESULT CloseTarget(const std::string& strTargetId);
    // Whether the target is a window that has had no address since it appeared, for less
    // than the grace: a pop-up caught before its first page arrives would otherwise be
    // judged on an empty address, which no white-list entry can spare.
    bool IsAwaitingAddress(const SDevToolsTarget& target) const;

    // Starts or stops the announcements and the holding of new windows. Stopping lets every
    // held window go on. Failures of the browser to subscribe are not reported: the passes
    // still see every window.
    void Watch(bool bWatch);
    // Reads the announcements that have arrived, without waiting; readies the windows that
    // have just been held and lets go of those a pass has left open or that waited too long.
    // `*pbDue`: whether a window appeared or an address became known that the last target
    // list did not show. E_FAIL when the connection broke.
    HRESULT TakeEvents(bool* pbDue);
    // A pass is done with the window: if it is held and still open, it goes on at the next
    // TakeEvents. Cannot fail.
    void LetGo(const std::string& strTargetId) noexcept;

private:
    // A command to the browser itself. Once one has timed out, the others fail at once
    // until the next target list, so a hung browser costs one timeout per look, not one
    // per window. Lets go the unheld windows announced so far first (ReleaseUnheld).
    HRESULT CallBrowser(std::string_view method, const nlohmann::json& params,
                        nlohmann::json* result);

    struct SBars {
        bool bAddressBar = true;
        bool bToolBar = true;
    };
    // Reads the target's bars through a session attached to it and keeps them.
    HRESULT LearnBars(const SDevToolsTarget& target, const std::string& strSessionId);
    // The page's own flags, read in an isolated world of its main frame.
    HRESULT ReadPageBars(const std::string& strTargetId, const std::string& strSessionId,
                         SBars* bars);
    // Whether another page opened the target into a browser window that shows no other page.
    HRESULT IsOpenedIntoOwnWindow(const SDevToolsTarget& target, bool* bOwnWindow);
    // The browser window showing the target; nothing for a target without one.
    HRESULT ReadWindowId(const std::string& strTargetId, std::optional<std::int64_t>* windowId);

    // A new window held for us: a window that a page opened and can still reach waits inside
    // that page's window.open, in the page's renderer; any other waits in the browser.
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

    HRESULT Subscribe(bool bWatch);
    // Takes in one event; runs inside the client's reading, so it only records.
    void OnEvent(const std::string& strMethod, const nlohmann::json& params,
                 const std::string& strSessionId);
    SHold* FindHold(const std::string& strSessionId);
    const SHold* FindHeldWindow(const std::string& strTargetId) const;
    // Lets go the new windows held by the browser that were announced with their address
    // (typed, or opened by the browser itself): their page was asked for before they were
    // announced, so there is nothing to hold, and it will soon run and may open windows that
    // wait in its renderer (see Run). One goes once the windows it opened that wait are armed.
    // Runs before every command to the browser itself too, so that no pass keeps such a
    // window waiting.
    void ReleaseUnheld();
    // Reads the bars of a window that waits to start and sets its document requests to stop
    // on the way; a window that cannot be armed goes on unheld.
    void Arm(const std::string& strSessionId);
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
    void ReleaseAll();

    SDevToolsEndpoint m_endpoint;
    CDevToolsClient m_client;
    bool m_bHung = false;
    std::vector<SDevToolsTarget> m_targets;
    std::unordered_map<std::string, SBars> m_bars;
    std::unordered_map<std::string, std::optional<std::int64_t>> m_windowIds;
    std::chrono::milliseconds m_addressGrace;
    std::chrono::milliseconds m_holdLimit;
    // Windows asked to close, and when.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_closing;
    // Windows without an address yet, and since when.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_unaddressed;

    bool m_bWatching = false;
    bool m_bDue = false;
    // The address each window was last announced with.
    std::unordered_map<std::string, std::string> m_announced;
    std::vector<SHold> m_holds;
    // Stopped requests that are not a held window's first one: (session, request id).
    std::vector<std::pair<std::string, std::string>> m_strayRequests;
};
