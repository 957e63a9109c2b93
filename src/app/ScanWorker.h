#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QObject>

#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"

class CBrowserThread;
class QSocketNotifier;
class QTimer;

// The scan passes, run on the browser thread so that the window never waits for a browser.
// The window only asks for passes and is told of each kill, in order, through its event
// loop. The lists are edited on the window's thread: each request hands the passes the
// lists as they are then, as a copy made only when a list has changed.
class CScanWorker : public QObject, private IKillReport {
public:
    // `report` hears of the kills on the thread that made this object.
    CScanWorker(IBrowserWindowsFactory& factory, const CUrlList& blackList,
                const CUrlList& whiteList, CBrowserThread& browserThread, IKillReport& report);
    // Needs Stop() and the browser thread ended first.
    ~CScanWorker() override;

    // Connects to the browsers and starts watching their announcements.
    void Start();
    // Asks for a pass with the lists as they are now. A pass asked for that has not begun
    // yet serves this request too, so that a slow browser cannot make requests pile up.
    void RequestPass();
    // Starts or stops watching the announcements (blocking on or off); stopping lets the
    // held windows go on and drops the pass an announcement brought forward.
    void WatchBrowserEvents(bool bWatch);
    // Lets the held windows go on and drops the connection, on the browser thread. Nothing
    // is scanned afterwards.
    void Stop();

private:
    // Makes the lists' copies current for the passes (window's thread).
    void PublishLists();
    // On the browser thread: one pass, then the announcements read on its way.
    void ScanBrowserWindows();
    void OnBrowserEvents();
    void AddLog(std::string_view url) override;
    void SignalKill() override;

    const CUrlList& m_BlackList;
    const CUrlList& m_WhiteList;
    CBrowserThread& m_BrowserThread;
    IKillReport& m_Report;

    // The copies the window publishes and the passes take.
    std::mutex m_ListsLock;
    std::shared_ptr<const CUrlList> m_pPublishedBlack;
    std::shared_ptr<const CUrlList> m_pPublishedWhite;
    std::atomic<bool> m_bPassAsked{false};

    // The browser thread's own.
    CUrlList m_ScanBlack;
    CUrlList m_ScanWhite;
    CBrowserScanner m_Scanner;
    bool m_bWatching = false;
    QSocketNotifier* m_pBrowserEvents = nullptr;
    // Brings a pass forward when the browsers announce a new window or address. Made by
    // Start() and deleted by Stop(): passes run only while it is there.
    QTimer* m_pEventPass = nullptr;
};
