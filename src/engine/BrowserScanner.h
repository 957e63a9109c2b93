#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/BrowserWindows.h"

class CUrlList;
class IKillReport;

// The pop-up killer's pass over the open browser windows. Each pass closes every window
// whose address is on the black list, and every window lacking its address bar or its
// tool bar (a pop-up) unless its address is on the white list.
class CBrowserScanner {
public:
    CBrowserScanner(IBrowserWindowsFactory& factory, const CUrlList& blackList,
                    const CUrlList& whiteList, IKillReport& report);

    // Connects to the collection of browser windows, dropping an earlier connection. When
    // it fails, every later pass ends at once.
    void ConnectBrowserWindows();
    // Drops the connection: every later pass ends at once.
    void DisconnectBrowserWindows();

    // One pass over every window of the collection, from the first. Any failure ends the
    // pass silently; windows closed before it stay closed and reported. Answers how the
    // pass ended (S_OK, or the failure that ended it).
    HRESULT ScanBrowserWindows();

    // The browsers' announcements of new windows and new addresses, which let the caller run
    // a pass at once rather than at its next tick (see IBrowserWindows). Without a
    // connection there are none: no descriptor (-1), never a pass due.
    void WatchBrowserEvents(bool bWatch);
    int GetBrowserEventHandle() const;
    // Takes in the announcements; call it when the descriptor turns readable and after every
    // pass. While watched, each window announced with all a judgement needs is judged at
    // once, on its own, as a pass would judge it. Answers nothing when no pass is due,
    // otherwise how long to wait before it: at once, unless a pass ended less than
    // kEventPassGap ago, so that a stream of announcements cannot run passes back to back.
    std::optional<std::chrono::milliseconds> TakeBrowserEvents();

    static constexpr std::chrono::milliseconds kEventPassGap{20};

private:
    HRESULT ScanOnce();
    // Closes the window of `item` if the lists say so. A window that is no browser or cannot
    // be read is left alone (S_OK); a failed call answers its failure.
    HRESULT JudgeItem(IBrowserItem& item);
    HRESULT KillBrowserWindow(IBrowserWindow& browser, const std::string& url);

    IBrowserWindowsFactory& m_factory;
    const CUrlList& m_blackList;
    const CUrlList& m_whiteList;
    IKillReport& m_report;
    std::unique_ptr<IBrowserWindows> m_spBrowserWindows;
    bool m_bWatching = false;
    std::chrono::steady_clock::time_point m_lastPassEnd;
};
