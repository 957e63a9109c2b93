// A scan pass against a real headless Chromium with 1, 10 and 50 open windows (wall and
// CPU time, DevTools round trips per pass, with and without watching the browser's
// announcements), and the kill latency from a page's window.open to the pop-up being
// closed: with the 500 ms timer alone, and with passes brought forward by announcements.
// A burst of pop-ups from one click: the passes it takes. The kill latency of the program's
// scan worker as the browsers' own events tell it, over DevTools and through the companion
// extension in Chromium and Firefox.
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

#include <QCoreApplication>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <boost/asio/ip/tcp.hpp>
#include <nlohmann/json.hpp>

#include "app/ScanWorker.h"
#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "platform/linux/AllBrowserWindowsFactory.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/qt/BrowserThread.h"
#include "support/CompanionBrowser.h"
#include "support/LoopbackServer.h"
#include "support/QtWait.h"
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
        browser =
            std::make_unique<CTestBrowser>(dir.Path(), server.Url("/page.html?0"),
                                           std::vector<std::string>{"--disable-popup-blocking"});
    }

    CDevToolsDiscovery Discovery() const { return CDevToolsDiscovery("", {browser->ProfileDir()}); }

    void OpenWindows(std::size_t count) {
        for (std::size_t open = browser->Pages().size(); open < count; ++open) {
            browser->OpenWindow(server.Url("/page.html?" + std::to_string(open)));
        }
        // Never more than asked: the windows of a larger case are closed again.
        auto pages = browser->Pages();
        for (std::size_t i = count; i < pages.size(); ++i) {
            browser->ClosePage(pages[i].strId);
        }
    }

    CTempDir dir;
    CLoopbackServer server;
    std::unique_ptr<CTestBrowser> browser;
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
// The figures of one latency run: how many pop-ups, the median, 95th percentile and
// longest time in milliseconds, and how many of their pages were requested.
void ReportLatencies(benchmark::State& state, std::vector<double> latencies, int requests) {
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&latencies](double q) {
        return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
    };
    state.counters["popups"] = static_cast<double>(latencies.size());
    state.counters["median_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
    state.counters["max_ms"] = latencies.back();
    state.counters["requests"] = requests;
}

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
    state.counters["windows"] = static_cast<double>(rig.browser->Pages().size());
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
    const std::string opener = rig.browser->OpenWindow(rig.server.Url("/opener.html"));
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
            rig.browser->RunInPage(opener, "pop('" + url + "')");
            if (!report.WaitFor(url)) {
                state.SkipWithError("a pop-up was not closed");
                return;
            }
            latencies.push_back(
                std::chrono::duration<double, std::milli>(*report.KilledAt(url) - opened).count());
            requests += rig.server.RequestCount(path);
        }
    }
    ReportLatencies(state, std::move(latencies), requests);
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
    const std::string opener = rig.browser->OpenWindow(rig.server.Url("/opener.html"));
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
        rig.browser->RunInPage(opener, "for (let i = 0; i < " + std::to_string(kBurst) +
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

// Watches a browser's top-level pages come and go through the browser's own events, on a
// thread of its own: Target.targetCreated and Target.targetDestroyed over Chromium's
// DevTools, browsingContext.contextCreated and contextDestroyed over Firefox's WebDriver
// BiDi. Each page is timed from the moment the browser tells of it until it tells it gone.
class CPageLifeWatch {
public:
    // `bBiDi`: the endpoint is a WebDriver BiDi one (ws://HOST:PORT/session).
    CPageLifeWatch(const SDevToolsEndpoint& endpoint, bool bBiDi)
        : m_client(std::chrono::seconds(10)) {
        m_client.SetEventHandler([this](const std::string& method, const nlohmann::json& params,
                                        const std::string&) { OnEvent(method, params); });
        nlohmann::json result;
        const bool bOpen =
            SUCCEEDED(m_client.Connect(endpoint)) &&
            (bBiDi ? SUCCEEDED(m_client.Call(
                         "session.new", {{"capabilities", nlohmann::json::object()}}, &result)) &&
                         SUCCEEDED(m_client.Call("session.subscribe",
                                                 {{"events",
                                                   {"browsingContext.contextCreated",
                                                    "browsingContext.contextDestroyed"}}},
                                                 &result))
                   : SUCCEEDED(m_client.Call("Target.setDiscoverTargets", {{"discover", true}},
                                             &result)));
        if (!bOpen) {
            throw std::runtime_error("cannot watch the browser's pages");
        }
        m_thread = std::thread([this] {
            while (!m_bStop && m_client.IsConnected()) {
                pollfd fd{m_client.GetNativeHandle(), POLLIN, 0};
                ::poll(&fd, 1, 10);
                m_client.Poll();
            }
        });
    }
    ~CPageLifeWatch() {
        m_bStop = true;
        m_thread.join();
    }
    CPageLifeWatch(const CPageLifeWatch&) = delete;
    CPageLifeWatch& operator=(const CPageLifeWatch&) = delete;

    // Pages told of from now on count; those told before do not.
    void Start() { m_bCounting = true; }
    // How long each page told of since Start lived, in milliseconds, for those gone; and how
    // many are still there.
    std::vector<double> Lives(int* pnLeft) const {
        std::lock_guard lock(m_mutex);
        std::vector<double> lives;
        *pnLeft = 0;
        for (const auto& [id, page] : m_pages) {
            if (page.gone) {
                lives.push_back(
                    std::chrono::duration<double, std::milli>(*page.gone - page.born).count());
            } else {
                ++*pnLeft;
            }
        }
        return lives;
    }

private:
    struct SPage {
        Clock::time_point born;
        std::optional<Clock::time_point> gone;
    };

    void OnEvent(const std::string& method, const nlohmann::json& params) {
        const auto now = Clock::now();
        std::lock_guard lock(m_mutex);
        if (method == "Target.targetCreated" && m_bCounting &&
            params["targetInfo"].value("type", "") == "page") {
            m_pages[params["targetInfo"].value("targetId", "")].born = now;
        } else if (method == "browsingContext.contextCreated" && m_bCounting &&
                   params["parent"].is_null()) {
            m_pages[params.value("context", "")].born = now;
        } else if (method == "Target.targetDestroyed" ||
                   method == "browsingContext.contextDestroyed") {
            const auto found = m_pages.find(
                params.value(method == "Target.targetDestroyed" ? "targetId" : "context", ""));
            if (found != m_pages.end()) {
                found->second.gone = now;
            }
        }
    }

    CDevToolsClient m_client;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bCounting{false};
    mutable std::mutex m_mutex;
    std::map<std::string, SPage> m_pages;
    std::thread m_thread;
};

// A TCP port free on 127.0.0.1 now, for a browser to listen on.
std::uint16_t FreePort() {
    boost::asio::io_context ioc;
    boost::asio::ip::tcp::acceptor acceptor(
        ioc, boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
    return acceptor.local_endpoint().port();
}

// The kill latency of the program's own scan worker, from the browser's word of a new
// pop-up to its word that the pop-up is gone: for Chromium reached over DevTools (argument
// 0), and through the companion extension for Chromium (1) and Firefox (2). Each browser
// runs on its own with the worker and the main window's 500 ms tick; its page opens 40
// pop-ups, each at a random moment after the last one went. "requests" counts the killed
// pop-ups' pages that the server was asked for.
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
    // The page only paces itself on `closed`, looked at now and then: the times come from the
    // browser.
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
                       "  const popup = window.open('/page.html?" +
                       tag +
                       "-' + n, '_blank', 'width=300,height=200');"
                       "  if (!popup) { fetch('/refused'); return; }"
                       "  const look = () => popup.closed ? next() : setTimeout(look, 50);"
                       "  look();"
                       " }, 50 + Math.floor(random() * 450));"
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
    const std::uint16_t nBiDiPort = FreePort();
    std::vector<double> lives;
    int nLeft = 0;
    for (auto _ : state) {
        auto pThread = std::make_unique<CBrowserThread>();
        CScanWorker worker(factory, black, white, *pThread, report);
        worker.Start();
        const std::string start = server.Url("/start.html");
        const bool bStarted =
            way == 0
                ? browser.Start({QUELLIO_SOURCE_DIR "/scripts/headless-browser", "chromium",
                                 "--user-data-dir=" + profile.string(), "--remote-debugging-port=0",
                                 "--disable-popup-blocking", start},
                                {}, dir.Path() / "browser.log")
                : StartCompanionBrowser(
                      browser, way == 1 ? "chromium" : "firefox-esr", dir.Path(), start,
                      {"--remote-debugging-port=" +
                       (way == 1 ? std::string("0") : std::to_string(nBiDiPort))});
        // Started, and given a few seconds to connect its extension, with the main window's
        // tick running all along.
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&worker] { worker.RequestPass(); });
        tick.start(500);
        if (!bStarted || !WaitFor([&] { return server.RequestCount("/start.html") > 0; },
                                  kBrowserStartTimeout)) {
            state.SkipWithError("the browser did not start");
            return;
        }
        const auto endpoints = CDevToolsDiscovery("", {profile}).FindEndpoints();
        std::unique_ptr<CPageLifeWatch> pWatch;
        try {
            pWatch = way == 2 ? std::make_unique<CPageLifeWatch>(
                                    *ParseDevToolsUrl(
                                        "ws://127.0.0.1:" + std::to_string(nBiDiPort) + "/session"),
                                    true)
                              : std::make_unique<CPageLifeWatch>(endpoints.at(0), false);
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            return;
        }
        ProcessEventsFor(std::chrono::seconds(5));
        pWatch->Start();
        server.SetPage("/go", "");
        const bool bDone = WaitFor(
            [&] { return server.RequestCount("/done") > 0 || server.RequestCount("/refused") > 0; },
            4 * kWaitLimit);
        lives = pWatch->Lives(&nLeft);
        worker.Stop();
        pThread.reset();
        if (!bDone || server.RequestCount("/refused") > 0) {
            state.SkipWithError("the pop-ups were not all closed");
            return;
        }
    }
    int requests = 0;
    for (int i = 0; i < kPopups; ++i) {
        requests += server.RequestCount("/page.html?" + tag + "-" + std::to_string(i));
    }
    if (lives.empty()) {
        state.SkipWithError("no pop-up was seen");
        return;
    }
    state.counters["left_open"] = nLeft;
    ReportLatencies(state, std::move(lives), requests);
}
BENCHMARK(BM_KillLatencyByWay)
    ->ArgName("way")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// The scan worker's reports come back through a Qt event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
