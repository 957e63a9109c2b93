// A scan pass against a real headless Chromium with 1, 10 and 50 open windows (wall and
// CPU time, DevTools round trips per pass), and the kill latency with the 500 ms timer:
// from a page's window.open to the pop-up being closed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "support/LoopbackServer.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"

namespace {

using Clock = std::chrono::steady_clock;

class CTimedReport : public IKillReport {
public:
    void AddLog(std::string_view url) override { m_kills[std::string(url)] = Clock::now(); }
    void SignalKill() override {}

    std::map<std::string, Clock::time_point> m_kills;
};

// One browser for the whole run.
struct SRig {
    SRig() {
        server.SetPage("/opener.html",
                       "<!doctype html><script>function pop(u) {"
                       " window.open(u, '_blank', 'width=300,height=200'); }</script>");
        server.SetPage("/page.html", kPlainPage);
        browser = std::make_unique<CTestBrowser>(dir.Path(), server.Url("/page.html?0"));
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
    if (FAILED(scanner.ScanBrowserWindows())) {
        state.SkipWithError("first pass failed");
        return;
    }
    const std::uint64_t before = factory.m_pLast->GetRoundTrips();
    double passes = 0;
    for (auto _ : state) {
        if (FAILED(scanner.ScanBrowserWindows())) {
            state.SkipWithError("pass failed");
            break;
        }
        ++passes;
    }
    long targets = 0;
    factory.m_pLast->GetCount(&targets);
    state.counters["round_trips_per_pass"] =
        static_cast<double>(factory.m_pLast->GetRoundTrips() - before - 1) / passes;
    state.counters["windows"] = static_cast<double>(rig.driver->Pages().size());
    state.counters["targets"] = static_cast<double>(targets);
}
BENCHMARK(BM_PassOverKnownWindows)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

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

// Pop-ups opened at random moments against a pass every 500 ms, as the main window's
// timer runs it; the latency runs from window.open to the pass closing the pop-up.
void BM_KillLatency(benchmark::State& state) {
    constexpr int kPopups = 40;
    constexpr auto kPeriod = std::chrono::milliseconds(500);
    SRig& rig = Rig();
    rig.OpenWindows(1);
    const std::string opener = rig.driver->OpenWindow(rig.server.Url("/opener.html"));
    CUrlList black;
    CUrlList white;
    CTimedReport report;
    CDevToolsBrowserWindowsFactory factory(rig.Discovery());
    CBrowserScanner scanner(factory, black, white, report);
    scanner.ConnectBrowserWindows();
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> phase(0, 499);
    std::vector<double> latencies;
    for (auto _ : state) {
        auto nextPass = Clock::now() + kPeriod;
        for (int i = 0; i < kPopups; ++i) {
            const std::string url = rig.server.Url("/page.html?popup-" + std::to_string(i));
            const auto openAt = Clock::now() + std::chrono::milliseconds(phase(random));
            std::optional<Clock::time_point> opened;
            while (!report.m_kills.contains(url)) {
                const auto now = Clock::now();
                if (now >= nextPass) {
                    scanner.ScanBrowserWindows();
                    nextPass += kPeriod;
                } else if (!opened && now >= openAt) {
                    opened = now;
                    rig.driver->RunInPage(opener, "pop('" + url + "')");
                } else {
                    std::this_thread::sleep_until(opened ? nextPass : std::min(nextPass, openAt));
                }
            }
            latencies.push_back(
                std::chrono::duration<double, std::milli>(report.m_kills[url] - *opened).count());
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
}
BENCHMARK(BM_KillLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
