#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Result.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/bridge/MessageStream.h"

// A tab as a pass sees it.
struct SExtensionTab {
    std::int64_t nId = 0;
    std::int64_t nWindowId = 0;
    std::string strUrl;
    // Shown in a window of the browser's `popup` type: no address bar, no tool bar.
    bool bPopup = false;
    // New and without an address yet: to be judged once its address is known.
    bool bAwaiting = false;
    // Its first page waits for a pass to judge the tab.
    bool bHeld = false;
};

// One browser connected through its companion extension and a bridge: its windows and tabs
// as the extension last told them, kept current from its messages alone, so that reading them
// never waits on the browser. Closing a tab or a window is a message to the extension; what
// was asked to close is left out of the tabs until it goes, or for a grace at most.
//
// While watched, the extension holds a new tab's first page where the browser allows it, and
// tells the tab as held with the address it is about to load: closing the tab cancels the
// page, and a pass that leaves the tab open lets it go (LetGo). The extension lets it go
// after a short bound by itself.
//
// Each message is checked as it is applied: one of the wrong shape (a missing or mistyped
// field, more windows or tabs than any browser has) ends the connection, and with it
// everything known of the browser.
//
// Requests of other kinds (CExtensionRequests) go out as they are and their answers, each
// with its request's id, wait here until taken.
class CExtensionBrowser {
public:
    using Clock = std::chrono::steady_clock;
    // How long a new tab may show no address while its first page is on the way.
    static constexpr std::chrono::milliseconds kAddressGrace{2000};
    // How long a tab or a window asked to close is left out while it goes.
    static constexpr std::chrono::milliseconds kCloseGrace{2000};
    static constexpr std::size_t kMaxItems = 10000;

    // `fd` is the connection to the bridge, non-blocking; `browserPid` the process that
    // started the bridge.
    CExtensionBrowser(CUniqueFd fd, std::optional<pid_t> browserPid,
                      std::chrono::milliseconds addressGrace = kAddressGrace);

    int GetFd() const { return m_fd.Get(); }
    std::optional<pid_t> GetBrowserPid() const { return m_browserPid; }
    // Whether the extension has told every window and tab it had when it connected.
    bool IsReady() const { return m_bReady; }
    // The browser as the extension names it: "Firefox 128.0", "Chromium 156.0.0.0"; its
    // profile is told apart by an id the extension keeps in it.
    const std::string& GetName() const { return m_strName; }
    const std::string& GetProfile() const { return m_strProfile; }
    // Differs from that of every other connection made by this process.
    std::uint64_t GetKey() const { return m_nKey; }

    // Takes in the messages that have arrived, without waiting. `*pbDue`: whether the
    // extension has just told its whole state, for a pass over it. False when the connection
    // is over: closed by the bridge, or broken by a bad message.
    bool Receive(bool* pbDue);
    // The tabs of the browser's normal and pop-up windows, in a stable order.
    std::vector<SExtensionTab> Tabs() const;
    // The tabs announced since the last call, as Tabs() has them, for judging at once: each
    // that appeared, showed a new address, moved, had its first page held or had its window
    // told, once it is ready to be judged (not awaiting its address). None while the
    // extension tells its state: the pass at its end sees every tab.
    std::vector<SExtensionTab> TakeAnnounced();
    // Asks the extension to close the tab, or its window when that is a pop-up. S_OK once
    // the request is on its way; E_FAIL when the connection cannot take it (it is then over).
    HRESULT Close(const SExtensionTab& tab);
    // Starts or stops the holding of new tabs' first pages; stopping lets every held page go.
    void Watch(bool bWatch);
    // A pass is done with the tab: if its first page is held and the tab was not asked to
    // close, the page goes on. Cannot fail.
    void LetGo(std::int64_t nTabId) noexcept;
    // Sends a request to the extension. False when the connection cannot take it (it is then
    // over).
    bool Request(const nlohmann::json& message) { return Send(message); }
    // The answers that arrived since the last call, each an object with an integer "id".
    std::vector<nlohmann::json> TakeAnswers() { return std::exchange(m_answers, {}); }

private:
    struct STab {
        std::int64_t nWindowId = 0;
        std::string strUrl;
        std::optional<std::int64_t> opener;
        Clock::time_point since;
        bool bAddressed = false;
        bool bHeld = false;
    };

    // Applies one message; throws on a message of the wrong shape. Answers whether a pass
    // is due; a tab to be judged at once joins m_announced.
    bool Apply(const nlohmann::json& message);
    bool IsClosing(const std::map<std::int64_t, Clock::time_point>& closing,
                   std::int64_t nId) const;
    bool Send(const nlohmann::json& message);

    const std::uint64_t m_nKey;
    CUniqueFd m_fd;
    std::optional<pid_t> m_browserPid;
    std::chrono::milliseconds m_addressGrace;
    CMessageReader m_reader;
    bool m_bBroken = false;
    std::string m_strName;
    std::string m_strProfile;
    bool m_bReady = false;
    std::map<std::int64_t, std::string> m_windows;  // id and type
    std::map<std::int64_t, STab> m_tabs;
    std::set<std::int64_t> m_announced;
    std::map<std::int64_t, Clock::time_point> m_closingTabs;
    std::map<std::int64_t, Clock::time_point> m_closingWindows;
    std::vector<nlohmann::json> m_answers;
};
