// Emptying a browser cache of 20 000 files with the cache routine, against `rm -rf` of an
// identical copy on the same disk and against BleachBit's Chromium cache cleaner
// (`bleachbit --clean chromium.cache`) on a third copy in a home folder of its own, all
// timed in the same iteration so that the machine's load weighs on them alike; each
// program's time includes its start, as a user would wait for it. Counters: the three
// times, the two ratios, the reports the routine made (one per file lying directly in a
// cache folder) and the files BleachBit left (none when it did the same work).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

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

// The files below `dir`, links not followed.
long CountFiles(const fs::path& dir) {
    long nFiles = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        nFiles += entry.is_regular_file() ? 1 : 0;
    }
    return nFiles;
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
    // BleachBit looks for the caches of the profiles it finds in the config folder.
    const fs::path bleachHome = tmp / "bleachbit-home";
    fs::create_directories(bleachHome / ".config/chromium/Default");
    std::ofstream(bleachHome / ".config/chromium/Default/Preferences") << "{}";
    const std::map<std::string, std::string> bleachEnv = {
        {"HOME", bleachHome.string()},
        {"XDG_CACHE_HOME", (bleachHome / ".cache").string()},
        {"XDG_CONFIG_HOME", (bleachHome / ".config").string()},
        {"XDG_DATA_HOME", (bleachHome / ".local/share").string()}};
    double cleanSeconds = 0;
    double rmSeconds = 0;
    double bleachSeconds = 0;
    long nReports = 0;
    long nBleachLeft = 0;
    for (auto _ : state) {
        MakeCache(home / ".cache/chromium/Default");
        MakeCache(tmp / "copy");
        MakeCache(bleachHome / ".cache/chromium/Default");

        const auto start = std::chrono::steady_clock::now();
        CCountingReport report;
        routines.CleanTempInternetFiles(&report, {});
        const auto cleaned = std::chrono::steady_clock::now();
        CChildProcess::Run({"rm", "-rf", (tmp / "copy").string()});
        const auto removed = std::chrono::steady_clock::now();
        if (CChildProcess::Run({"bleachbit", "--clean", "chromium.cache"}, bleachEnv) != 0) {
            state.SkipWithError("bleachbit did not run (apt-get install bleachbit)");
            break;
        }
        const auto bleached = std::chrono::steady_clock::now();

        cleanSeconds += Seconds(cleaned - start);
        rmSeconds += Seconds(removed - cleaned);
        bleachSeconds += Seconds(bleached - removed);
        nReports += report.m_nItems;
        nBleachLeft += CountFiles(bleachHome / ".cache/chromium/Default");
        fs::remove_all(bleachHome / ".cache");
        state.SetIterationTime(Seconds(cleaned - start));
    }
    const auto nRounds = static_cast<double>(state.iterations());
    state.counters["clean_ms"] = cleanSeconds * 1000 / nRounds;
    state.counters["rm_rf_ms"] = rmSeconds * 1000 / nRounds;
    state.counters["bleachbit_ms"] = bleachSeconds * 1000 / nRounds;
    state.counters["ratio_rm_rf"] = cleanSeconds / rmSeconds;
    state.counters["ratio_bleachbit"] = cleanSeconds / bleachSeconds;
    state.counters["reports"] = static_cast<double>(nReports) / nRounds;
    state.counters["bleachbit_left"] = static_cast<double>(nBleachLeft) / nRounds;
}
BENCHMARK(BM_CleanCacheAgainstRmRf)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
