// The tip of the day at start-up: building and destroying the dialog (profile read and
// written, tips file opened, one tip read) against the size of the tips file, and the worst
// search, a file of N lines without a tip, which is read twice before the dialog gives up.
#include <string>

#include <QApplication>
#include <benchmark/benchmark.h>

#include "pages/TipOfDayDlg.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"
#include "support/TextFile.h"

namespace {

std::string Lines(long nLines, const std::string& strLine) {
    std::string text;
    for (long i = 0; i < nLines; ++i) {
        text += strLine + std::to_string(i) + "\n";
    }
    return text;
}

void RunBuilds(benchmark::State& state, const std::string& strTips) {
    CTempDir dir;
    WriteTextFile(dir / "tips.txt", strTips);
    const QString strProfile = QString::fromStdString((dir / "quellio.ini").string());
    CScriptedMessageBox messageBox;
    for (auto _ : state) {
        CTipOfDayDlg dlg(messageBox, dir / "tips.txt", strProfile);
        benchmark::DoNotOptimize(dlg.m_strTip);
    }
    state.counters["file_bytes"] = static_cast<double>(strTips.size());
}

void BM_BuildWithTips(benchmark::State& state) {
    RunBuilds(state, Lines(state.range(0), "Press Ctrl+Alt+A anywhere to switch blocking, tip "));
}
BENCHMARK(BM_BuildWithTips)->Arg(20)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_BuildWithoutTips(benchmark::State& state) {
    RunBuilds(state, Lines(state.range(0), "; a comment line that is never a tip, number "));
}
BENCHMARK(BM_BuildWithoutTips)->Arg(20)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
