// Emptying a browser cache of 20 000 files with the cache routine, against `rm -rf` of an
// identical copy on the same disk, timed in the same iteration so that the machine's load
// weighs on both alike. Counters: the two times, their ratio and the reports the routine
// made (one per file lying directly in a cache folder).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "cleaner/CleanReport.h"
#include "cleaner/CleaningRoutines.h"
#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 20000;
// As the browser lays out its cache: most entries in Cache_Data, the code cache in
// subfolders of its own.
constexpr int kCodeCacheFiles = 2000;

class CCountingReport final : public ICleanReport {
public:
    void OnCleanItem(std::string_view strText) override {
        m_nItems++;
        m_nBytes += strText.size();
    }
    void OnSkipped(std::string_view) override {}
    void OnFailed(std::string_view) override {}

    long m_nItems = 0;
    std::size_t m_nBytes = 0;
};

// A profile's cache folders under `cacheDir`, with entries of a few kilobytes.
void MakeCache(const fs::path& cacheDir) {
    const std::string entry(3000, 'c');
    fs::create_directories(cacheDir / "Cache/Cache_Data/index-dir");
    fs::create_directories(cacheDir / "Code Cache/js/index-dir");
    for (int i = 0; i < kFiles - kCodeCacheFiles; ++i) {
        std::ofstream(cacheDir / "Cache/Cache_Data" / (std::to_string(i * 7919) + "_0")) << entry;
    }
    for (int i = 0; i < kCodeCacheFiles; ++i) {
        std::ofstream(cacheDir / "Code Cache/js" / (std::to_string(i * 104729) + "_0")) << entry;
    }
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void BM_CleanCacheAgainstRmRf(benchmark::State& state) {
    CTempDir tmp;
    const fs::path home = tmp / "home";
    const fs::path profile = home / ".config/chromium/Default";
    fs::create_directories(profile);
    std::ofstream(profile / "Preferences") << "{}";
    CLinuxFileSystem files({home.string()});
    CLinuxBrowserData data({{home / ".config/chromium", "Chromium"}},
                           {home / ".config", home / ".cache", home / ".local/share"},
                           std::chrono::seconds(1));
    CCleaningRoutines routines(files, data);
    double cleanSeconds = 0;
    double rmSeconds = 0;
    long nReports = 0;
    for (auto _ : state) {
        MakeCache(home / ".cache/chromium/Default");
        MakeCache(tmp / "copy");

        const auto start = std::chrono::steady_clock::now();
        CCountingReport report;
        routines.CleanTempInternetFiles(&report, {});
        const auto cleaned = std::chrono::steady_clock::now();
        CChildProcess::Run({"rm", "-rf", (tmp / "copy").string()});
        const auto removed = std::chrono::steady_clock::now();

        cleanSeconds += Seconds(cleaned - start);
        rmSeconds += Seconds(removed - cleaned);
        nReports += report.m_nItems;
        state.SetIterationTime(Seconds(cleaned - start));
    }
    const auto nRounds = static_cast<double>(state.iterations());
    state.counters["clean_ms"] = cleanSeconds * 1000 / nRounds;
    state.counters["rm_rf_ms"] = rmSeconds * 1000 / nRounds;
    state.counters["ratio"] = cleanSeconds / rmSeconds;
    state.counters["reports"] = static_cast<double>(nReports) / nRounds;
}
BENCHMARK(BM_CleanCacheAgainstRmRf)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
