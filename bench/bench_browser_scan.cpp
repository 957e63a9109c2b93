// A scan pass against a real headless Chromium with 1, 10 and 50 open windows (wall and
// CPU time, DevTools round trips per pass, with and without watching the browser's
// announcements), and the kill latency from a page's window.open to the pop-up being
// closed: with the 500 ms timer alone, and with passes brought forward by announcements.
// A burst of pop-ups from one click: the passes it takes. The kill latency as the opening
// page sees it, over DevTools and through the companion extension in Chromium and Firefox.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "platform/linux/AllBrowserWindowsFactory.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "support/CompanionBrowser.h"
#include "support/LoopbackServer.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"
#include "support/WaitUntil.h"

namespace {

using Clock = std::chrono::steady_clock;

// Called on the scan loop's thread.
class CTimedReport : public IKillReport {
public:
    void AddLog(std::string_view url) override {
        std::lock_guard lock(m_mutex);
        m_kills.emplace(std::string(url), Clock::now());
    }
    void SignalKill() override {}

    std::optional<Clock::time_point> KilledAt(const std::string& url) const {
        std::lock_guard lock(m_mutex);
        auto found = m_kills.find(url);
        return found == m_kills.end() ? std::nullopt : std::optional(found->second);
    }
    // Waits until `url` is reported; false when it never is.
    bool WaitFor(const std::string& url) const {
        return WaitUntil([&] { return KilledAt(url).has_value(); });
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, Clock::time_point> m_kills;
};

// The main window's scan loop without the window, on a thread of its own: a pass every
// `period` (none: never), and with `bEvents` a pass whenever the browsers announce a new
// window or address, at most one every 20 ms. The loop has connected and run its first pass
// when the constructor returns, so the browsers are watched from then on.
class CScanLoop {
public:
    CScanLoop(IBrowserWindowsFactory& factory, const CUrlList& blackList, const CUrlList& whiteList,
              IKillReport& report, std::optional<std::chrono::milliseconds> period, bool bEvents)
        : m_period(period), m_bEvents(bEvents) {
        m_thread = std::thread([&, this] { Run(factory, blackList, whiteList, report); });
        while (!m_bStarted) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~CScanLoop() {
        m_bStop = true;
        m_thread.join();
    }
    CScanLoop(const CScanLoop&) = delete;
    CScanLoop& operator=(const CScanLoop&) = delete;

    // Passes run so far, the first one included.
    int Passes() const { return m_nPasses; }

private:
    void Run(IBrowserWindowsFactory& factory, const CUrlList& blackList, const CUrlList& whiteList,
             IKillReport& report) {
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
        // The pass that announcements brought forward, as the main window's second timer runs
        // it.
        std::optional<Clock::time_point> eventPass;
        while (!m_bStop) {
            // Wakes now and then to look at the stop flag.
            auto until = Clock::now() + std::chrono::milliseconds(10);
            for (const auto& due : {nextTick, eventPass}) {
                if (due) {
                    until = std::min(until, *due);
                }
            }
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            pollfd events{scanner.GetBrowserEventHandle(), POLLIN, 0};
            ::poll(&events, events.fd >= 0 ? 1 : 0,
                   static_cast<int>(std::max<long>(0, wait.count())));
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

    std::optional<std::chrono::milliseconds> m_period;
    bool m_bEvents;
    std::atomic<int> m_nPasses{0};
    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// One browser for the whole run.
struct SRig {
    SRig() {
        server.SetPage("/opener.html",
                       "<!doctype html><script>function pop(u) {"
                       " window.open(u, '_blank', 'width=300,height=200'); }</script>");
        server.SetPage("/page.html", kPlainPage);
        // As for a site the user has allowed pop-ups: several per click.
        browser = std::make_unique<CTestBrowser>(
            std::vector<std::string>{"chromium", "--user-data-dir=" + (dir / "profile").string(),
                                     "--remote-debugging-port=0", "--disable-popup-blocking"},
            std::map<std::string, std::string>{}, dir / "profile", dir / "browser.log",
            server.Url("/page.html?0"));
        driver = &browser->Driver();
    }

    CDevToolsDiscovery Discovery() const { return CDevToolsDiscovery("", {browser->ProfileDir()}); }

    void OpenWindows(std::size_t count) {
        for (std::size_t open = driver->Pages().size(); open < count; ++open) {
            driver->OpenWindow(server.Url("/page.html?" + std::to_string(open)));
        }
        // Never more than asked: the windows of a larger case are closed again.
        auto pages = driver->Pages();
        for (std::size_t i = count; i < pages.size(); ++i) {
            driver->ClosePage(pages[i].strId);
        }
    }

    CTempDir dir;
    CLoopbackServer server;
    std::unique_ptr<CTestBrowser> browser;
    CBrowserDriver* driver = nullptr;
};

SRig& Rig() {
    static SRig rig;
    return rig;
}

// Makes the real collection and keeps sight of it, for its round-trip count.
class CCountingFactory : public IBrowserWindowsFactory {
public:
    explicit CCountingFactory(CDevToolsDiscovery discovery) : m_discovery(std::move(discovery)) {}

    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override {
        auto pWindows = std::make_unique<CDevToolsBrowserWindows>(
            m_discovery, CDevToolsBrowserWindowsFactory::kDefaultTimeout);
        m_pLast = pWindows.get();
        *windows = std::move(pWindows);
        return S_OK;
    }

    CDevToolsBrowserWindows* m_pLast = nullptr;

private:
    CDevToolsDiscovery m_discovery;
};

// Passes over windows already seen: the steady cost every 500 ms.
void BM_PassOverKnownWindows(benchmark::State& state) {
    SRig& rig = Rig();
    rig.OpenWindows(static_cast<std::size_t>(state.range(0)));
    CUrlList black;
    CUrlList white;
    CTimedReport report;
    CCountingFactory factory(rig.Discovery());
    CBrowserScanner scanner(factory, black, white, report);
    scanner.ConnectBrowserWindows();
    scanner.WatchBrowserEvents(state.range(1) != 0);
    if (FAILED(scanner.ScanBrowserWindows())) {
        state.SkipWithError("first pass failed");
        return;
    }
    scanner.TakeBrowserEvents();
    const std::uint64_t before = factory.m_pLast->GetRoundTrips();
    double passes = 0;
    for (auto _ : state) {
        // As the main window runs it: the announcements read on the way are taken after.
        if (FAILED(scanner.ScanBrowserWindows())) {
            state.SkipWithError("pass failed");
            break;
        }
        scanner.TakeBrowserEvents();
        ++passes;
    }
    long targets = 0;
    factory.m_pLast->GetCount(&targets);
    state.counters["round_trips_per_pass"] =
        static_cast<double>(factory.m_pLast->GetRoundTrips() - before - 1) / passes;
    state.counters["windows"] = static_cast<double>(rig.driver->Pages().size());
    state.counters["targets"] = static_cast<double>(targets);
}
BENCHMARK(BM_PassOverKnownWindows)
    ->ArgNames({"windows", "watched"})
    ->ArgsProduct({{1, 10, 50}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The first pass of a new connection: every window's bars are read once.
void BM_FirstPass(benchmark::State& state) {
    SRig& rig = Rig();
    rig.OpenWindows(static_cast<std::size_t>(state.range(0)));
    CUrlList black;
    CUrlList white;
    CTimedReport report;
    CDevToolsBrowserWindowsFactory factory(rig.Discovery());
    CBrowserScanner scanner(factory, black, white, report);
    for (auto _ : state) {
        scanner.ConnectBrowserWindows();
        if (FAILED(scanner.ScanBrowserWindows())) {
            state.SkipWithError("pass failed");
            break;
        }
    }
}
BENCHMARK(BM_FirstPass)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

// Pop-ups opened one at a time at random moments, while a pass runs every 500 ms as the
// main window's timer runs it, and (argument 1) whenever the browser announces a window.
// The latency runs from window.open to the pass closing the pop-up; "requests" counts the
// killed pop-ups' pages that the server was asked for all the same.
void BM_KillLatency(benchmark::State& state) {
    constexpr int kPopups = 40;
    SRig& rig = Rig();
    rig.OpenWindows(1);
    const std::string opener = rig.driver->OpenWindow(rig.server.Url("/opener.html"));
    const bool bEvents = state.range(0) != 0;
    CUrlList black;
    CUrlList white;
    CTimedReport report;
    CDevToolsBrowserWindowsFactory factory(rig.Discovery());
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> phase(0, 499);
    std::vector<double> latencies;
    int requests = 0;
    for (auto _ : state) {
        CScanLoop loop(factory, black, white, report, std::chrono::milliseconds(500), bEvents);
        for (int i = 0; i < kPopups; ++i) {
            const std::string path =
                "/page.html?popup-" + std::string(bEvents ? "e" : "t") + std::to_string(i);
            const std::string url = rig.server.Url(path);
            std::this_thread::sleep_for(std::chrono::milliseconds(phase(random)));
            const auto opened = Clock::now();
            rig.driver->RunInPage(opener, "pop('" + url + "')");
            if (!report.WaitFor(url)) {
                state.SkipWithError("a pop-up was not closed");
                return;
            }
            latencies.push_back(
                std::chrono::duration<double, std::milli>(*report.KilledAt(url) - opened).count());
            requests += rig.server.RequestCount(path);
        }
    }
    std::sort(latencies.begin(), latencies.end());
    auto at = [&latencies](double q) {
        return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
    };
    state.counters["popups"] = static_cast<double>(latencies.size());
    state.counters["median_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
    state.counters["max_ms"] = latencies.back();
    state.counters["requests"] = requests;
}
BENCHMARK(BM_KillLatency)
    ->ArgName("events")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Twenty pop-ups from one click, closed by passes that announcements bring forward: the
// passes each burst takes, and the time until the last pop-up is closed.
void BM_Burst(benchmark::State& state) {
    constexpr int kBurst = 20;
    SRig& rig = Rig();
    rig.OpenWindows(1);
    const std::string opener = rig.driver->OpenWindow(rig.server.Url("/opener.html"));
    CUrlList black;
    CUrlList white;
    CTimedReport report;
    CDevToolsBrowserWindowsFactory factory(rig.Discovery());
    CScanLoop loop(factory, black, white, report, std::nullopt, true);
    int bursts = 0;
    int passes = 0;
    int requests = 0;
    for (auto _ : state) {
        const std::string prefix = "/page.html?burst-" + std::to_string(bursts++) + "-";
        const int before = loop.Passes();
        rig.driver->RunInPage(opener, "for (let i = 0; i < " + std::to_string(kBurst) +
                                          "; ++i) pop('" + rig.server.Url(prefix) + "' + i)");
        for (int i = 0; i < kBurst; ++i) {
            if (!report.WaitFor(rig.server.Url(prefix + std::to_string(i)))) {
                state.SkipWithError("a pop-up was not closed");
                return;
            }
            requests += rig.server.RequestCount(prefix + std::to_string(i));
        }
        passes += loop.Passes() - before;
    }
    state.counters["passes_per_burst"] = static_cast<double>(passes) / bursts;
    state.counters["requests"] = requests;
}
BENCHMARK(BM_Burst)->Iterations(5)->Unit(benchmark::kMillisecond);

// The whole way a user sees it, window.open to the window gone as the opening page sees it
// (its handle's `closed`, looked at every few milliseconds), for Chromium reached over
// DevTools (argument 0), and through the companion extension for Chromium (1) and Firefox
// (2). Each browser runs on its own with the scan loop of the main window; its page opens
// 40 pop-ups, each at a random moment after the last one went, and reports each latency to
// the server. "requests" counts the killed pop-ups' pages that the server was asked for.
void BM_KillLatencyByWay(benchmark::State& state) {
    constexpr int kPopups = 40;
    const int way = static_cast<int>(state.range(0));
    const std::string tag = std::array{"devtools", "chromium", "firefox"}[way];
    CTempDir dir;
    CLoopbackServer server;
    server.SetPage("/page.html", kPlainPage);
    server.SetPage("/start.html",
                   "<!doctype html><script>"
                   "setInterval(() => fetch('/go').then(r => { if (r.ok) location.href = "
                   "'/bench.html'; }), 100);</script>");
    server.SetPage("/bench.html",
                   "<!doctype html><script>"
                   "let seed = 20261207, k = 0;"
                   "function random() { seed = (seed * 1103515245 + 12345) % 2147483648;"
                   " return seed / 2147483648; }"
                   "function next() {"
                   " if (k === " +
                       std::to_string(kPopups) +
                       ") { fetch('/done'); return; }"
                       " const n = k++;"
                       " setTimeout(() => {"
                       "  const opened = performance.now();"
                       "  const popup = window.open('/page.html?" +
                       tag +
                       "-' + n, '_blank', "
                       "'width=300,height=200');"
                       "  const look = () => {"
                       "   if (!popup || popup.closed) {"
                       "    fetch('/result?' + String(n).padStart(3, '0') + '&' +"
                       "     (popup ? (performance.now() - opened).toFixed(1) : -1));"
                       "    next();"
                       "   } else { setTimeout(look, 0); }"
                       "  };"
                       "  look();"
                       " }, Math.floor(random() * 500));"
                       "}"
                       "next();</script>");
    CUrlList black;
    CUrlList white;
    CTimedReport report;
    CChildProcess browser;
    const std::filesystem::path profile = dir.Path() / "profile";
    CAllBrowserWindowsFactory factory(
        CDevToolsDiscovery("",
                           way == 0 ? std::vector{profile} : std::vector<std::filesystem::path>{}),
        CompanionSocket(dir.Path()));
    for (auto _ : state) {
        CScanLoop loop(factory, black, white, report, std::chrono::milliseconds(500), true);
        const std::string start = server.Url("/start.html");
        const bool bStarted =
            way == 0
                ? browser.Start({QUELLIO_SOURCE_DIR "/scripts/headless-browser", "chromium",
                                 "--user-data-dir=" + profile.string(), "--remote-debugging-port=0",
                                 "--disable-popup-blocking", start},
                                {}, dir.Path() / "browser.log")
                : StartCompanionBrowser(browser, way == 1 ? "chromium" : "firefox-esr", dir.Path(),
                                        start);
        // Started, and given a few seconds to connect its extension.
        if (!bStarted || !WaitUntil([&] { return server.RequestCount("/start.html") > 0; },
                                    kBrowserStartTimeout)) {
            state.SkipWithError("the browser did not start");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(5));
        server.SetPage("/go", "");
        if (!WaitUntil([&] { return server.RequestCount("/done") > 0; }, 4 * kWaitLimit)) {
            state.SkipWithError("the pop-ups were not all closed");
            return;
        }
    }
    std::vector<double> latencies;
    for (const std::string& result : server.Requested("/result?")) {
        latencies.push_back(std::stod(result.substr(result.find('&') + 1)));
    }
    int requests = 0;
    for (int i = 0; i < kPopups; ++i) {
        requests += server.RequestCount("/page.html?" + tag + "-" + std::to_string(i));
    }
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty() || latencies.front() < 0) {
        state.SkipWithError("the browser refused a pop-up");
        return;
    }
    state.counters["popups"] = static_cast<double>(latencies.size());
    state.counters["median_ms"] = latencies[(latencies.size() - 1) / 2];
    state.counters["max_ms"] = latencies.back();
    state.counters["requests"] = requests;
}
BENCHMARK(BM_KillLatencyByWay)
    ->ArgName("way")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
