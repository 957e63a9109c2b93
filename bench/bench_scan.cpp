// One scan pass over N windows with lists of M entries, and the membership test on its
// own, indexed against a plain walk of the entries.
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "support/FakeBrowserWindows.h"

namespace {

class CNullReport : public IKillReport {
public:
    void AddLog(std::string_view) override {}
    void SignalKill() override {}
};

std::string Address(const char* kind, long i) {
    return "https://" + std::string(kind) + std::to_string(i) +
           ".example.com/path/page.html?q=" + std::to_string(i * 7919);
}

void FillList(CUrlList& list, const char* kind, long count) {
    for (long i = 0; i < count; ++i) {
        list.Add(Address(kind, i));
    }
}

// Half the windows are tabs, half white-listed pop-ups, so every window costs a black-list
// lookup, every pop-up a white-list one too, and nothing is closed between iterations.
void BM_ScanPass(benchmark::State& state) {
    const long nWindows = state.range(0);
    const long nEntries = state.range(1);
    CUrlList black;
    CUrlList white;
    FillList(black, "black", nEntries);
    FillList(white, "white", nEntries);
    CFakeBrowserWindows fake;
    for (long i = 0; i < nWindows; ++i) {
        if (i % 2 == 0) {
            fake.Open(CFakeBrowserWindows::Tab(Address("tab", i)));
        } else {
            fake.Open(CFakeBrowserWindows::Popup(Address("white", i % nEntries)));
        }
    }
    CNullReport report;
    CBrowserScanner scanner(fake, black, white, report);
    scanner.ConnectBrowserWindows();
    for (auto _ : state) {
        benchmark::DoNotOptimize(scanner.ScanBrowserWindows());
    }
    if (!fake.m_ClosedUrls.empty()) {
        state.SkipWithError("the pass closed a window");
    }
    state.SetItemsProcessed(state.iterations() * nWindows);
}
BENCHMARK(BM_ScanPass)->ArgsProduct({{10, 1000}, {10, 100000}})->Unit(benchmark::kMicrosecond);

// A miss, the common case: every entry is looked at by a walk.
void BM_IsInListIndexed(benchmark::State& state) {
    CUrlList list;
    FillList(list, "black", state.range(0));
    const std::string probe = Address("tab", 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(IsInList(probe, list));
    }
}
BENCHMARK(BM_IsInListIndexed)->Arg(10)->Arg(100000);

void BM_IsInListWalk(benchmark::State& state) {
    CUrlList list;
    FillList(list, "black", state.range(0));
    const std::string probe = Address("tab", 1);
    for (auto _ : state) {
        int found = 0;
        for (const std::string& entry : list.Entries()) {
            if (std::strcmp(entry.c_str(), probe.c_str()) == 0) {
                found = 1;
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_IsInListWalk)->Arg(10)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
