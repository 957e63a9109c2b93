#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

class CUrlList;
class IBrowserWindowsFactory;
class IKillReport;

// The main window's scan loop without the window, on a thread of its own: a pass every
// `period` (none: never), and with `bEvents` a pass whenever the browsers announce a new
// window or address. The scanner lives on that thread, so the report is called there; the
// lists must not change while the loop runs. The loop has connected and run its first pass
// when the constructor returns, so the browsers are watched from then on.
class CScanLoop {
public:
    CScanLoop(IBrowserWindowsFactory& factory, const CUrlList& blackList, const CUrlList& whiteList,
              IKillReport& report, std::optional<std::chrono::milliseconds> period, bool bEvents);
    ~CScanLoop();
    CScanLoop(const CScanLoop&) = delete;
    CScanLoop& operator=(const CScanLoop&) = delete;

    // Passes run so far, the first one included.
    int Passes() const { return m_nPasses; }

private:
    void Run(IBrowserWindowsFactory& factory, const CUrlList& blackList, const CUrlList& whiteList,
             IKillReport& report);

    std::optional<std::chrono::milliseconds> m_period;
    bool m_bEvents;
    std::atomic<int> m_nPasses{0};
    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
