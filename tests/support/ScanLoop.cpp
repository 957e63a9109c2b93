#include "support/ScanLoop.h"

#include <poll.h>

#include <algorithm>
#include <optional>

#include "engine/BrowserScanner.h"

namespace {
// How often the loop looks at its stop flag while nothing happens.
constexpr std::chrono::milliseconds kStopCheck{10};
}  // namespace

CScanLoop::CScanLoop(IBrowserWindowsFactory& factory, const CUrlList& blackList,
                     const CUrlList& whiteList, IKillReport& report,
                     std::optional<std::chrono::milliseconds> period, bool bEvents)
    : m_period(period), m_bEvents(bEvents) {
    m_thread = std::thread([&, this] { Run(factory, blackList, whiteList, report); });
    while (!m_bStarted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

CScanLoop::~CScanLoop() {
    m_bStop = true;
    m_thread.join();
}

void CScanLoop::Run(IBrowserWindowsFactory& factory, const CUrlList& blackList,
                    const CUrlList& whiteList, IKillReport& report) {
    using Clock = std::chrono::steady_clock;
    CBrowserScanner scanner(factory, blackList, whiteList, report);
    scanner.ConnectBrowserWindows();
    scanner.WatchBrowserEvents(m_bEvents);
    auto pass = [&] {
        scanner.ScanBrowserWindows();
        ++m_nPasses;
    };
    pass();
    m_bStarted = true;
    std::optional<Clock::time_point> nextTick;
    if (m_period) {
        nextTick = Clock::now() + *m_period;
    }
    // The pass that announcements brought forward, as the main window's second timer runs it.
    std::optional<Clock::time_point> eventPass;
    while (!m_bStop) {
        auto until = Clock::now() + kStopCheck;
        for (const auto& due : {nextTick, eventPass}) {
            if (due) {
                until = std::min(until, *due);
            }
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        pollfd events{scanner.GetBrowserEventHandle(), POLLIN, 0};
        ::poll(&events, events.fd >= 0 ? 1 : 0, static_cast<int>(std::max<long>(0, wait.count())));
        if (nextTick && Clock::now() >= *nextTick) {
            pass();
            *nextTick += *m_period;
        }
        if (eventPass && Clock::now() >= *eventPass) {
            eventPass.reset();
            pass();
        }
        // As the main window does: after every pass and whenever the descriptor is readable.
        if (auto delay = scanner.TakeBrowserEvents(); delay && !eventPass) {
            eventPass = Clock::now() + *delay;
        }
    }
    scanner.WatchBrowserEvents(false);
}
